// Blur and sharpen rows with AVX2: sixteen channels per register in 16-bit lanes where the amount
// keeps every sum inside them, else two pixels per register in 32-bit lanes with the same wrapping
// sums; both divide exactly through a reciprocal and a remainder check, so the bytes are the scalar
// kernels'.
#include "filters/kernel3x3.h"

#include <algorithm>

#include "filters/filter_store_avx2.h"

#if defined(__x86_64__) || defined(__i386__)

namespace ormi {
namespace {

using filter_avx2::StoreSelected;

// Two pixels at p as eight 32-bit channel lanes.
ORMI_AVX2 inline __m256i Load2(const uint8_t* p) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// floor(a / d) for d >= 2 through r = floor(2^32 / d): the estimate (a r) >> 32 is the quotient or
// one below it, and the remainder corrects it.
struct VectorDivisor {
  __m256i reciprocal, divisor;
  bool one;
};

ORMI_AVX2 inline __m256i DivideUnsigned(__m256i a, const VectorDivisor& d) {
  if (d.one) return a;
  const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(a, d.reciprocal), 32);
  const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(a, 32), d.reciprocal);
  __m256i q = _mm256_blend_epi32(even, odd, 0xAA);
  const __m256i remainder = _mm256_sub_epi32(a, _mm256_mullo_epi32(q, d.divisor));
  const __m256i over = _mm256_cmpeq_epi32(_mm256_max_epu32(remainder, d.divisor), remainder);
  return _mm256_sub_epi32(q, over);  // over is -1 where the estimate was one short
}

// n / d truncated toward zero. abs of INT32_MIN gives 2^31 as an unsigned magnitude, as the scalar
// code does.
ORMI_AVX2 inline __m256i DivideSigned(__m256i n, const VectorDivisor& d) {
  const __m256i q = DivideUnsigned(_mm256_abs_epi32(n), d);
  return _mm256_sign_epi32(q, n);
}

template <Finish3x3 Finish>
ORMI_AVX2 inline __m256i Filter2(const uint8_t* top, const uint8_t* mid, const uint8_t* bottom, size_t at,
                                 const VectorDivisor& d, __m256i centreWeight, __m256i half, __m256i topLimit) {
  const __m256i corners = _mm256_add_epi32(_mm256_add_epi32(Load2(top + at - 4), Load2(top + at + 4)),
                                           _mm256_add_epi32(Load2(bottom + at - 4), Load2(bottom + at + 4)));
  const __m256i edges = _mm256_add_epi32(_mm256_add_epi32(Load2(top + at), Load2(mid + at - 4)),
                                         _mm256_add_epi32(Load2(mid + at + 4), Load2(bottom + at)));
  const __m256i centre = Load2(mid + at);
  const __m256i ring = _mm256_add_epi32(corners, _mm256_add_epi32(edges, edges));
  const __m256i weighted = _mm256_mullo_epi32(centreWeight, centre);
  const __m256i zero = _mm256_setzero_si256();
  if constexpr (Finish == Finish3x3::Blur) {
    const __m256i sum = _mm256_add_epi32(weighted, ring);
    const __m256i q = DivideSigned(_mm256_add_epi32(sum, half), d);
    const __m256i outside = _mm256_or_si256(_mm256_cmpgt_epi32(zero, q), _mm256_cmpgt_epi32(q, _mm256_set1_epi32(255)));
    return _mm256_blendv_epi8(q, centre, outside);
  } else {
    const __m256i sum = _mm256_sub_epi32(weighted, ring);
    __m256i q = DivideSigned(_mm256_add_epi32(sum, half), d);
    q = _mm256_min_epi32(_mm256_max_epi32(q, zero), _mm256_set1_epi32(255));
    // A negative sum gives 0 before the upper limit is asked, as in the scalar kernel.
    q = _mm256_blendv_epi8(q, _mm256_set1_epi32(255), _mm256_cmpgt_epi32(sum, topLimit));
    return _mm256_blendv_epi8(q, zero, _mm256_cmpgt_epi32(zero, sum));
  }
}

