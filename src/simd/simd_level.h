// Which vector instructions the kernels may use. Scalar code is always built and is the reference;
// SSE2 is the baseline of every x86 build (the 32-bit DLL is compiled with -msse2); AVX2 kernels live
// in their own *_avx2.cpp files and run only where the processor has them; AVX-512 kernels (with the
// byte permutes of VBMI) likewise in *_avx512.cpp files, and a family without one uses its AVX2
// kernel at that level. A kernel family picks its level once per call through ActiveSimdLevel(),
// never per row or pixel.
#pragma once

#include <optional>

namespace ormi {

enum class SimdLevel { Scalar = 0, Sse2 = 1, Avx2 = 2, Avx512 = 3 };

// Whether AVX2 kernels may run at this level (every level from AVX2 up).
constexpr bool HasAvx2(SimdLevel level) { return level >= SimdLevel::Avx2; }

// The best level this processor runs, found once.
SimdLevel DetectedSimdLevel();

// The level kernels use now: the detected one, or the one a test asked for (never above the
// detected one).
SimdLevel ActiveSimdLevel();

// Test hook, not a user setting: forces the level until reset with std::nullopt.
void ForceSimdLevelForTesting(std::optional<SimdLevel> level);

}  // namespace ormi
