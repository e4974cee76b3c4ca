// Enhance rows with SSE2, four pixels a step. A pixel is widened to four 16-bit lanes (b, g, r, 1):
// the differences to the centre, squared and summed in pairs by madd, give D; the window positions
// that pass D < 2500 add their lanes into one 16-bit sum per weight class (at most 8 * 255), the lane
// holding 1 counting them, and the class weights applied at the end give S and SW together. The
// single-precision quotient is exact for the reason given in enhance_avx2.cpp.
#include "filters/enhance_kernels.h"

#include "filters/filter_store_sse2.h"

#if defined(__SSE2__)

namespace ormi {
namespace {

// Four pixels as 16-bit lanes (b, g, r, 1): pixels 0, 1 in `lo`, 2, 3 in `hi`.
struct Wide {
  __m128i lo, hi;
};

inline Wide Widen(const uint8_t* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i withOne = _mm_or_si128(_mm_and_si128(bytes, _mm_set1_epi32(0x00FFFFFF)), _mm_set1_epi32(0x01000000));
  const __m128i zero = _mm_setzero_si128();
  return {_mm_unpacklo_epi8(withOne, zero), _mm_unpackhi_epi8(withOne, zero)};
}

enum Class { k5, k8, k10, k20, k40, k80, kClasses };
constexpr Class kWindowClasses[5][5] = {
    {k5, k8, k10, k8, k5},   {k8, k20, k40, k20, k8}, {k10, k40, k80, k40, k10},
    {k8, k20, k40, k20, k8}, {k5, k8, k10, k8, k5},
};

inline void AddIfNear(const uint8_t* p, const Wide& centre, Wide& sum) {
  const Wide n = Widen(p);
  const __m128i dLo = _mm_sub_epi16(n.lo, centre.lo), dHi = _mm_sub_epi16(n.hi, centre.hi);
  const __m128 squaresLo = _mm_castsi128_ps(_mm_madd_epi16(dLo, dLo));
  const __m128 squaresHi = _mm_castsi128_ps(_mm_madd_epi16(dHi, dHi));
  // The even and the odd 32-bit lanes of both, added: D of pixels 0..3.
  const __m128i distance =
      _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(squaresLo, squaresHi, _MM_SHUFFLE(2, 0, 2, 0))),
                    _mm_castps_si128(_mm_shuffle_ps(squaresLo, squaresHi, _MM_SHUFFLE(3, 1, 3, 1))));
  const __m128i within = _mm_cmpgt_epi32(_mm_set1_epi32(2500), distance);
  sum.lo = _mm_add_epi16(sum.lo, _mm_and_si128(n.lo, _mm_unpacklo_epi32(within, within)));
  sum.hi = _mm_add_epi16(sum.hi, _mm_and_si128(n.hi, _mm_unpackhi_epi32(within, within)));
}

// Two classes joined into 32-bit lanes (S_b, S_g, S_r, SW): quads[k] holds pixel k.
inline void AddWeighted(const Wide& a, const Wide& b, int weightA, int weightB, __m128i quads[4]) {
  const __m128i weights = _mm_set1_epi32(weightA | weightB << 16);
  quads[0] = _mm_add_epi32(quads[0], _mm_madd_epi16(_mm_unpacklo_epi16(a.lo, b.lo), weights));
  quads[1] = _mm_add_epi32(quads[1], _mm_madd_epi16(_mm_unpackhi_epi16(a.lo, b.lo), weights));
  quads[2] = _mm_add_epi32(quads[2], _mm_madd_epi16(_mm_unpacklo_epi16(a.hi, b.hi), weights));
  quads[3] = _mm_add_epi32(quads[3], _mm_madd_epi16(_mm_unpackhi_epi16(a.hi, b.hi), weights));
}

inline __m128i Mean(__m128i sums) {
  const __m128i weight = _mm_shuffle_epi32(sums, 0xFF);
  const __m128i rounded = _mm_add_epi32(sums, _mm_sub_epi32(_mm_srli_epi32(weight, 1), _mm_set1_epi32(1)));
  return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(rounded), _mm_cvtepi32_ps(weight)));
}

inline __m128i Filter4(const uint8_t* const rows[5], size_t at) {
  const Wide centre = Widen(rows[2] + at);
  Wide sums[kClasses] = {};
  sums[k80] = centre;
  for (size_t i = 0; i < 5; ++i) {
    for (size_t j = 0; j < 5; ++j) {
      if (i == 2 && j == 2) continue;
      AddIfNear(rows[i] + at + 4 * j - 8, centre, sums[kWindowClasses[i][j]]);
    }
  }
  __m128i quads[4] = {};
  AddWeighted(sums[k5], sums[k8], 5, 8, quads);
  AddWeighted(sums[k10], sums[k20], 10, 20, quads);
  AddWeighted(sums[k40], sums[k80], 40, 80, quads);
  return _mm_packus_epi16(_mm_packs_epi32(Mean(quads[0]), Mean(quads[1])),
                          _mm_packs_epi32(Mean(quads[2]), Mean(quads[3])));
}

}  // namespace

uint32_t EnhanceRowSse2(const uint8_t* const rows[5], uint8_t* out, uint32_t width, Selection mode, uint32_t key) {
  uint32_t x = 2;
  // Four pixels a step: columns x-2 .. x+5 must lie in the row.
  for (; x + 6 <= width; x += 4) {
    const size_t at = 4 * size_t{x};
    filter_sse2::StoreSelected(rows[2] + at, out + at, Filter4(rows, at), mode, key);
  }
  return x;
}

}  // namespace ormi
#else
namespace ormi {
uint32_t EnhanceRowSse2(const uint8_t* const*, uint8_t*, uint32_t, Selection, uint32_t) { return 2; }
}  // namespace ormi
#endif
