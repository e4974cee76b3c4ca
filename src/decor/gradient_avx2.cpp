// The text gradient's rows with AVX2: eight pixels a step, the ramp and the mask in one store.
#include "decor/gradient.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

__attribute__((target("avx2"))) size_t GradientTextPixelsAvx2(uint8_t* out, const uint8_t* mask, size_t width,
                                                              std::array<uint32_t, 3>& pen,
                                                              const std::array<int32_t, 3>& stepX) {
  // Lane k holds a channel's accumulator k pixels on; all eight move eight steps at a time and
  // wrap as the scalar accumulators do.
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i channel[3], eightSteps[3];
  for (size_t c = 0; c < 3; ++c) {
    const __m256i step = _mm256_set1_epi32(stepX[c]);
    channel[c] = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(pen[c])), _mm256_mullo_epi32(step, lane));
    eightSteps[c] = _mm256_slli_epi32(step, 3);
  }
  __m256i red = channel[0], green = channel[1], blue = channel[2];
  const __m256i redStep = eightSteps[0], greenStep = eightSteps[1], blueStep = eightSteps[2];
  const __m256i byte1 = _mm256_set1_epi32(0xFF00), alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i bitOfPixel = _mm256_setr_epi32(128, 64, 32, 16, 8, 4, 2, 1), zero = _mm256_setzero_si256();
  size_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m256i ramp = _mm256_or_si256(
        _mm256_or_si256(alpha, _mm256_slli_epi32(_mm256_and_si256(red, byte1), 8)),
        _mm256_or_si256(_mm256_and_si256(green, byte1), _mm256_srli_epi32(_mm256_and_si256(blue, byte1), 8)));
    const __m256i keep = _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(mask[x >> 3]), bitOfPixel), zero);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x), _mm256_and_si256(ramp, keep));
    red = _mm256_add_epi32(red, redStep);
    green = _mm256_add_epi32(green, greenStep);
    blue = _mm256_add_epi32(blue, blueStep);
  }
  pen = {static_cast<uint32_t>(_mm256_cvtsi256_si32(red)), static_cast<uint32_t>(_mm256_cvtsi256_si32(green)),
         static_cast<uint32_t>(_mm256_cvtsi256_si32(blue))};
  return x;
}

}  // namespace ormi
#else
namespace ormi {
size_t GradientTextPixelsAvx2(uint8_t*, const uint8_t*, size_t, std::array<uint32_t, 3>&,
                              const std::array<int32_t, 3>&) {
  return 0;
}
}  // namespace ormi
#endif
