# cmake --install: headers, libraries, ormi-fx, data, and a package config for find_package.
include(CMakePackageConfigHelpers)

install(FILES include/ormi/effects.h include/ormi/win32.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ormi)
if(NOT WIN32)
  install(FILES include/ormi/win32emu_testing.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ormi)
  install(TARGETS ormiEffects ormi-win32emu EXPORT ormiEffectsTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS ormi-fx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(EXPORT ormiEffectsTargets NAMESPACE ormiEffects:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ormiEffects)
  configure_package_config_file(cmake/ormiEffectsConfig.cmake.in
    ${PROJECT_BINARY_DIR}/ormiEffectsConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ormiEffects)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/ormiEffectsConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/ormiEffectsConfig.cmake ${PROJECT_BINARY_DIR}/ormiEffectsConfigVersion.cmake
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ormiEffects)
else()
  install(TARGETS ormiEffects RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(DIRECTORY ${ORMI_BUILD_DATA_DIR}/ DESTINATION ${ORMI_INSTALL_DATA_DIR})
