// The tabulated HSI pass with AVX2, eight pixels at a time (four in doubles), compiled for that target
// alone and reached only where the processor has it. Every lane takes the scalar pass's IEEE
// operations in the same order; the branches (which component is largest, the wraps of the hue)
// become compare masks, and the sixth of the hue picks each output byte by a byte shuffle from
// the four candidate bytes m1, m2, rising and falling, so results are the same bits.
#include "tone/hsi_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {
namespace {

// What the hue shift asks of each hue in 0..1: nothing but 1 taken as 0 (no shift), a shift of at
// most one turn (the single wrap lands in 0..1), or anything (a full wrap after it).
enum class HueTurn { None, OneWrap, FullWrap };

// Four doubles from 32-bit indices (the masked form: the plain one trips GCC's uninitialised-value
// warning on its unused source operand).
__attribute__((target("avx2"))) inline __m256d Gather(const double* base, __m128i index) {
  const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
  return _mm256_mask_i32gather_pd(_mm256_setzero_pd(), base, index, all, 8);
}

// What decides the hue of eight pixels, in 32-bit lanes: the largest, smallest and middle
// component, and the case of the largest one as base +- (max - mid) / d in sixths. The first
// matching case wins: red largest, else green largest, else blue; in each the component it names is
// the middle one.
struct HueCase {
  __m256i max, min, mid, base, rising;
};

__attribute__((target("avx2"))) inline HueCase HueCaseOf(__m256i r, __m256i g, __m256i b) {
  HueCase c;
  c.max = _mm256_max_epi32(r, _mm256_max_epi32(g, b));
  c.min = _mm256_min_epi32(r, _mm256_min_epi32(g, b));
  c.mid = _mm256_sub_epi32(_mm256_add_epi32(r, _mm256_add_epi32(g, b)), _mm256_add_epi32(c.max, c.min));
  const __m256i rMax = _mm256_cmpeq_epi32(r, c.max), gMax = _mm256_cmpeq_epi32(g, c.max);
  const __m256i rMin = _mm256_cmpeq_epi32(r, c.min), gMin = _mm256_cmpeq_epi32(g, c.min);
  const __m256i bMin = _mm256_cmpeq_epi32(b, c.min);
  const __m256i one = _mm256_set1_epi32(1), three = _mm256_set1_epi32(3), five = _mm256_set1_epi32(5);
  c.rising = _mm256_blendv_epi8(_mm256_blendv_epi8(rMin, bMin, gMax), gMin, rMax);
  c.base = _mm256_blendv_epi8(
      _mm256_blendv_epi8(_mm256_blendv_epi8(five, three, rMin), _mm256_blendv_epi8(three, one, bMin), gMax),
      _mm256_blendv_epi8(one, five, gMin), rMax);
  return c;
}

// The hue in turns of four pixels from their case (32-bit lanes), 0 for greys.
__attribute__((target("avx2"))) inline __m256d HueOf(__m128i max, __m128i min, __m128i mid, __m128i base,
                                                     __m128i rising) {
  const double* unit = kUnitOfByte.data();
  const __m256d uMax = Gather(unit, max);
  const __m256d d = _mm256_sub_pd(uMax, Gather(unit, min));
  const __m256d quotient = _mm256_div_pd(_mm256_sub_pd(uMax, Gather(unit, mid)), d);
  // base - q is base + (-q): the same rounding.
  const __m256d sign = _mm256_andnot_pd(_mm256_castsi256_pd(_mm256_cvtepi32_epi64(rising)), _mm256_set1_pd(-0.0));
  const __m256d sixths = _mm256_add_pd(_mm256_cvtepi32_pd(base), _mm256_xor_pd(quotient, sign));
  const __m256d hue = _mm256_div_pd(sixths, _mm256_set1_pd(6));
  return _mm256_andnot_pd(_mm256_cmp_pd(d, _mm256_setzero_pd(), _CMP_EQ_OQ), hue);
}

// ShiftedHue and then HsiLevelsToRgb's wrap: a hue in 0..1, 1 excluded, for the sixths. The sign
// of a zero hue may differ from the scalar pass's; no byte depends on it.
template <HueTurn kTurn>
__attribute__((target("avx2"))) inline __m256d CircleHue(__m256d hue, __m256d shift) {
  const __m256d zero = _mm256_setzero_pd(), one = _mm256_set1_pd(1);
  if constexpr (kTurn == HueTurn::None) return _mm256_andnot_pd(_mm256_cmp_pd(hue, one, _CMP_GE_OQ), hue);
  __m256d h = _mm256_add_pd(hue, shift);
  // At most one of the two wraps applies; the other subtracts or adds 0.
  const __m256d down = _mm256_and_pd(_mm256_cmp_pd(h, one, _CMP_GT_OQ), one);
  const __m256d up = _mm256_and_pd(_mm256_cmp_pd(h, zero, _CMP_LT_OQ), one);
  h = _mm256_add_pd(_mm256_sub_pd(h, down), up);
  if constexpr (kTurn == HueTurn::OneWrap) return _mm256_andnot_pd(_mm256_cmp_pd(h, one, _CMP_GE_OQ), h);
  // WrapHue, which leaves a hue in 0..1 as it is: whole turns off, and 0 for what has no place.
  const __m256d wrapped = _mm256_sub_pd(h, _mm256_floor_pd(h));
  const __m256d onCircle =
      _mm256_and_pd(_mm256_cmp_pd(wrapped, zero, _CMP_GE_OQ), _mm256_cmp_pd(wrapped, one, _CMP_LT_OQ));
  return _mm256_and_pd(onCircle, wrapped);
}

// floor(255 v + 0.5) as 32-bit lanes for the packs that follow, which hold it in 0..255. The
// values lie within -2..2, so truncation differs from floor only below 0, where both saturate to 0.
__attribute__((target("avx2"))) inline __m128i ToBytes(__m256d value) {
  return _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(value, _mm256_set1_pd(255)), _mm256_set1_pd(0.5)));
}

