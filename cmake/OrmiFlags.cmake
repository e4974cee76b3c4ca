# Compiler habits shared by every target of the project.
function(ormi_target_flags target)
  target_compile_options(${target} PRIVATE
    -ffp-contract=off
    -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion -Wno-missing-field-initializers)
  if(ORMI_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" OR (WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4))
    # x87 extended precision would change truncations; keep every float in SSE registers.
    target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse)
  endif()
  if(ORMI_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=${ORMI_SANITIZE} -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      # GCC reports false positives in standard headers under the sanitizers' instrumentation.
      target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    endif()
    target_link_options(${target} PRIVATE -fsanitize=${ORMI_SANITIZE})
  endif()
endfunction()
