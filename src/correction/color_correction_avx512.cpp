// Colour correction with AVX-512: eight pixels a step in double lanes, every product and sum in the
// order of ColorCorrectPixel and without fused operations, the component fractions byte / 255
// computed exactly instead of divided.
#include "correction/color_correction_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
// GCC 12's AVX-512 intrinsics start from an undefined register that its own warning then flags.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include "simd/exact_divide_avx512.h"

#define ORMI_AVX512 __attribute__((target("avx512f")))

namespace ormi {

ORMI_AVX512 size_t ColorCorrectRunAvx512(uint8_t* pixels, size_t count, const ProfileMatrix& matrix,
                                         const ColorTarget& target) {
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  const __m512d zero = _mm512_setzero_pd(), one = _mm512_set1_pd(1.0), scale = _mm512_set1_pd(255.0);
  size_t i = 0;
  for (; i + 8 <= count; i += 8, pixels += 32) {
    const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels));
    const __m256i blue = _mm256_and_si256(value, byteMask);
    const __m256i green = _mm256_and_si256(_mm256_srli_epi32(value, 8), byteMask);
    const __m256i red = _mm256_and_si256(_mm256_srli_epi32(value, 16), byteMask);
    const __m256i product = _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_mullo_epi32(red, green), blue), 16);
    const __m512d in[4] = {UnitOfBytesAvx512(red), UnitOfBytesAvx512(green), UnitOfBytesAvx512(blue),
                           UnitOfBytesAvx512(product)};
    __m512d xyz[3];
    for (int k = 0; k < 3; ++k) {
      __m512d v = zero;
      for (int j = 0; j < 4; ++j) v = _mm512_add_pd(v, _mm512_mul_pd(in[j], _mm512_set1_pd(matrix[k][j])));
      xyz[k] = _mm512_mul_pd(v, _mm512_set1_pd(target.whiteAdaptation[k]));
    }
    __m256i out[3];
    for (int k = 0; k < 3; ++k) {
      __m512d o = zero;
      for (int j = 0; j < 3; ++j) o = _mm512_add_pd(o, _mm512_mul_pd(_mm512_set1_pd(target.xyzToRgb[k][j]), xyz[j]));
      o = _mm512_mask_blend_pd(_mm512_cmp_pd_mask(o, one, _CMP_GE_OQ), o, one);
      o = _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(o, zero, _CMP_GT_OQ), o);  // NaN and below 0 become 0
      out[k] = _mm512_cvttpd_epi32(_mm512_mul_pd(o, scale));
    }
    // out is red, green, blue; the fourth byte stays.
    const __m256i colour = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(out[0], byteMask), 16),
                                                           _mm256_slli_epi32(_mm256_and_si256(out[1], byteMask), 8)),
                                           _mm256_and_si256(out[2], byteMask));
    const __m256i alpha = _mm256_andnot_si256(_mm256_set1_epi32(0x00FFFFFF), value);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), _mm256_or_si256(alpha, colour));
  }
  return i;
}

}  // namespace ormi
#else
namespace ormi {
size_t ColorCorrectRunAvx512(uint8_t*, size_t, const ProfileMatrix&, const ColorTarget&) { return 0; }
}  // namespace ormi
#endif
