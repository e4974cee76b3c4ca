// The vector levels a test can force on this machine, and a guard that forces one for a scope.
#pragma once

#include <optional>
#include <vector>

#include "simd/simd_level.h"

namespace ormi::test {

// Scalar up to the detected level.
inline std::vector<SimdLevel> SimdLevelsToTest() {
  std::vector<SimdLevel> levels;
  for (int level = 0; level <= static_cast<int>(DetectedSimdLevel()); ++level)
    levels.push_back(static_cast<SimdLevel>(level));
  return levels;
}

inline const char* SimdLevelName(SimdLevel level) {
  constexpr const char* kNames[] = {"scalar", "sse2", "avx2", "avx512"};
  return kNames[static_cast<int>(level)];
}

class ScopedSimdLevel {
 public:
  explicit ScopedSimdLevel(SimdLevel level) { ForceSimdLevelForTesting(level); }
  ~ScopedSimdLevel() { ForceSimdLevelForTesting(std::nullopt); }
  ScopedSimdLevel(const ScopedSimdLevel&) = delete;
  ScopedSimdLevel& operator=(const ScopedSimdLevel&) = delete;
};

}  // namespace ormi::test
