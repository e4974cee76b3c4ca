// Colour correction with AVX-512. The exact evaluation takes eight pixels a step in double lanes,
// every product and sum in the order of ColorCorrectPixel and without fused operations, the
// component fractions byte / 255 computed exactly instead of divided. Before it, where the
// conversion allows (CorrectEstimate), sixteen pixels a step get the single-precision estimate of
// each output: when every estimate of the step lies clear of whole numbers by its margin (or wholly
// below 1, or wholly from 255 on), the floors held in 0..255 are the exact bytes; otherwise the step
// goes through the exact evaluation.
#include "correction/color_correction_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
// GCC 12's AVX-512 intrinsics start from an undefined register that its own warning then flags.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include "simd/exact_divide_avx512.h"

#define ORMI_AVX512 __attribute__((target("avx512f")))

namespace ormi {
namespace {

// Eight pixels by the exact evaluation: their new values, the fourth byte kept.
ORMI_AVX512 inline __m256i ExactStep(__m256i value, const ProfileMatrix& matrix, const ColorTarget& target) {
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  const __m512d zero = _mm512_setzero_pd(), one = _mm512_set1_pd(1.0), scale = _mm512_set1_pd(255.0);
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
  return _mm256_or_si256(alpha, colour);
}

ORMI_AVX512 inline void ExactSteps(uint8_t* pixels, const CorrectRun& run) {
  for (int half = 0; half < 2; ++half, pixels += 32) {
    const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), ExactStep(value, *run.matrix, run.target));
  }
}

ORMI_AVX512 inline __m512i Clamp(__m512i value) {
  return _mm512_min_epi32(_mm512_max_epi32(value, _mm512_setzero_si512()), _mm512_set1_epi32(255));
}

// Sixteen pixels by the estimate; false, with nothing stored, where one of the estimates is too near a
// whole number to tell its floor.
ORMI_AVX512 inline bool EstimatedStep(uint8_t* pixels, const CorrectEstimate& estimate) {
  constexpr int kFloor = _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC;
  const __m512i byteMask = _mm512_set1_epi32(0xFF);
  const __m512i value = _mm512_loadu_si512(pixels);
  const __m512 in[3] = {_mm512_cvtepi32_ps(_mm512_and_si512(_mm512_srli_epi32(value, 16), byteMask)),
                        _mm512_cvtepi32_ps(_mm512_and_si512(_mm512_srli_epi32(value, 8), byteMask)),
                        _mm512_cvtepi32_ps(_mm512_and_si512(value, byteMask))};
  __mmask16 unsure = 0;
  __m512i out[3];
  for (int k = 0; k < 3; ++k) {
    const float* c = estimate.coefficient[k];
    __m512 y = _mm512_mul_ps(_mm512_set1_ps(c[0]), in[0]);
    y = _mm512_fmadd_ps(_mm512_set1_ps(c[1]), in[1], y);
    y = _mm512_fmadd_ps(_mm512_set1_ps(c[2]), in[2], y);
    const __m512 margin = _mm512_set1_ps(estimate.margin[k]);
    // Held in 0..255 before the comparison: every value below 1 truncates or clamps to 0, every
    // value from 255 on clamps to 255.
    const __m512i low = Clamp(_mm512_cvt_roundps_epi32(_mm512_sub_ps(y, margin), kFloor));
    const __m512i high = Clamp(_mm512_cvt_roundps_epi32(_mm512_add_ps(y, margin), kFloor));
    unsure = static_cast<__mmask16>(unsure | _mm512_cmpneq_epi32_mask(low, high));
    out[k] = low;
  }
  if (unsure != 0) return false;
  const __m512i rgb =
      _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi32(out[0], 16), _mm512_slli_epi32(out[1], 8)), out[2]);
  _mm512_storeu_si512(pixels, _mm512_ternarylogic_epi32(rgb, value, _mm512_set1_epi32(0x00FFFFFF), 0xE4));
  return true;
}

}  // namespace

ORMI_AVX512 size_t ColorCorrectRunAvx512(uint8_t* pixels, size_t count, const CorrectRun& run) {
  size_t i = 0;
  if (run.estimate.usable) {
    for (; i + 16 <= count; i += 16, pixels += 64) {
      if (!EstimatedStep(pixels, run.estimate)) ExactSteps(pixels, run);
    }
  }
  for (; i + 8 <= count; i += 8, pixels += 32) {
    const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), ExactStep(value, *run.matrix, run.target));
  }
  return i;
}

}  // namespace ormi
#else
namespace ormi {
size_t ColorCorrectRunAvx512(uint8_t*, size_t, const CorrectRun&) { return 0; }
}  // namespace ormi
#endif
