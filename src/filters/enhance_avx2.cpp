// Enhance rows with AVX2, eight pixels a step. The distance test runs on bytes: |difference| per
// channel, capped at 50 (a channel that far apart already puts D at 2500 or more, so the cap keeps
// every decision), squared and summed in pairs by maddubs and madd: D of eight pixels in 32-bit
// lanes. The window pixels that pass D < 2500 keep their bytes, the others become zero; pairs of
// positions of equal weight are weighted and summed into 16-bit lanes by one maddubs. The fourth
// byte is set to 255 first, so that its lane sums 255 SW beside S.
// The quotient (S + (SW >> 1) - 1) / SW is taken in single precision, exact here: both terms are
// integers below 2^24, SW lies in 80..444 and the quotient below 256. A quotient that is not an
// integer lies at least 1/SW >= 1/444 below the next integer, more than the rounding error of at
// most 2^-16 near 256, so truncating the rounded quotient gives the integer quotient. SW comes from
// its lane as 255 SW times the float nearest 1/255, rounded to the nearest integer: that product
// lies within 444 * 2^-23 of SW.
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

// The window pixels at p where D < 2500 (fourth byte 255), zero elsewhere.
ORMI_AVX2 inline __m256i Near(const uint8_t* p, __m256i centre) {
  const __m256i n = Load8(p);
  const __m256i apart = _mm256_sub_epi8(_mm256_max_epu8(n, centre), _mm256_min_epu8(n, centre));
  const __m256i capped = _mm256_min_epu8(apart, _mm256_set1_epi8(50));
  const __m256i distance =
      _mm256_madd_epi16(_mm256_maddubs_epi16(capped, capped), _mm256_set1_epi16(1));  // the fourth byte adds 0
  return _mm256_and_si256(n, _mm256_cmpgt_epi32(_mm256_set1_epi32(2500), distance));
}

// w (p + q) per channel in 16-bit lanes, added to `sum`: the bytes of two window positions of one
// weight, interleaved and multiplied by it in one step (at most 2 * 40 * 255 or 80 * 255).
ORMI_AVX2 inline void AddPair(__m256i p, __m256i q, int8_t weight, Wide& sum) {
  const __m256i weights = _mm256_set1_epi8(weight);
  sum.lo = _mm256_add_epi16(sum.lo, _mm256_maddubs_epi16(_mm256_unpacklo_epi8(p, q), weights));
  sum.hi = _mm256_add_epi16(sum.hi, _mm256_maddubs_epi16(_mm256_unpackhi_epi8(p, q), weights));
}

// The window as pairs of positions (row, column) of equal weight, mirrored about the centre. The
// sums go to two 16-bit groups that cannot pass 65535 even at 255 in every byte: weights 5, 8, 10
// and 20 (at most 204 * 255), and the 40s with the centre's 80 (at most 240 * 255).
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

// One group's 16-bit sums widened and added to the 32-bit lanes (S_b, S_g, S_r, 255 SW) per pixel:
// quads[k] holds pixel k in its low half and pixel k + 4 in its high half.
ORMI_AVX2 inline void AddWidened(const Wide& group, __m256i quads[4]) {
  const __m256i zero = _mm256_setzero_si256();
  quads[0] = _mm256_add_epi32(quads[0], _mm256_unpacklo_epi16(group.lo, zero));
  quads[1] = _mm256_add_epi32(quads[1], _mm256_unpackhi_epi16(group.lo, zero));
  quads[2] = _mm256_add_epi32(quads[2], _mm256_unpacklo_epi16(group.hi, zero));
  quads[3] = _mm256_add_epi32(quads[3], _mm256_unpackhi_epi16(group.hi, zero));
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
  Wide groups[2] = {};
  AddPair(centre, _mm256_setzero_si256(), 80, groups[1]);  // the centre always takes part
  // Unrolled, so that the group sums stay in registers.
#pragma GCC unroll 12
  for (const PositionPair& pair : kPairs) {
    AddPair(Near(rows[pair.i1] + at + 4 * pair.j1 - 8, centre), Near(rows[pair.i2] + at + 4 * pair.j2 - 8, centre),
            pair.weight, groups[pair.group]);
  }
  __m256i quads[4] = {};
  AddWidened(groups[0], quads);
  AddWidened(groups[1], quads);
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
