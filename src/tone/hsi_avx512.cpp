// The tabulated HSI pass with AVX-512, sixteen pixels a step (two halves of eight in doubles),
// compiled for that target alone and reached only where the processor has it. Every lane takes the
// scalar pass's IEEE operations in the same order, except that byte / 255 (the table kUnitOfByte)
// and sixths / 6 are formed as a product with one fused correction, which gives the correctly
// rounded quotient as the divider does, at a fraction of its cost and of three gathers. The
// branches (which component is largest, the wraps of the hue) become mask registers, and the
// sixth of the hue picks each output byte by one byte permute from the 64 candidate bytes (m1, m2,
// rising, falling of the sixteen pixels), so results are the same bits. The last few pixels go
// through masked loads and stores. Only the explicit fused steps are fused (no contraction).
#include "tone/hsi_avx512.h"

#include "simd/exact_divide_avx512.h"
#include "tone/hsi_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
// GCC 12's AVX-512 intrinsics start from an undefined register that its own warning then flags.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

namespace ormi {

#define ORMI_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace {

// What the hue shift asks of each hue in 0..1: nothing but 1 taken as 0 (no shift), a shift of at
// most one turn (the single wrap lands in 0..1), or anything (a full wrap after it).
enum class HueTurn { None, OneWrap, FullWrap };

// What decides the hue of sixteen pixels, in 32-bit lanes: the largest, smallest and middle
// component, and the case of the largest one as base +- (max - mid) / d in sixths (plus where it is
// rising). The first matching case wins: red largest, else green largest, else blue.
struct HueCase {
  __m512i max, min, mid, base, pair;
  __mmask16 rising;
};

ORMI_AVX512 inline HueCase HueCaseOf(__m512i r, __m512i g, __m512i b) {
  HueCase c;
  c.max = _mm512_max_epi32(r, _mm512_max_epi32(g, b));
  c.min = _mm512_min_epi32(r, _mm512_min_epi32(g, b));
  c.mid = _mm512_sub_epi32(_mm512_add_epi32(r, _mm512_add_epi32(g, b)), _mm512_add_epi32(c.max, c.min));
  const __mmask16 rMax = _mm512_cmpeq_epi32_mask(r, c.max), gMax = _mm512_cmpeq_epi32_mask(g, c.max);
  const __mmask16 rMin = _mm512_cmpeq_epi32_mask(r, c.min), gMin = _mm512_cmpeq_epi32_mask(g, c.min);
  const __mmask16 bMin = _mm512_cmpeq_epi32_mask(b, c.min);
  const auto notRMax = static_cast<__mmask16>(~rMax), neither = static_cast<__mmask16>(~rMax & ~gMax);
  c.rising = static_cast<__mmask16>((rMax & gMin) | (notRMax & gMax & bMin) | (neither & rMin));
  const __m512i one = _mm512_set1_epi32(1), three = _mm512_set1_epi32(3), five = _mm512_set1_epi32(5);
  // Red largest: 5 or 1; green: 1 or 3; blue: 3 or 5 (by the smallest).
  const __m512i blue = _mm512_mask_blend_epi32(rMin, five, three);
  const __m512i green = _mm512_mask_blend_epi32(bMin, three, one);
  const __m512i red = _mm512_mask_blend_epi32(gMin, one, five);
  c.base = _mm512_mask_blend_epi32(rMax, _mm512_mask_blend_epi32(gMax, blue, green), red);
  // Where the pair's levels are: m1 at 2 i, m2 at 2 i + 1, 2 i = max (max + 1) + 2 min.
  c.pair = _mm512_add_epi32(_mm512_mullo_epi32(c.max, _mm512_add_epi32(c.max, one)), _mm512_add_epi32(c.min, c.min));
  return c;
}

template <int kHalf>
ORMI_AVX512 inline __m256i Half(__m512i v) {
  return kHalf == 0 ? _mm512_castsi512_si256(v) : _mm512_extracti64x4_epi64(v, 1);
}

// A hue's sixths / 6.
ORMI_AVX512 inline __m512d TurnsOf(__m512d sixths) {
  return DivideExactlyAvx512(sixths, _mm512_set1_pd(6), _mm512_set1_pd(1 / 6.0));
}

// The hue in turns of eight pixels from their case, 0 for greys.
template <int kHalf>
ORMI_AVX512 inline __m512d HueOf(const HueCase& c) {
  const __m512d uMax = UnitOfBytesAvx512(Half<kHalf>(c.max));
  const __m512d d = _mm512_sub_pd(uMax, UnitOfBytesAvx512(Half<kHalf>(c.min)));
  const __mmask8 grey = _mm512_cmp_pd_mask(d, _mm512_setzero_pd(), _CMP_EQ_OQ);
  const __m512d quotient =
      _mm512_maskz_div_pd(static_cast<__mmask8>(~grey), _mm512_sub_pd(uMax, UnitOfBytesAvx512(Half<kHalf>(c.mid))), d);
  // base - q where the case falls, base + q where it rises.
  const __m512d base = _mm512_cvtepi32_pd(Half<kHalf>(c.base));
  const auto rising = static_cast<__mmask8>(c.rising >> (8 * kHalf));
  const __m512d sixths = _mm512_mask_add_pd(_mm512_sub_pd(base, quotient), rising, base, quotient);
  return _mm512_maskz_mov_pd(static_cast<__mmask8>(~grey), TurnsOf(sixths));
}

// ShiftedHue and then HsiLevelsToRgb's wrap: a hue in 0..1, 1 excluded, for the sixths. The sign
// of a zero hue may differ from the scalar pass's; no byte depends on it.
template <HueTurn kTurn>
ORMI_AVX512 inline __m512d CircleHue(__m512d hue, __m512d shift) {
  const __m512d zero = _mm512_setzero_pd(), one = _mm512_set1_pd(1);
  if constexpr (kTurn == HueTurn::None) {
    return _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(hue, one, _CMP_LT_OQ), hue);
  }
  __m512d h = _mm512_add_pd(hue, shift);
  // At most one of the two wraps applies.
  const __mmask8 down = _mm512_cmp_pd_mask(h, one, _CMP_GT_OQ), up = _mm512_cmp_pd_mask(h, zero, _CMP_LT_OQ);
  h = _mm512_mask_sub_pd(h, down, h, one);
  h = _mm512_mask_add_pd(h, up, h, one);
  if constexpr (kTurn == HueTurn::OneWrap) return _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(h, one, _CMP_LT_OQ), h);
  // WrapHue, which leaves a hue in 0..1 as it is: whole turns off, and 0 for what has no place.
  const __m512d wrapped = _mm512_sub_pd(h, _mm512_roundscale_pd(h, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
  const __mmask8 onCircle =
      _mm512_cmp_pd_mask(wrapped, zero, _CMP_GE_OQ) & _mm512_cmp_pd_mask(wrapped, one, _CMP_LT_OQ);
  return _mm512_maskz_mov_pd(onCircle, wrapped);
}

// floor(255 v + 0.5) as 32-bit lanes for the packs that follow, which hold it in 0..255. The
// values lie within -2..2, so truncation differs from floor only below 0, where both saturate to 0.
ORMI_AVX512 inline __m256i ToBytes(__m512d value) {
  return _mm512_cvttpd_epi32(_mm512_add_pd(_mm512_mul_pd(value, _mm512_set1_pd(255)), _mm512_set1_pd(0.5)));
}

ORMI_AVX512 inline __m512i Join(__m256i low, __m256i high) {
  return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

// The candidate values of eight pixels (32-bit lanes, not yet held in 0..255) and their sixths.
struct Candidates8 {
  __m256i m1, m2, rising, falling, sixth;
};

// m1 and m2 of eight pixels from the table: each pixel's two levels are one 16-byte load, four to
// a register, and two permutes part them. Twice as quick here as two gathers of eight.
ORMI_AVX512 inline void LevelsAt(const double* levels, __m256i at, __m512d& m1, __m512d& m2) {
  alignas(32) int32_t index[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(index), at);
  const auto pair = [&](int p) ORMI_AVX512 { return _mm_castpd_ps(_mm_loadu_pd(levels + index[p])); };
  __m512 low = _mm512_castps128_ps512(pair(0)), high = _mm512_castps128_ps512(pair(4));
  low = _mm512_insertf32x4(_mm512_insertf32x4(_mm512_insertf32x4(low, pair(1), 1), pair(2), 2), pair(3), 3);
  high = _mm512_insertf32x4(_mm512_insertf32x4(_mm512_insertf32x4(high, pair(5), 1), pair(6), 2), pair(7), 3);
  const __m512d first = _mm512_castps_pd(low), second = _mm512_castps_pd(high);
  m1 = _mm512_permutex2var_pd(first, _mm512_setr_epi64(0, 2, 4, 6, 8, 10, 12, 14), second);
  m2 = _mm512_permutex2var_pd(first, _mm512_setr_epi64(1, 3, 5, 7, 9, 11, 13, 15), second);
}

template <HueTurn kTurn, int kHalf>
ORMI_AVX512 inline Candidates8 CandidatesOf(const HueCase& c, const double* levels, __m512d shift) {
  __m512d m1, m2;
  LevelsAt(levels, Half<kHalf>(c.pair), m1, m2);

  const __m512d h6 = _mm512_mul_pd(_mm512_set1_pd(6), CircleHue<kTurn>(HueOf<kHalf>(c), shift));
  const __m256i k = _mm512_cvttpd_epi32(h6);
  const __m512d f = _mm512_sub_pd(h6, _mm512_cvtepi32_pd(k));
  const __m512d spread = _mm512_mul_pd(_mm512_sub_pd(m2, m1), f);
  // Only odd sixths fall: the one candidate that the sixth takes stands for both.
  const __mmask8 odd = _mm512_cmpneq_epi64_mask(_mm512_and_si512(_mm512_cvtepi32_epi64(k), _mm512_set1_epi64(1)),
                                                _mm512_setzero_si512());
  const __m256i middle = ToBytes(_mm512_mask_sub_pd(_mm512_add_pd(m1, spread), odd, m2, spread));
  return {ToBytes(m1), ToBytes(m2), middle, middle, k};
}

// Per sixth, the offsets of blue, green and red among the candidates m1 (0), m2 (4), rising (8)
// and falling (12) of a pixel's group of four. Sixth 0: red m2, green rising, blue m1; 1: falling,
// m2, m1; 2: m1, m2, rising; 3: m1, falling, m2; 4: rising, m1, m2; 5: m2, m1, falling.
constexpr int Order(int blue, int green, int red) { return blue | green << 8 | red << 16; }

// Pixel p's candidates sit at 16 (p / 4) + p % 4 plus the offset (after the packs, which work in
// 128-bit lanes); the alpha byte is not taken from them.
constexpr int PixelBase(int p) { return (16 * (p / 4) + p % 4) * 0x010101; }

// Sixteen pixels: the bytes of the new colour, and the alpha the pass leaves.
template <HueTurn kTurn>
ORMI_AVX512 inline __m512i Step(__m512i value, const HsiPass& pass, __m512d shift, __m512i orders, __m512i bases,
                                const __mmask64& colour) {
  const __m512i byteMask = _mm512_set1_epi32(255);
  const HueCase c =
      HueCaseOf(_mm512_and_si512(_mm512_srli_epi32(value, 16), byteMask),
                _mm512_and_si512(_mm512_srli_epi32(value, 8), byteMask), _mm512_and_si512(value, byteMask));
  const Candidates8 low = CandidatesOf<kTurn, 0>(c, pass.levels, shift);
  const Candidates8 high = CandidatesOf<kTurn, 1>(c, pass.levels, shift);
  // Per 128-bit lane: the four pixels' m1, m2, rising, falling, each held in 0..255.
  const __m512i candidates =
      _mm512_packus_epi16(_mm512_packs_epi32(Join(low.m1, high.m1), Join(low.m2, high.m2)),
                          _mm512_packs_epi32(Join(low.rising, high.rising), Join(low.falling, high.falling)));
  const __m512i index = _mm512_add_epi32(_mm512_permutexvar_epi32(Join(low.sixth, high.sixth), orders), bases);
  if (!pass.keyed) return _mm512_mask_permutexvar_epi8(value, colour, index, candidates);
  // Under a colour key, changed pixels get alpha 0 and pixels equal to the key stay.
  const __m512i rgb = _mm512_maskz_permutexvar_epi8(colour, index, candidates);
  const __mmask16 stays = _mm512_cmpeq_epi32_mask(value, _mm512_set1_epi32(static_cast<int>(pass.key)));
  return _mm512_mask_blend_epi32(stays, rgb, value);
}

template <HueTurn kTurn>
ORMI_AVX512 void Run(uint8_t* pixels, size_t count, const HsiPass& pass) {
  const __m512d shift = _mm512_set1_pd(pass.hueShift);
  const int last = Order(12, 0, 4);
  const __m512i orders =
      _mm512_setr_epi32(Order(0, 8, 4), Order(0, 4, 12), Order(8, 4, 0), Order(4, 12, 0), Order(4, 0, 8), last, last,
                        last, last, last, last, last, last, last, last, last);
  const __m512i bases =
      _mm512_setr_epi32(PixelBase(0), PixelBase(1), PixelBase(2), PixelBase(3), PixelBase(4), PixelBase(5),
                        PixelBase(6), PixelBase(7), PixelBase(8), PixelBase(9), PixelBase(10), PixelBase(11),
                        PixelBase(12), PixelBase(13), PixelBase(14), PixelBase(15));
  // The colour bytes of sixteen pixels. In 32-bit code a 64-bit mask constant cannot come from a
  // general register, and GCC rebuilt it from two halves on the stack at every step (a
  // store-forwarding stall); the empty asm makes it a value set once, kept in a mask register.
  __mmask64 colour = 0x7777777777777777ull;
  __asm__("" : "+k"(colour));
  size_t i = 0;
  for (; i + 16 <= count; i += 16, pixels += 64) {
    const __m512i value = _mm512_loadu_si512(pixels);
    _mm512_storeu_si512(pixels, Step<kTurn>(value, pass, shift, orders, bases, colour));
  }
  if (i < count) {
    const auto lanes = static_cast<__mmask16>((1u << (count - i)) - 1);
    const __m512i value = _mm512_maskz_loadu_epi32(lanes, pixels);
    _mm512_mask_storeu_epi32(pixels, lanes, Step<kTurn>(value, pass, shift, orders, bases, colour));
  }
}

// Eight lanes at a time over an array, the last few masked.
template <class Lanes>
ORMI_AVX512 inline void ForEachEight(size_t count, Lanes&& lanes) {
  for (size_t i = 0; i < count; i += 8) {
    lanes(i, static_cast<__mmask8>(count - i >= 8 ? 0xFF : (1u << (count - i)) - 1));
  }
}

}  // namespace

ORMI_AVX512 void UnitsOfBytesAvx512(const int32_t* bytes, double* units, size_t count) {
  ForEachEight(count, [&](size_t i, __mmask8 lanes) ORMI_AVX512 {
    _mm512_mask_storeu_pd(units + i, lanes,
                          UnitOfBytesAvx512(_mm512_castsi512_si256(_mm512_maskz_loadu_epi32(lanes, bytes + i))));
  });
}

ORMI_AVX512 void TurnsOfSixthsAvx512(const double* sixths, double* turns, size_t count) {
  ForEachEight(count, [&](size_t i, __mmask8 lanes) ORMI_AVX512 {
    _mm512_mask_storeu_pd(turns + i, lanes, TurnsOf(_mm512_maskz_loadu_pd(lanes, sixths + i)));
  });
}

ORMI_AVX512 void HsiPassAvx512(uint8_t* pixels, size_t count, const HsiPass& pass) {
  if (pass.hueShift == 0) {
    Run<HueTurn::None>(pixels, count, pass);
  } else if (pass.hueShift >= -1 && pass.hueShift <= 1) {
    Run<HueTurn::OneWrap>(pixels, count, pass);
  } else {
    Run<HueTurn::FullWrap>(pixels, count, pass);
  }
}

}  // namespace ormi
#else
namespace ormi {
void HsiPassAvx512(uint8_t* pixels, size_t count, const HsiPass& pass) { HsiPassAvx2(pixels, count, pass); }
void UnitsOfBytesAvx512(const int32_t* bytes, double* units, size_t count) {
  for (size_t i = 0; i < count; ++i) units[i] = bytes[i] / 255.0;
}
void TurnsOfSixthsAvx512(const double* sixths, double* turns, size_t count) {
  for (size_t i = 0; i < count; ++i) turns[i] = sixths[i] / 6;
}
}  // namespace ormi
#endif
