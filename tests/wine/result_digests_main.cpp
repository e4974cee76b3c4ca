// Prints the native library's result digests, which the Windows suite compares with the DLL's:
// ormi-result-digests [--level scalar|sse2|avx2|avx512], the level a capped DLL runs at.
#include <algorithm>
#include <cstdio>
#include <string>

#include "simd/simd_level.h"
#include "wine/result_digests.h"

int main(int argc, char** argv) {
  const std::string names[] = {"scalar", "sse2", "avx2", "avx512"};
  const bool asked = argc == 3 && std::string(argv[1]) == "--level";
  const long level = asked ? std::find(names, names + 4, argv[2]) - names : -1;  // 4: no such name
  if ((argc != 1 && !asked) || level > static_cast<long>(ormi::DetectedSimdLevel())) {
    std::fprintf(stderr, "usage: ormi-result-digests [--level LEVEL], a level this processor runs\n");
    return 2;
  }
  if (level >= 0) ormi::ForceSimdLevelForTesting(static_cast<ormi::SimdLevel>(level));
  for (const std::string& line : ormi::test::ResultDigests()) std::puts(line.c_str());
  return 0;
}
