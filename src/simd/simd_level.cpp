// Processor detection, compiled without vector flags so that it runs on any x86.
#include "simd/simd_level.h"

#include <atomic>

namespace ormi {
namespace {

SimdLevel DetectProcessor() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi")) {
    return SimdLevel::Avx512;
  }
  if (__builtin_cpu_supports("avx2")) return SimdLevel::Avx2;
#endif
#if defined(__SSE2__)
  return SimdLevel::Sse2;
#else
  return SimdLevel::Scalar;
#endif
}

// A test build may cap the level (ORMI_SIMD_CAP in CMake). The note stays in the binary so that a
// script can tell a capped module from a shipped one.
#if defined(ORMI_SIMD_CAP_SSE2)
constexpr SimdLevel kCap = SimdLevel::Sse2;
[[gnu::used]] const char kCapNote[] = "ormiEffects test build: SIMD level capped at sse2";
#elif defined(ORMI_SIMD_CAP_AVX2)
constexpr SimdLevel kCap = SimdLevel::Avx2;
[[gnu::used]] const char kCapNote[] = "ormiEffects test build: SIMD level capped at avx2";
#else
constexpr SimdLevel kCap = SimdLevel::Avx512;
#endif

SimdLevel Detect() {
  const SimdLevel level = DetectProcessor();
  return level < kCap ? level : kCap;
}

// -1: no level forced.
std::atomic<int> g_forced{-1};

}  // namespace

SimdLevel DetectedSimdLevel() {
  static const SimdLevel detected = Detect();
  return detected;
}

SimdLevel ActiveSimdLevel() {
  const int forced = g_forced.load(std::memory_order_relaxed);
  const SimdLevel detected = DetectedSimdLevel();
  if (forced < 0 || forced > static_cast<int>(detected)) return detected;
  return static_cast<SimdLevel>(forced);
}

void ForceSimdLevelForTesting(std::optional<SimdLevel> level) {
  g_forced.store(level ? static_cast<int>(*level) : -1, std::memory_order_relaxed);
}

}  // namespace ormi
