// Colour correction with AVX2, compiled for that target alone and reached only where the processor
// has it.
#include "correction/color_correction_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define ORMI_AVX2 __attribute__((target("avx2")))

namespace ormi {
namespace {

// in / 255.0, the same quotients as the scalar path's table.
ORMI_AVX2 inline __m256d Unit(__m128i bytes) { return _mm256_div_pd(_mm256_cvtepi32_pd(bytes), _mm256_set1_pd(255.0)); }

}  // namespace

ORMI_AVX2 size_t ColorCorrectRunAvx2(uint8_t* pixels, size_t count, const CorrectRun& run) {
  const ProfileMatrix& matrix = *run.matrix;
  const ColorTarget& target = run.target;
  const __m128i byteMask = _mm_set1_epi32(0xFF);
  const __m256d zero = _mm256_setzero_pd(), one = _mm256_set1_pd(1.0), scale = _mm256_set1_pd(255.0);
  size_t i = 0;
  for (; i + 4 <= count; i += 4, pixels += 16) {
    const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i blue = _mm_and_si128(value, byteMask);
    const __m128i green = _mm_and_si128(_mm_srli_epi32(value, 8), byteMask);
    const __m128i red = _mm_and_si128(_mm_srli_epi32(value, 16), byteMask);
    const __m128i product = _mm_srli_epi32(_mm_mullo_epi32(_mm_mullo_epi32(red, green), blue), 16);
    const __m256d in[4] = {Unit(red), Unit(green), Unit(blue), Unit(product)};
    __m256d xyz[3];
    for (int k = 0; k < 3; ++k) {
      __m256d v = zero;
      for (int j = 0; j < 4; ++j) v = _mm256_add_pd(v, _mm256_mul_pd(in[j], _mm256_set1_pd(matrix[k][j])));
      xyz[k] = _mm256_mul_pd(v, _mm256_set1_pd(target.whiteAdaptation[k]));
    }
    __m128i out[3];
    for (int k = 0; k < 3; ++k) {
      __m256d o = zero;
      for (int j = 0; j < 3; ++j) o = _mm256_add_pd(o, _mm256_mul_pd(_mm256_set1_pd(target.xyzToRgb[k][j]), xyz[j]));
      o = _mm256_blendv_pd(o, one, _mm256_cmp_pd(o, one, _CMP_GE_OQ));
      o = _mm256_and_pd(o, _mm256_cmp_pd(o, zero, _CMP_GT_OQ));  // NaN and below 0 become 0
      out[k] = _mm256_cvttpd_epi32(_mm256_mul_pd(o, scale));
    }
    // out is red, green, blue; the fourth byte stays.
    const __m128i colour = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_and_si128(out[0], byteMask), 16),
                                                     _mm_slli_epi32(_mm_and_si128(out[1], byteMask), 8)),
                                        _mm_and_si128(out[2], byteMask));
    const __m128i alpha = _mm_andnot_si128(_mm_set1_epi32(0x00FFFFFF), value);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), _mm_or_si128(alpha, colour));
  }
  return i;
}

}  // namespace ormi
#else
namespace ormi {
size_t ColorCorrectRunAvx2(uint8_t*, size_t, const CorrectRun&) { return 0; }
}  // namespace ormi
#endif