ORMI_AVX2 inline __m256i Load8(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

// The low (h = 0) or high bytes of each 128-bit lane as 16-bit lanes; the byte pack undoes it.
ORMI_AVX2 inline __m256i Widen(__m256i v, int h) {
  return h == 0 ? _mm256_unpacklo_epi8(v, _mm256_setzero_si256()) : _mm256_unpackhi_epi8(v, _mm256_setzero_si256());
}

// floor(n / d) for 16-bit n and d >= 2 through r = floor(2^16 / d): n r / 2^16 lies in
// (n / d - 1, n / d], so the estimate is the quotient or one below it and the remainder corrects it.
struct Divisor16 {
  __m256i reciprocal, divisor;
  bool one;
};

ORMI_AVX2 inline __m256i Divide16(__m256i n, const Divisor16& d) {
  if (d.one) return n;
  const __m256i q = _mm256_mulhi_epu16(n, d.reciprocal);
  const __m256i remainder = _mm256_sub_epi16(n, _mm256_mullo_epi16(q, d.divisor));
  return _mm256_sub_epi16(q, _mm256_cmpeq_epi16(_mm256_max_epu16(remainder, d.divisor), remainder));
}

// Whether every sum of the filter fits 16-bit lanes. Blur with 0 <= c <= 244: 0 <= S + half <=
// 255 (c + 12) + d / 2 < 2^16, and the quotient never leaves 0..255. Sharpen with 0 <= c <= 128:
// -3060 <= S <= 32640 and S is clamped to 0..255 d (at most 29580) before + half and the division,
// which gives the same bytes as its three cases.
bool Fits16(const Linear3x3& f) { return f.finish == Finish3x3::Blur ? f.centreWeight <= 244 : f.centreWeight <= 128; }

// floor(n / d) for n <= nMax < 2^16 as (n m) >> (16 + s) with m = ceil(2^(16 + s) / d) below 2^16:
// exact when (m d - 2^(16 + s)) nMax < 2^(16 + s), which the largest such s is tried for. Shift -1
// when no s qualifies.
struct Reciprocal16 {
  uint16_t multiplier = 0;
  int shift = -1;
};

Reciprocal16 FindReciprocal16(uint32_t d, uint32_t nMax) {
  Reciprocal16 found;
  for (int s = 0; s < 16; ++s) {
    const uint64_t power = uint64_t{1} << (16 + s);
    const uint64_t m = (power + d - 1) / d;
    if (m > 0xFFFF) break;
    if ((m * d - power) * nMax < power) found = {static_cast<uint16_t>(m), s};
  }
  return found;
}

enum class Division16 { One, Reciprocal, Corrected };

// The sums of the three rows of the window per column, r0 + 2 r1 + r2, for the even (blue, red) and
// odd (green, alpha) bytes of each pixel: the 1-2-1 ring with the centre four times is these sums
// 1-2-1 along the row, so that each column is added up once rather than three times.
ORMI_AVX2 inline void ColumnSums(const uint8_t* const rows[3], size_t at, uint16_t* even, uint16_t* odd) {
  const __m256i t = Load8(rows[0] + at), m = Load8(rows[1] + at), b = Load8(rows[2] + at);
  const __m256i mo = _mm256_srli_epi16(m, 8);
  const __m256i o =
      _mm256_add_epi16(_mm256_add_epi16(_mm256_srli_epi16(t, 8), _mm256_srli_epi16(b, 8)), _mm256_add_epi16(mo, mo));
  // The whole 16-bit lanes summed the same way are e + 256 o modulo 2^16, and e < 2^16; no mask
  // constant, which keeps a register free in 32-bit code.
  const __m256i whole = _mm256_add_epi16(_mm256_add_epi16(t, b), _mm256_add_epi16(m, m));
  const __m256i e = _mm256_sub_epi16(whole, _mm256_slli_epi16(o, 8));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(even), e);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(odd), o);
}

