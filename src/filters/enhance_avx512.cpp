// Enhance rows with AVX-512, sixteen pixels a step: the AVX2 row (enhance_avx2.cpp) on registers
// twice as wide, with the sums, the selection and the single-precision quotient unchanged. The
// squared channel distances are summed by one dot-product step (VNNI) and the test D < 2500 gives
// a mask that zeroes the pixels left out. A row's last pixels are done by one more step ending at
// its last filtered pixel: the window rows are unfiltered copies, so pixels done twice come out
// the same.
#include "filters/enhance_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
// GCC 12's AVX-512 intrinsics start from an undefined register that its own warning then flags.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#define ORMI_AVX512 __attribute__((target("avx512f,avx512bw,avx512vnni")))

namespace ormi {
namespace {

// Sixteen-bit lanes of sixteen pixels: in each 128-bit lane, its pixels 0, 1 in `lo` and 2, 3 in
// `hi`.
struct Wide {
  __m512i lo, hi;
};

// Sixteen pixels with their fourth byte 255.
ORMI_AVX512 inline __m512i Load16(const uint8_t* p) {
  return _mm512_or_si512(_mm512_loadu_si512(p), _mm512_set1_epi32(static_cast<int>(0xFF000000u)));
}

// The window pixels at p where D < 2500 (fourth byte 255), zero elsewhere. The cap of 50 per
// channel keeps every decision (see enhance_avx2.cpp); both fourth bytes are 255, so theirs adds 0.
ORMI_AVX512 inline __m512i Near(const uint8_t* p, __m512i centre) {
  const __m512i n = Load16(p);
  const __m512i apart = _mm512_sub_epi8(_mm512_max_epu8(n, centre), _mm512_min_epu8(n, centre));
  const __m512i capped = _mm512_min_epu8(apart, _mm512_set1_epi8(50));
  const __m512i distance = _mm512_dpbusd_epi32(_mm512_setzero_si512(), capped, capped);
  return _mm512_maskz_mov_epi32(_mm512_cmplt_epi32_mask(distance, _mm512_set1_epi32(2500)), n);
}

// w (p + q) per channel in 16-bit lanes, added to `sum` (see enhance_avx2.cpp for the bounds).
ORMI_AVX512 inline void AddPair(__m512i p, __m512i q, int8_t weight, Wide& sum) {
  const __m512i weights = _mm512_set1_epi8(weight);
  sum.lo = _mm512_add_epi16(sum.lo, _mm512_maddubs_epi16(_mm512_unpacklo_epi8(p, q), weights));
  sum.hi = _mm512_add_epi16(sum.hi, _mm512_maddubs_epi16(_mm512_unpackhi_epi8(p, q), weights));
}

// Pairs of window positions of equal weight and the group of 16-bit sums they go to, as in the
// AVX2 row.
struct PositionPair {
  uint32_t i1, j1, i2, j2;
  int8_t weight;
  int group;
};
constexpr PositionPair kPairs[] = {
    {0, 0, 0, 4, 5, 0},  {4, 0, 4, 4, 5, 0},  {0, 1, 0, 3, 8, 0},  {1, 0, 1, 4, 8, 0},
    {3, 0, 3, 4, 8, 0},  {4, 1, 4, 3, 8, 0},  {0, 2, 4, 2, 10, 0}, {2, 0, 2, 4, 10, 0},
    {1, 1, 1, 3, 20, 0}, {3, 1, 3, 3, 20, 0}, {1, 2, 3, 2, 40, 1}, {2, 1, 2, 3, 40, 1},
};

// One group's 16-bit sums widened and added to the 32-bit lanes (S_b, S_g, S_r, 255 SW): quads[k]
// holds pixel k of every 128-bit lane.
ORMI_AVX512 inline void AddWidened(const Wide& group, __m512i quads[4]) {
  const __m512i zero = _mm512_setzero_si512();
  quads[0] = _mm512_add_epi32(quads[0], _mm512_unpacklo_epi16(group.lo, zero));
  quads[1] = _mm512_add_epi32(quads[1], _mm512_unpackhi_epi16(group.lo, zero));
  quads[2] = _mm512_add_epi32(quads[2], _mm512_unpacklo_epi16(group.hi, zero));
  quads[3] = _mm512_add_epi32(quads[3], _mm512_unpackhi_epi16(group.hi, zero));
}

// (S + (SW >> 1) - 1) / SW in every lane of a pixel, the same steps as the AVX2 row.
ORMI_AVX512 inline __m512i Mean(__m512i sums) {
  const __m512 weight = _mm512_roundscale_ps(
      _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_shuffle_epi32(sums, _MM_PERM_DDDD)), _mm512_set1_ps(1.0f / 255.0f)),
      _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  const __m512i half = _mm512_srli_epi32(_mm512_cvtps_epi32(weight), 1);
  const __m512i rounded = _mm512_add_epi32(sums, _mm512_sub_epi32(half, _mm512_set1_epi32(1)));
  return _mm512_cvttps_epi32(_mm512_div_ps(_mm512_cvtepi32_ps(rounded), weight));
}

ORMI_AVX512 inline __m512i Filter16(const uint8_t* const rows[5], size_t at) {
  const __m512i centre = Load16(rows[2] + at);
  Wide groups[2] = {};
  AddPair(centre, _mm512_setzero_si512(), 80, groups[1]);  // the centre always takes part
  // Unrolled, so that the group sums stay in registers.
#pragma GCC unroll 12
  for (const PositionPair& pair : kPairs) {
    AddPair(Near(rows[pair.i1] + at + 4 * pair.j1 - 8, centre), Near(rows[pair.i2] + at + 4 * pair.j2 - 8, centre),
            pair.weight, groups[pair.group]);
  }
  __m512i quads[4] = {};
  AddWidened(groups[0], quads);
  AddWidened(groups[1], quads);
  const __m512i low = _mm512_packs_epi32(Mean(quads[0]), Mean(quads[1]));
  const __m512i high = _mm512_packs_epi32(Mean(quads[2]), Mean(quads[3]));
  return _mm512_packus_epi16(low, high);
}

// Sixteen filtered pixels stored by the walk's rules (see filter_store_avx2.h).
ORMI_AVX512 inline void StoreSelected(const uint8_t* centreAt, uint8_t* outAt, __m512i bytes, Selection mode,
                                      uint32_t key) {
  const __m512i centre = _mm512_loadu_si512(centreAt);
  const __mmask64 alphaBytes = 0x8888888888888888ull;
  __m512i result;
  if (mode == Selection::ColorKey) {
    const __m512i rgb = _mm512_mask_mov_epi8(bytes, alphaBytes, _mm512_setzero_si512());
    result =
        _mm512_mask_mov_epi32(rgb, _mm512_cmpeq_epi32_mask(centre, _mm512_set1_epi32(static_cast<int>(key))), centre);
  } else {
    result = _mm512_mask_mov_epi8(bytes, alphaBytes, centre);
    if (mode == Selection::AlphaKey) {
      result = _mm512_mask_mov_epi32(
          result, _mm512_testn_epi32_mask(centre, _mm512_set1_epi32(static_cast<int>(0xFF000000u))), centre);
    }
  }
  _mm512_storeu_si512(outAt, result);
}

}  // namespace

ORMI_AVX512 uint32_t EnhanceRowAvx512(const uint8_t* const rows[5], uint8_t* out, uint32_t width, Selection mode,
                                      uint32_t key) {
  // Sixteen pixels a step: columns x-2 .. x+17 must lie in the row.
  if (width < 20) return 2;
  uint32_t x = 2;
  for (; x + 18 <= width; x += 16) {
    const size_t at = 4 * size_t{x};
    StoreSelected(rows[2] + at, out + at, Filter16(rows, at), mode, key);
  }
  if (x + 2 < width) {
    const size_t at = 4 * size_t{width - 18};
    StoreSelected(rows[2] + at, out + at, Filter16(rows, at), mode, key);
  }
  return width - 2;
}

}  // namespace ormi
#else
namespace ormi {
uint32_t EnhanceRowAvx512(const uint8_t* const*, uint8_t*, uint32_t, Selection, uint32_t) { return 2; }
}  // namespace ormi
#endif
