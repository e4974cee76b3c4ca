// Enhance rows with AVX-512, sixteen pixels a step: the sums, the selection and the single-precision
// quotient of the AVX2 row (enhance_avx2.cpp) on registers twice as wide, except that the fourth
// byte of a kept pixel is 1, not 255, so that its lane sums SW itself. The squared channel
// distances are summed by one dot-product step (VNNI) and the test D < 2500 gives a mask that keeps
// the pixels that pass. The test is symmetric, so a step measures only its twelve forward offsets and
// keeps their masks (EnhanceNearBits); a backward offset takes the mask its neighbour's step made
// for the opposite offset: from the steps of the rows above, or from this step and the one before it
// in the same row, shifted into place. Steps at either end of a row, the first two rows and the
// step ending at the last filtered pixel (the window rows are unfiltered copies, so pixels done
// twice come out the same) measure all 24 offsets.
#include "filters/enhance_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
// GCC 12's AVX-512 intrinsics start from an undefined register that its own warning then flags.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <cstring>
#include <iterator>
#include <utility>

#define ORMI_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vnni")))

namespace ormi {
namespace {

// Sixteen-bit lanes of sixteen pixels: in each 128-bit lane, its pixels 0, 1 in `lo` and 2, 3 in
// `hi`.
struct Wide {
  __m512i lo, hi;
};

// The mask of the centres whose neighbour n lies nearer than the limit. The cap of 50 per channel
// keeps every decision (see enhance_avx2.cpp) and zeroes the fourth byte's difference.
ORMI_AVX512 inline __mmask16 NearMask(__m512i n, __m512i centre) {
  const __m512i apart = _mm512_sub_epi8(_mm512_max_epu8(n, centre), _mm512_min_epu8(n, centre));
  const __m512i capped = _mm512_min_epu8(apart, _mm512_set1_epi32(0x00323232));
  const __m512i distance = _mm512_dpbusd_epi32(_mm512_setzero_si512(), capped, capped);
  return _mm512_cmplt_epi32_mask(distance, _mm512_set1_epi32(2500));
}

// (pixel & 0x00FFFFFF) | 0x01000000 for the pixels under `passing`, zero elsewhere: the fourth byte 1
// makes its lane of the sums count the weight SW beside S.
// The pixels come first, the operand the instruction overwrites, so that no constant is copied.
constexpr int kColourWithOne = 0xEC;  // (a & c) | b
ORMI_AVX512 inline __m512i Kept(__m512i n, __mmask16 passing) {
  return _mm512_maskz_ternarylogic_epi32(passing, n, _mm512_set1_epi32(0x01000000), _mm512_set1_epi32(0x00FFFFFF),
                                         kColourWithOne);
}

// w (p + q) per channel in 16-bit lanes, added to `sum` (see enhance_avx2.cpp for the bounds).
ORMI_AVX512 inline void AddPair(__m512i p, __m512i q, int8_t weight, Wide& sum) {
  const __m512i weights = _mm512_set1_epi8(weight);
  sum.lo = _mm512_add_epi16(sum.lo, _mm512_maddubs_epi16(_mm512_unpacklo_epi8(p, q), weights));
  sum.hi = _mm512_add_epi16(sum.hi, _mm512_maddubs_epi16(_mm512_unpackhi_epi8(p, q), weights));
  // GCC would otherwise gather all the products and add them as a tree at the end of the step,
  // which in 32-bit code (eight vector registers) parks each of them on the stack: the empty asm
  // keeps the sums running.
  __asm__("" : "+v"(sum.lo), "+v"(sum.hi));
}

// Pairs of window positions of equal weight and the group of 16-bit sums they go to. The pairs are
// those of the AVX2 row re-paired so that no pair mixes a forward offset with a backward one: the
// sums are integers, so the same products in other pairs give the same bytes. A step then measures
// and adds the forward pairs one by one and never holds more than two kept pixels (32-bit code has
// only eight vector registers).
struct PositionPair {
  uint32_t i1, j1, i2, j2;
  int8_t weight;
  int group;
};
constexpr PositionPair kForwardPairs[] = {
    {4, 0, 4, 4, 5, 0},  {3, 0, 3, 4, 8, 0},  {4, 1, 4, 3, 8, 0},
    {4, 2, 2, 4, 10, 0}, {3, 1, 3, 3, 20, 0}, {3, 2, 2, 3, 40, 1},
};
constexpr PositionPair kBackwardPairs[] = {
    {0, 0, 0, 4, 5, 0},  {0, 1, 0, 3, 8, 0},  {1, 0, 1, 4, 8, 0},
    {0, 2, 2, 0, 10, 0}, {1, 1, 1, 3, 20, 0}, {1, 2, 2, 1, 40, 1},
};

// One group's 16-bit sums widened and added to the 32-bit lanes (S_b, S_g, S_r, SW): quads[k]
// holds pixel k of every 128-bit lane.
ORMI_AVX512 inline void AddWidened(const Wide& group, __m512i quads[4]) {
  const __m512i zero = _mm512_setzero_si512();
  quads[0] = _mm512_add_epi32(quads[0], _mm512_unpacklo_epi16(group.lo, zero));
  quads[1] = _mm512_add_epi32(quads[1], _mm512_unpackhi_epi16(group.lo, zero));
  quads[2] = _mm512_add_epi32(quads[2], _mm512_unpacklo_epi16(group.hi, zero));
  quads[3] = _mm512_add_epi32(quads[3], _mm512_unpackhi_epi16(group.hi, zero));
}

// (S + (SW >> 1) - 1) / SW in every lane of a pixel (SW from the fourth lane; its own quotient, 1,
// is dropped at the store), in single precision as in the AVX2 row.
ORMI_AVX512 inline __m512i Mean(__m512i sums) {
  const __m512i weight = _mm512_shuffle_epi32(sums, _MM_PERM_DDDD);
  const __m512i rounded = _mm512_add_epi32(sums, _mm512_sub_epi32(_mm512_srli_epi32(weight, 1), _mm512_set1_epi32(1)));
  return _mm512_cvttps_epi32(_mm512_div_ps(_mm512_cvtepi32_ps(rounded), _mm512_cvtepi32_ps(weight)));
}

// Forward offset k as (dy, dx): (0, 1), (0, 2), then (1, -2) .. (1, 2) and (2, -2) .. (2, 2).
constexpr int ForwardIndex(int dy, int dx) { return dy == 0 ? dx - 1 : 2 + 5 * (dy - 1) + dx + 2; }

// Two masks of a mask row, the first in the low half.
ORMI_AVX512 inline __mmask32 Masks32(const uint16_t* p) {
  uint32_t pair;
  std::memcpy(&pair, p, 4);
  return _cvtu32_mask32(pair);
}

// How a step finds the masks of its backward offsets.
enum class Backward { Measure, Kept };

// What a step needs besides its pixels: the mask rows of its centre row (to write) and of the two
// rows above (to read), its index j on the step grid, and the same-row forward masks of the step
// before it.
struct StepMasks {
  uint16_t* own[12];
  const uint16_t* above[2][12];  // rows y - 1 and y - 2
  size_t j;
  __mmask16 previous[2];
};

// The mask of the sixteen centres whose window pixel (i, j), n, passes the test.
template <Backward kBackward, int dy, int dx>
ORMI_AVX512 inline __mmask16 PositionMask(const __mmask16 forward[12], __m512i n, __m512i centre, const StepMasks& m) {
  if constexpr (dy > 0 || (dy == 0 && dx > 0)) return forward[ForwardIndex(dy, dx)];
  if constexpr (kBackward == Backward::Measure) {
    return NearMask(n, centre);
  } else {
    // The neighbour at (-dy', -dx') took this test as its forward offset (dy', dx') = (-dy, -dx):
    // its bits for columns x + dx .. x + dx + 15, from the masks of steps j - 1, j (dx < 0), or
    // j, j + 1 (dx > 0) of its row.
    constexpr int k = ForwardIndex(-dy, -dx);
    if constexpr (dy == 0) {
      const __mmask32 pair = _mm512_kunpackw(forward[k], m.previous[-dx - 1]);
      return static_cast<__mmask16>(_kshiftri_mask32(pair, static_cast<unsigned>(16 + dx)));
    }
    const uint16_t* row = m.above[-dy - 1][k];
    if constexpr (dx == 0) return row[m.j];
    if constexpr (dx < 0) return static_cast<__mmask16>(_kshiftri_mask32(Masks32(row + m.j - 1), 16 + dx));
    return static_cast<__mmask16>(_kshiftri_mask32(Masks32(row + m.j), static_cast<unsigned>(dx)));
  }
}

// Window pixel (i, j) of the sixteen centres where it passes the test (Kept), else zero. A forward
// offset is measured here and its mask kept for the steps to come.
template <Backward kBackward, uint32_t i, uint32_t j>
ORMI_AVX512 inline __m512i Position(__mmask16 forward[12], const uint8_t* const rows[5], size_t x, __m512i centre,
                                    StepMasks& m) {
  constexpr int dy = static_cast<int>(i) - 2, dx = static_cast<int>(j) - 2;
  const __m512i n = _mm512_loadu_si512(rows[i] + 4 * x + 4 * dx);
  if constexpr (dy > 0 || (dy == 0 && dx > 0)) {
    constexpr int k = ForwardIndex(dy, dx);
    forward[k] = NearMask(n, centre);
    m.own[k][m.j] = forward[k];
    return Kept(n, forward[k]);
  } else {
    return Kept(n, PositionMask<kBackward, dy, dx>(forward, n, centre, m));
  }
}

// All pairs of a table added to their groups, in order.
template <Backward kBackward, const PositionPair* kTable, size_t... kPair>
ORMI_AVX512 __attribute__((always_inline)) inline void AddPairs(std::index_sequence<kPair...>, __mmask16 forward[12],
                                                                const uint8_t* const rows[5], size_t x, __m512i centre,
                                                                StepMasks& m, Wide groups[2]) {
  (AddPair(Position<kBackward, kTable[kPair].i1, kTable[kPair].j1>(forward, rows, x, centre, m),
           Position<kBackward, kTable[kPair].i2, kTable[kPair].j2>(forward, rows, x, centre, m), kTable[kPair].weight,
           groups[kTable[kPair].group]),
   ...);
}

// Sixteen output pixels at x (rows: the window rows, column x - 2 in the window's first column).
template <Backward kBackward>
ORMI_AVX512 inline __m512i Filter16(const uint8_t* const rows[5], size_t x, StepMasks& m) {
  const __m512i centre = _mm512_loadu_si512(rows[2] + 4 * x);
  __mmask16 forward[12];
  Wide groups[2] = {};
  AddPair(Kept(centre, 0xFFFF), _mm512_setzero_si512(), 80, groups[1]);  // the centre always takes part
  // The forward pairs first: the backward offsets of this row take their masks from them.
  AddPairs<kBackward, kForwardPairs>(std::make_index_sequence<std::size(kForwardPairs)>(), forward, rows, x, centre, m,
                                     groups);
  AddPairs<kBackward, kBackwardPairs>(std::make_index_sequence<std::size(kBackwardPairs)>(), forward, rows, x, centre,
                                      m, groups);
  m.previous[0] = forward[0];
  m.previous[1] = forward[1];
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

// One mask per step of the grid x = 2 + 16 j, and one more so that a 32-bit load at the last stays
// inside.
size_t EnhanceMaskPitch(uint32_t width) { return size_t{width} / 16 + 2; }

ORMI_AVX512 uint32_t EnhanceRowAvx512(EnhanceNearBits& bits, const uint8_t* const rows[5], uint8_t* out, uint32_t width,
                                      Selection mode, uint32_t key) {
  // Sixteen pixels a step: columns x-2 .. x+17 must lie in the row.
  if (width < 20) return 2;
  const uint32_t y = 2 + bits.calls++;  // the plane row of the centres (row 2 of the window)
  auto maskRow = [&](uint32_t r, int k) {
    return bits.masks + (size_t{r % 3} * 12 + static_cast<size_t>(k)) * bits.pitch;
  };
  StepMasks m{};
  for (int k = 0; k < 12; ++k) {
    m.own[k] = maskRow(y, k);
    m.above[0][k] = maskRow(y + 2, k);  // y - 1 (mod 3)
    m.above[1][k] = maskRow(y + 1, k);  // y - 2 (mod 3)
  }
  const uint32_t steps = (width - 4) / 16;  // grid steps: x + 18 <= width
  // The masks of the rows above exist from the third row on; the first and last grid steps would
  // reach past the grid for some of theirs.
  const bool above = y >= 4;
  for (size_t j = 0; j < steps; ++j) {
    const size_t x = 2 + 16 * j, at = 4 * x;
    m.j = j;
    const __m512i bytes = above && j > 0 && j + 1 < steps ? Filter16<Backward::Kept>(rows, x, m)
                                                          : Filter16<Backward::Measure>(rows, x, m);
    StoreSelected(rows[2] + at, out + at, bytes, mode, key);
  }
  if (2 + 16 * steps + 2 < width) {
    // Off the grid: its masks go to the slot past the last step, which nothing reads.
    const size_t x = width - 18, at = 4 * x;
    m.j = steps;
    StoreSelected(rows[2] + at, out + at, Filter16<Backward::Measure>(rows, x, m), mode, key);
  }
  return width - 2;
}

}  // namespace ormi
#else
namespace ormi {
size_t EnhanceMaskPitch(uint32_t width) { return size_t{width} / 16 + 2; }
uint32_t EnhanceRowAvx512(EnhanceNearBits&, const uint8_t* const*, uint8_t*, uint32_t, Selection, uint32_t) {
  return 2;
}
}  // namespace ormi
#endif