// The sums of one channel byte set: V(x - 1) + 2 V(x) + V(x + 1) with V from ColumnSums, then the
// centre term and the finish; n <= nMax always holds.
template <Finish3x3 Finish, Division16 Division>
ORMI_AVX2 inline __m256i Finish16(const uint16_t* v, __m256i centre, __m256i weight, __m256i half, __m256i top,
                                  __m256i multiplier, __m128i shift, const Divisor16& d) {
  const __m256i left = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v - 2));
  const __m256i middle = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v));
  const __m256i right = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + 2));
  const __m256i ring = _mm256_add_epi16(_mm256_add_epi16(left, right), _mm256_add_epi16(middle, middle));
  const __m256i weighted = _mm256_mullo_epi16(centre, weight);
  __m256i n;
  if constexpr (Finish == Finish3x3::Blur) {
    // S = ring - 4 centre + c centre, weight c - 4 (wrapping in 16 bits to the same sum).
    n = _mm256_add_epi16(_mm256_add_epi16(ring, weighted), half);
  } else {
    // S = c centre - (ring - 4 centre), weight c + 4.
    const __m256i sum = _mm256_sub_epi16(weighted, ring);
    n = _mm256_add_epi16(_mm256_min_epi16(_mm256_max_epi16(sum, _mm256_setzero_si256()), top), half);
  }
  if constexpr (Division == Division16::One) {
    return n;
  } else if constexpr (Division == Division16::Reciprocal) {
    return _mm256_srl_epi16(_mm256_mulhi_epu16(n, multiplier), shift);
  } else {
    return Divide16(n, d);
  }
}

struct Constants16 {
  Divisor16 d;
  __m256i multiplier, weight, half, top;
  __m128i shift;
};

constexpr uint32_t kBlock = 8;  // steps of eight pixels

// Pixels x .. x + 8 steps - 1 (steps <= kBlock, column x + 8 steps inside the row): first the
// column sums of columns x - 1 .. x + 8 steps, then the pixels.
template <Finish3x3 Finish, Division16 Division, Selection Mode>
ORMI_AVX2 inline void Block16(const uint8_t* const rows[3], uint8_t* out, uint32_t x, uint32_t steps, uint32_t key,
                              const Constants16& c) {
  // Two 16-bit lanes a pixel, plus one step of slack.
  alignas(32) uint16_t evenSums[2 * (8 * kBlock + 8)], oddSums[2 * (8 * kBlock + 8)];
  // Through pointers the compiler cannot trace to the stack: otherwise 32-bit GCC copies each
  // unaligned load of them through a stack temporary.
  uint16_t* even = evenSums;
  uint16_t* odd = oddSums;
  asm("" : "+r"(even), "+r"(odd));
  // Whole steps from x - 1 and a last one ending at column x + 8 steps.
  for (uint32_t k = 0; k < steps; ++k) ColumnSums(rows, 4 * (size_t{x} - 1 + 8 * k), even + 16 * k, odd + 16 * k);
  ColumnSums(rows, 4 * (size_t{x} + 8 * steps - 7), even + 16 * steps - 12, odd + 16 * steps - 12);
  for (uint32_t k = 0; k < steps; ++k) {
    const size_t at = 4 * (size_t{x} + 8 * k);
    const __m256i centre = Load8(rows[1] + at);
    const __m256i centreOdd = _mm256_srli_epi16(centre, 8);
    const __m256i e = Finish16<Finish, Division>(even + 16 * k + 2, _mm256_srli_epi16(_mm256_slli_epi16(centre, 8), 8),
                                                 c.weight, c.half, c.top, c.multiplier, c.shift, c.d);
    const __m256i o =
        Finish16<Finish, Division>(odd + 16 * k + 2, centreOdd, c.weight, c.half, c.top, c.multiplier, c.shift, c.d);
    // Every quotient is a byte.
    if constexpr (Mode == Selection::AllPixels) {
      // The odd lanes of the odd bytes are the alphas: the centre's go in by an immediate blend.
      const __m256i withAlpha = _mm256_blend_epi16(o, centreOdd, 0xAA);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), _mm256_or_si256(e, _mm256_slli_epi16(withAlpha, 8)));
    } else {
      StoreSelected(rows[1] + at, out + at, _mm256_or_si256(e, _mm256_slli_epi16(o, 8)), Mode, key);
    }
  }
}

