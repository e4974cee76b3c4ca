// Prints the native library's result digests, which the Windows suite compares with the DLL's:
// ormi-result-digests [--level scalar|sse2|avx2|avx512]. A level runs the kernels a processor of
// that level would, to match a DLL built with the same ORMI_SIMD_CAP.
#include <cstdio>
#include <cstring>

#include "simd/simd_level.h"
#include "wine/result_digests.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--level") == 0) {
    const char* names[] = {"scalar", "sse2", "avx2", "avx512"};
    int level = -1;
    for (int i = 0; i < 4; ++i) {
      if (std::strcmp(argv[2], names[i]) == 0) level = i;
    }
    if (level < 0 || level > static_cast<int>(ormi::DetectedSimdLevel())) {
      std::fprintf(stderr, "ormi-result-digests: level %s is not one this processor runs\n", argv[2]);
      return 2;
    }
    ormi::ForceSimdLevelForTesting(static_cast<ormi::SimdLevel>(level));
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: ormi-result-digests [--level scalar|sse2|avx2|avx512]\n");
    return 2;
  }
  for (const std::string& line : ormi::test::ResultDigests()) std::puts(line.c_str());
  return 0;
}
