// Enhance rows with AVX2, eight pixels a step. The distance test runs on bytes: |difference| per
// channel, capped at 50 (a channel that far apart already puts D at 2500 or more, so the cap keeps
// every decision), squared and summed in pairs by maddubs and madd: D of eight pixels in 32-bit
// lanes. The window pixels that pass D < 2500 add their bytes, widened to 16 bits, into one sum per
// weight class (at most 8 * 255); their fourth byte is set to 255 first, so that lane counts them
// 255 times, and the class weights applied at the end give S and 255 SW.
// The quotient (S + (SW >> 1) - 1) / SW is taken in single precision, exact here: both terms are
// integers below 2^24, SW lies in 80..444 and the quotient below 256. A quotient that is not an
// integer lies at least 1/SW >= 1/444 below the next integer, more than the rounding error of at
// most 2^-16 near 256, so truncating the rounded quotient gives the integer quotient. SW itself is
// 255 SW times the float nearest 1/255, rounded to the nearest integer: the product is within
// 444 * 255 * 2^-24 of SW.
#include "filters/enhance_kernels.h"

#include "filters/filter_store_avx2.h"

#if defined(__x86_64__) || defined(__i386__)

namespace ormi {
namespace {

// Sixteen-bit lanes of eight pixels: pixels 0, 1, 4, 5 in `lo` and 2, 3, 6, 7 in `hi`, the in-lane
// order of the byte unpack.
struct Wide {
  __m256i lo, hi;
};

// Eight pixels with their fourth byte 255.
ORMI_AVX2 inline __m256i Load8(const uint8_t* p) {
  return _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                         _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
}

ORMI_AVX2 inline Wide Widen(__m256i bytes) {
  const __m256i zero = _mm256_setzero_si256();
  return {_mm256_unpacklo_epi8(bytes, zero), _mm256_unpackhi_epi8(bytes, zero)};
}

// The weight classes: 5 at the corners, 8 beside them, 10 at the far middles, 20 at the near
// diagonals, 40 at the near middles, 80 at the centre.
enum Class { k5, k8, k10, k20, k40, k80, kClasses };
constexpr Class kWindowClasses[5][5] = {
    {k5, k8, k10, k8, k5},   {k8, k20, k40, k20, k8}, {k10, k40, k80, k40, k10},
    {k8, k20, k40, k20, k8}, {k5, k8, k10, k8, k5},
};

// Adds the window pixels at p to their class where D < 2500.
ORMI_AVX2 inline void AddIfNear(const uint8_t* p, __m256i centre, Wide& sum) {
  const __m256i n = Load8(p);
  const __m256i apart = _mm256_sub_epi8(_mm256_max_epu8(n, centre), _mm256_min_epu8(n, centre));
  const __m256i capped = _mm256_min_epu8(apart, _mm256_set1_epi8(50));
  const __m256i distance =
      _mm256_madd_epi16(_mm256_maddubs_epi16(capped, capped), _mm256_set1_epi16(1));  // the fourth byte adds 0
  const Wide near = Widen(_mm256_and_si256(n, _mm256_cmpgt_epi32(_mm256_set1_epi32(2500), distance)));
  sum.lo = _mm256_add_epi16(sum.lo, near.lo);
  sum.hi = _mm256_add_epi16(sum.hi, near.hi);
}

// Two classes joined into 32-bit lanes (S_b, S_g, S_r, SW) per pixel: quads[k] holds pixel k in its
// low half and pixel k + 4 in its high half.
ORMI_AVX2 inline void AddWeighted(const Wide& a, const Wide& b, int weightA, int weightB, __m256i quads[4]) {
  const __m256i weights = _mm256_set1_epi32(weightA | weightB << 16);
  quads[0] = _mm256_add_epi32(quads[0], _mm256_madd_epi16(_mm256_unpacklo_epi16(a.lo, b.lo), weights));
  quads[1] = _mm256_add_epi32(quads[1], _mm256_madd_epi16(_mm256_unpackhi_epi16(a.lo, b.lo), weights));
  quads[2] = _mm256_add_epi32(quads[2], _mm256_madd_epi16(_mm256_unpacklo_epi16(a.hi, b.hi), weights));
  quads[3] = _mm256_add_epi32(quads[3], _mm256_madd_epi16(_mm256_unpackhi_epi16(a.hi, b.hi), weights));
}

// (S + (SW >> 1) - 1) / SW in every lane of a pixel (the fourth lane's quotient is dropped at the
// store).
ORMI_AVX2 inline __m256i Mean(__m256i sums) {
  const __m256 weight = _mm256_round_ps(
      _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_shuffle_epi32(sums, 0xFF)), _mm256_set1_ps(1.0f / 255.0f)),
      _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  const __m256i half = _mm256_srli_epi32(_mm256_cvtps_epi32(weight), 1);
  const __m256i rounded = _mm256_add_epi32(sums, _mm256_sub_epi32(half, _mm256_set1_epi32(1)));
  return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(rounded), weight));
}

ORMI_AVX2 inline __m256i Filter8(const uint8_t* const rows[5], size_t at) {
  const __m256i centre = Load8(rows[2] + at);
  Wide sums[kClasses] = {};
  sums[k80] = Widen(centre);  // the centre always takes part
  for (size_t i = 0; i < 5; ++i) {
    for (size_t j = 0; j < 5; ++j) {
      if (i == 2 && j == 2) continue;
      AddIfNear(rows[i] + at + 4 * j - 8, centre, sums[kWindowClasses[i][j]]);
    }
  }
  __m256i quads[4] = {};
  AddWeighted(sums[k5], sums[k8], 5, 8, quads);
  AddWeighted(sums[k10], sums[k20], 10, 20, quads);
  AddWeighted(sums[k40], sums[k80], 40, 80, quads);
  // Quotients below 256: the signed pack keeps them, the byte pack restores pixel order 0..7.
  const __m256i low = _mm256_packs_epi32(Mean(quads[0]), Mean(quads[1]));
  const __m256i high = _mm256_packs_epi32(Mean(quads[2]), Mean(quads[3]));
  return _mm256_packus_epi16(low, high);
}

}  // namespace

ORMI_AVX2 uint32_t EnhanceRowAvx2(const uint8_t* const rows[5], uint8_t* out, uint32_t width, Selection mode,
                                  uint32_t key) {
  uint32_t x = 2;
  // Eight pixels a step: columns x-2 .. x+9 must lie in the row.
  for (; x + 10 <= width; x += 8) {
    const size_t at = 4 * size_t{x};
    filter_avx2::StoreSelected(rows[2] + at, out + at, Filter8(rows, at), mode, key);
  }
  return x;
}

}  // namespace ormi
#else
namespace ormi {
uint32_t EnhanceRowAvx2(const uint8_t* const*, uint8_t*, uint32_t, Selection, uint32_t) { return 2; }
}  // namespace ormi
#endif
