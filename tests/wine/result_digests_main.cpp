// Prints the native library's result digests, which the Windows suite compares with the DLL's:
// ormi-result-digests [--level scalar|sse2|avx2|avx512], the level a capped DLL runs at.
#include <cstdio>
#include <string>

#include "simd/simd_level.h"
#include "wine/result_digests.h"

int main(int argc, char** argv) {
  const std::string names[] = {"scalar", "sse2", "avx2", "avx512"};
  if (argc == 3 && std::string(argv[1]) == "--level") {
    int level = 3;
    while (level >= 0 && names[level] != argv[2]) --level;
    if (level < 0 || level > static_cast<int>(ormi::DetectedSimdLevel())) {
      std::fprintf(stderr, "ormi-result-digests: this processor does not run level '%s'\n", argv[2]);
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