// Eight pixels a step in 16-bit lanes, for filters that Fits16 accepts, in blocks of up to 64
// pixels.
template <Finish3x3 Finish, Division16 Division, Selection Mode>
ORMI_AVX2 uint32_t Row16(const uint8_t* const rows[3], uint8_t* out, uint32_t width, uint32_t key, const Linear3x3& f,
                         Reciprocal16 reciprocal) {
  const uint32_t centreWeight = Finish == Finish3x3::Blur ? f.centreWeight - 4 : f.centreWeight + 4;
  const Constants16 c{{_mm256_set1_epi16(static_cast<int16_t>(f.divisor < 2 ? 0 : 65536 / f.divisor)),
                       _mm256_set1_epi16(static_cast<int16_t>(f.divisor)), f.divisor == 1},
                      _mm256_set1_epi16(static_cast<int16_t>(reciprocal.multiplier)),
                      _mm256_set1_epi16(static_cast<int16_t>(centreWeight)),
                      _mm256_set1_epi16(static_cast<int16_t>(f.half)),
                      _mm256_set1_epi16(static_cast<int16_t>(Finish == Finish3x3::Sharpen ? f.top : 0)),
                      _mm_cvtsi32_si128(reciprocal.shift < 0 ? 0 : reciprocal.shift)};
  uint32_t x = 1;
  while (x + 8 < width) {
    const uint32_t steps = std::min(kBlock, (width - 1 - x) / 8);
    Block16<Finish, Division, Mode>(rows, out, x, steps, key, c);
    x += 8 * steps;
  }
  // The last pixels in one step that ends at the last filtered column: the pixels it filters again
  // come from the same unfiltered rows and get the same bytes.
  if (x + 1 < width && width >= 10) {
    Block16<Finish, Division, Mode>(rows, out, width - 9, 1, key, c);
    x = width - 1;
  }
  return x;
}

template <Finish3x3 Finish, Division16 Division>
ORMI_AVX2 uint32_t Row16(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key,
                         const Linear3x3& f, Reciprocal16 reciprocal) {
  switch (mode) {
    case Selection::AllPixels:
      return Row16<Finish, Division, Selection::AllPixels>(rows, out, width, key, f, reciprocal);
    case Selection::ColorKey: return Row16<Finish, Division, Selection::ColorKey>(rows, out, width, key, f, reciprocal);
    case Selection::AlphaKey: return Row16<Finish, Division, Selection::AlphaKey>(rows, out, width, key, f, reciprocal);
  }
  return 1;
}

template <Finish3x3 Finish>
ORMI_AVX2 uint32_t Row16(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key,
                         const Linear3x3& f) {
  if (f.divisor == 1) return Row16<Finish, Division16::One>(rows, out, width, mode, key, f, {});
  const Reciprocal16 reciprocal = FindReciprocal16(f.divisor, 255 * f.divisor + (f.divisor >> 1));
  if (reciprocal.shift >= 0) return Row16<Finish, Division16::Reciprocal>(rows, out, width, mode, key, f, reciprocal);
  return Row16<Finish, Division16::Corrected>(rows, out, width, mode, key, f, reciprocal);
}