// Per sixth, the byte offsets of blue, green and red among m1 (0), m2 (4), rising (8) and falling
// (12); the fourth byte is cleared (0x80). Sixth 0: red m2, green rising, blue m1; 1: falling, m2,
// m1; 2: m1, m2, rising; 3: m1, falling, m2; 4: rising, m1, m2; 5: m2, m1, falling.
constexpr int Order(int blue, int green, int red) { return blue | green << 8 | red << 16 | 0x80 << 24; }

// The bytes blue, green, red (fourth byte 0) of four pixels from their hue case and pair.
template <int kHalf>
__attribute__((target("avx2"))) inline __m128i Part(__m256i v) {
  return kHalf == 0 ? _mm256_castsi256_si128(v) : _mm256_extracti128_si256(v, 1);
}

template <HueTurn kTurn, int kHalf>
__attribute__((target("avx2"))) inline __m128i Rgb4(const HueCase& c, const double* levels, __m256d shift,
                                                    __m256i orders) {
  const auto part = Part<kHalf>;
  const __m128i max = part(c.max), min = part(c.min);
  // The pair's levels: m1 at 2 i, m2 at 2 i + 1, 2 i = max (max + 1) + 2 min.
  const __m128i at =
      _mm_add_epi32(_mm_mullo_epi32(max, _mm_add_epi32(max, _mm_set1_epi32(1))), _mm_add_epi32(min, min));
  const __m256d m1 = Gather(levels, at);
  const __m256d m2 = Gather(levels + 1, at);

  const __m256d hue = HueOf(max, min, part(c.mid), part(c.base), part(c.rising));
  const __m256d h6 = _mm256_mul_pd(_mm256_set1_pd(6), CircleHue<kTurn>(hue, shift));
  const __m128i k = _mm256_cvttpd_epi32(h6);
  const __m256d f = _mm256_sub_pd(h6, _mm256_cvtepi32_pd(k));
  const __m256d spread = _mm256_mul_pd(_mm256_sub_pd(m2, m1), f);
  const __m256d rising = _mm256_add_pd(m1, spread), falling = _mm256_sub_pd(m2, spread);

  // Bytes m1 x4, m2 x4, rising x4, falling x4, then each lane's three.
  const __m128i candidates =
      _mm_packus_epi16(_mm_packs_epi32(ToBytes(m1), ToBytes(m2)), _mm_packs_epi32(ToBytes(rising), ToBytes(falling)));
  const __m128i order = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(orders, _mm256_zextsi128_si256(k)));
  const __m128i lane = _mm_set_epi32(0x03030303, 0x02020202, 0x01010101, 0);
  return _mm_shuffle_epi8(candidates, _mm_add_epi32(order, lane));
}

template <HueTurn kTurn>
__attribute__((target("avx2"))) void Run(uint8_t* pixels, size_t count, const HsiPass& pass) {
  const __m256d shift = _mm256_set1_pd(pass.hueShift);
  const __m256i orders = _mm256_setr_epi32(Order(0, 8, 4), Order(0, 4, 12), Order(8, 4, 0), Order(4, 12, 0),
                                           Order(4, 0, 8), Order(12, 0, 4), Order(12, 0, 4), Order(12, 0, 4));
  const __m256i byteMask = _mm256_set1_epi32(255), key = _mm256_set1_epi32(static_cast<int>(pass.key));
  const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  size_t i = 0;
  for (; i + 8 <= count; i += 8, pixels += 32) {
    const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels));
    const HueCase c =
        HueCaseOf(_mm256_and_si256(_mm256_srli_epi32(value, 16), byteMask),
                  _mm256_and_si256(_mm256_srli_epi32(value, 8), byteMask), _mm256_and_si256(value, byteMask));
    const __m256i rgb =
        _mm256_setr_m128i(Rgb4<kTurn, 0>(c, pass.levels, shift, orders), Rgb4<kTurn, 1>(c, pass.levels, shift, orders));
    const __m256i result = pass.keyed ? _mm256_blendv_epi8(rgb, value, _mm256_cmpeq_epi32(value, key))
                                      : _mm256_or_si256(rgb, _mm256_and_si256(value, alpha));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), result);
  }
  HsiPassScalar(pixels, count - i, pass);
}

}  // namespace

void HsiPassAvx2(uint8_t* pixels, size_t count, const HsiPass& pass) {
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
void HsiPassAvx2(uint8_t* pixels, size_t count, const HsiPass& pass) { HsiPassScalar(pixels, count, pass); }
}  // namespace ormi
#endif