template <Finish3x3 Finish>
ORMI_AVX2 uint32_t Row(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key,
                       const Linear3x3& f) {
  const uint32_t reciprocal = static_cast<uint32_t>((uint64_t{1} << 32) / (f.divisor < 2 ? 2 : f.divisor));
  const VectorDivisor d{_mm256_set1_epi32(static_cast<int>(reciprocal)), _mm256_set1_epi32(static_cast<int>(f.divisor)),
                        f.divisor == 1};
  const __m256i centreWeight = _mm256_set1_epi32(static_cast<int>(f.centreWeight));
  const __m256i half = _mm256_set1_epi32(f.half);
  const __m256i topLimit = _mm256_set1_epi32(f.top);
  uint32_t x = 1;
  // Eight pixels a step: x-1 .. x+8 must lie in the row.
  for (; x + 8 < width; x += 8) {
    const size_t at = 4 * size_t{x};
    __m256i lanes[4];
    for (size_t k = 0; k < 4; ++k)
      lanes[k] = Filter2<Finish>(rows[0], rows[1], rows[2], at + 8 * k, d, centreWeight, half, topLimit);
    // 32-bit lanes to bytes: pairs of registers to 16 bits, then to 8 bits; the in-lane order of
    // packs is undone by a final permutation.
    const __m256i words = _mm256_packus_epi32(lanes[0], lanes[1]);
    const __m256i words2 = _mm256_packus_epi32(lanes[2], lanes[3]);
    const __m256i bytes =
        _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words2), _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    StoreSelected(rows[1] + at, out + at, bytes, mode, key);
  }
  return x;
}

// Emboss in 16-bit lanes: the sums lie within +-1275, and the saturating pack to bytes is the clamp
// to 0..255.
ORMI_AVX2 uint32_t EmbossRow(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key) {
  uint32_t x = 1;
  for (; x + 8 < width; x += 8) {
    const size_t at = 4 * size_t{x};
    const __m256i topLeft = Load8(rows[0] + at - 4), top = Load8(rows[0] + at), left = Load8(rows[1] + at - 4),
                  right = Load8(rows[1] + at + 4), bottom = Load8(rows[2] + at), bottomRight = Load8(rows[2] + at + 4);
    __m256i halves[2];
    for (int h = 0; h < 2; ++h) {
      const __m256i twiceRise = _mm256_add_epi16(Widen(right, h), Widen(bottom, h));
      const __m256i rise = _mm256_add_epi16(_mm256_add_epi16(twiceRise, twiceRise), Widen(bottomRight, h));
      const __m256i twiceFall = _mm256_add_epi16(Widen(top, h), Widen(left, h));
      const __m256i fall = _mm256_add_epi16(_mm256_add_epi16(twiceFall, twiceFall), Widen(topLeft, h));
      halves[h] = _mm256_sub_epi16(rise, fall);
    }
    StoreSelected(rows[1] + at, out + at, _mm256_packus_epi16(halves[0], halves[1]), mode, key);
  }
  return x;
}

}  // namespace

ORMI_AVX2 uint32_t Emboss3x3RowAvx2(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode,
                                    uint32_t key, const Linear3x3&) {
  return EmbossRow(rows, out, width, mode, key);
}

ORMI_AVX2 uint32_t Linear3x3RowAvx2(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode,
                                    uint32_t key, const Linear3x3& filter) {
  if (Fits16(filter)) {
    return filter.finish == Finish3x3::Blur ? Row16<Finish3x3::Blur>(rows, out, width, mode, key, filter)
                                            : Row16<Finish3x3::Sharpen>(rows, out, width, mode, key, filter);
  }
  return filter.finish == Finish3x3::Blur ? Row<Finish3x3::Blur>(rows, out, width, mode, key, filter)
                                          : Row<Finish3x3::Sharpen>(rows, out, width, mode, key, filter);
}

}  // namespace ormi
#else
namespace ormi {
uint32_t Linear3x3RowAvx2(const uint8_t* const*, uint8_t*, uint32_t, Selection, uint32_t, const Linear3x3&) {
  return 1;
}
uint32_t Emboss3x3RowAvx2(const uint8_t* const*, uint8_t*, uint32_t, Selection, uint32_t, const Linear3x3&) {
  return 1;
}
}  // namespace ormi
#endif
