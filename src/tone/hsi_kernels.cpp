// The tabulated HSI pass, one pixel at a time (hue from the components, levels from the pair
// table, bytes by HsiLevelsToRgb), and with SSE2 four pixels at a time, two in doubles: every lane
// takes the scalar pass's IEEE operations in the same order, branches become masks.
#include "tone/hsi_kernels.h"

#include "image/dib.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {
namespace {

inline uint32_t PassPixel(uint32_t value, const HsiPass& pass) {
  uint8_t red = static_cast<uint8_t>(value >> 16), green = static_cast<uint8_t>(value >> 8),
          blue = static_cast<uint8_t>(value);
  const uint32_t largest = red > green ? (red > blue ? red : blue) : (green > blue ? green : blue);
  const uint32_t smallest = red < green ? (red < blue ? red : blue) : (green < blue ? green : blue);
  const double* levels = pass.levels + 2 * size_t{HsiPairIndex(largest, smallest)};
  HsiLevelsToRgb(ShiftedHue(HsiHue(red, green, blue), pass.hueShift), HsiLevels{levels[0], levels[1]}, red, green,
                 blue);
  return uint32_t{red} << 16 | uint32_t{green} << 8 | blue;
}

}  // namespace

void HsiPassScalar(uint8_t* pixels, size_t count, const HsiPass& pass) {
  for (size_t i = 0; i < count; ++i, pixels += 4) {
    const uint32_t value = LoadPixel<uint32_t>(pixels);
    if (pass.keyed) {
      if (value != pass.key) StorePixel<uint32_t>(pixels, PassPixel(value, pass));
    } else {
      StorePixel<uint32_t>(pixels, PassPixel(value, pass) | (value & 0xFF000000u));
    }
  }
}

#if defined(__SSE2__)
namespace {

inline __m128i Select(__m128i where, __m128i then, __m128i otherwise) {
  return _mm_or_si128(_mm_and_si128(where, then), _mm_andnot_si128(where, otherwise));
}

// Two table doubles by the 32-bit lanes `at` and `at + 1` of an index array.
inline __m128d Pair(const double* table, const int32_t* index) {
  return _mm_loadh_pd(_mm_load_sd(table + index[0]), table + index[1]);
}

// 32-bit lane masks 0, 1 (or 2, 3) widened to two double lanes.
inline __m128d Widen(__m128i mask) { return _mm_castsi128_pd(_mm_unpacklo_epi32(mask, mask)); }

// The four candidate values of two pixels as bytes in the low two 32-bit lanes (not yet held in
// 0..255), with the sixth of each hue.
struct Candidates2 {
  __m128i m1, m2, rising, falling, sixth;
};

inline __m128i ToBytes(__m128d value) {
  return _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(value, _mm_set1_pd(255)), _mm_set1_pd(0.5)));
}

// Two pixels (lanes `lane` and `lane + 1` of the index arrays; their base and rising masks in the low
// two lanes of the vectors).
template <bool kShifted>
inline Candidates2 Candidates(const HsiPass& pass, const int32_t* max, const int32_t* min, const int32_t* mid,
                              const int32_t* at, __m128i base, __m128i rising) {
  const double* unit = kUnitOfByte.data();
  const __m128d uMax = Pair(unit, max);
  const __m128d d = _mm_sub_pd(uMax, Pair(unit, min));
  const __m128d quotient = _mm_div_pd(_mm_sub_pd(uMax, Pair(unit, mid)), d);
  // base - q is base + (-q): the same rounding.
  const __m128d sign = _mm_andnot_pd(Widen(rising), _mm_set1_pd(-0.0));
  const __m128d sixths = _mm_add_pd(_mm_cvtepi32_pd(base), _mm_xor_pd(quotient, sign));
  __m128d h = _mm_andnot_pd(_mm_cmpeq_pd(d, _mm_setzero_pd()), _mm_div_pd(sixths, _mm_set1_pd(6)));
  const __m128d one = _mm_set1_pd(1);
  if (kShifted) {
    // The single wrap of a shift of at most one turn; at most one of the two applies.
    h = _mm_add_pd(h, _mm_set1_pd(pass.hueShift));
    const __m128d down = _mm_and_pd(_mm_cmpgt_pd(h, one), one);
    const __m128d up = _mm_and_pd(_mm_cmplt_pd(h, _mm_setzero_pd()), one);
    h = _mm_add_pd(_mm_sub_pd(h, down), up);
  }
  h = _mm_andnot_pd(_mm_cmpge_pd(h, one), h);

  const __m128d m1 = _mm_unpacklo_pd(_mm_loadu_pd(pass.levels + at[0]), _mm_loadu_pd(pass.levels + at[1]));
  const __m128d m2 = _mm_unpackhi_pd(_mm_loadu_pd(pass.levels + at[0]), _mm_loadu_pd(pass.levels + at[1]));
  const __m128d h6 = _mm_mul_pd(_mm_set1_pd(6), h);
  const __m128i k = _mm_cvttpd_epi32(h6);
  const __m128d f = _mm_sub_pd(h6, _mm_cvtepi32_pd(k));
  const __m128d spread = _mm_mul_pd(_mm_sub_pd(m2, m1), f);
  return {ToBytes(m1), ToBytes(m2), ToBytes(_mm_add_pd(m1, spread)), ToBytes(_mm_sub_pd(m2, spread)), k};
}

// Two pairs' low lanes side by side.
inline __m128i Join(__m128i low, __m128i high) { return _mm_unpacklo_epi64(low, high); }

// A byte held in 0..255 (the lanes fit in 16 bits).
inline __m128i Clamp(__m128i value) {
  return _mm_max_epi16(_mm_min_epi16(value, _mm_set1_epi32(255)), _mm_setzero_si128());
}

template <bool kShifted>
void RunSse2(uint8_t* pixels, size_t count, const HsiPass& pass) {
  const __m128i byteMask = _mm_set1_epi32(255), one = _mm_set1_epi32(1), three = _mm_set1_epi32(3),
                five = _mm_set1_epi32(5);
  const __m128i key = _mm_set1_epi32(static_cast<int>(pass.key));
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  alignas(16) int32_t max[4], min[4], mid[4], at[4];
  size_t i = 0;
  for (; i + 4 <= count; i += 4, pixels += 16) {
    const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i r = _mm_and_si128(_mm_srli_epi32(value, 16), byteMask);
    const __m128i g = _mm_and_si128(_mm_srli_epi32(value, 8), byteMask);
    const __m128i b = _mm_and_si128(value, byteMask);
    // Components fit in the low 16 bits of each lane, the high halves are 0.
    const __m128i largest = _mm_max_epi16(r, _mm_max_epi16(g, b)), smallest = _mm_min_epi16(r, _mm_min_epi16(g, b));
    const __m128i middle = _mm_sub_epi32(_mm_add_epi32(r, _mm_add_epi32(g, b)), _mm_add_epi32(largest, smallest));
    const __m128i rMax = _mm_cmpeq_epi32(r, largest), gMax = _mm_cmpeq_epi32(g, largest);
    const __m128i rMin = _mm_cmpeq_epi32(r, smallest), gMin = _mm_cmpeq_epi32(g, smallest);
    const __m128i bMin = _mm_cmpeq_epi32(b, smallest);
    // The first matching case wins: red largest, else green largest, else blue.
    const __m128i rising = Select(rMax, gMin, Select(gMax, bMin, rMin));
    const __m128i base =
        Select(rMax, Select(gMin, five, one), Select(gMax, Select(bMin, one, three), Select(rMin, three, five)));
    // 2 HsiPairIndex = max (max + 1) + 2 min, below 65536: a 16-bit product.
    const __m128i pair =
        _mm_add_epi32(_mm_mullo_epi16(largest, _mm_add_epi32(largest, one)), _mm_add_epi32(smallest, smallest));
    _mm_store_si128(reinterpret_cast<__m128i*>(max), largest);
    _mm_store_si128(reinterpret_cast<__m128i*>(min), smallest);
    _mm_store_si128(reinterpret_cast<__m128i*>(mid), middle);
    _mm_store_si128(reinterpret_cast<__m128i*>(at), pair);

    const Candidates2 low = Candidates<kShifted>(pass, max, min, mid, at, base, rising);
    const Candidates2 high = Candidates<kShifted>(pass, max + 2, min + 2, mid + 2, at + 2, _mm_srli_si128(base, 8),
                                                  _mm_srli_si128(rising, 8));
    const __m128i m1 = Join(low.m1, high.m1), m2 = Join(low.m2, high.m2);
    const __m128i up = Join(low.rising, high.rising), down = Join(low.falling, high.falling);
    const __m128i k = Join(low.sixth, high.sixth);
    const __m128i k0 = _mm_cmpeq_epi32(k, _mm_setzero_si128()), k1 = _mm_cmpeq_epi32(k, one);
    const __m128i k2 = _mm_cmpeq_epi32(k, _mm_set1_epi32(2)), k3 = _mm_cmpeq_epi32(k, three);
    const __m128i k4 = _mm_cmpeq_epi32(k, _mm_set1_epi32(4)), k5 = _mm_cmpgt_epi32(k, _mm_set1_epi32(4));
    // By sixth 0..5: red m2 falling m1 m1 rising m2; green rising m2 m2 falling m1 m1;
    // blue m1 m1 rising m2 m2 falling.
    const __m128i red = Select(_mm_or_si128(k0, k5), m2, Select(k1, down, Select(k4, up, m1)));
    const __m128i green = Select(_mm_or_si128(k1, k2), m2, Select(k0, up, Select(k3, down, m1)));
    const __m128i blue = Select(_mm_or_si128(k3, k4), m2, Select(k2, up, Select(k5, down, m1)));
    const __m128i rgb =
        _mm_or_si128(_mm_or_si128(_mm_slli_epi32(Clamp(red), 16), _mm_slli_epi32(Clamp(green), 8)), Clamp(blue));
    const __m128i result =
        pass.keyed ? Select(_mm_cmpeq_epi32(value, key), value, rgb) : _mm_or_si128(rgb, _mm_and_si128(value, alpha));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), result);
  }
  HsiPassScalar(pixels, count - i, pass);
}

}  // namespace

void HsiPassSse2(uint8_t* pixels, size_t count, const HsiPass& pass) {
  if (pass.hueShift == 0) {
    RunSse2<false>(pixels, count, pass);
  } else if (pass.hueShift >= -1 && pass.hueShift <= 1) {
    RunSse2<true>(pixels, count, pass);
  } else {
    HsiPassScalar(pixels, count, pass);
  }
}
#else
void HsiPassSse2(uint8_t* pixels, size_t count, const HsiPass& pass) { HsiPassScalar(pixels, count, pass); }
#endif

HsiPassKernel SelectHsiPass(SimdLevel level) {
  switch (level) {
    case SimdLevel::Avx512: return HsiPassAvx512;
    case SimdLevel::Avx2: return HsiPassAvx2;
    case SimdLevel::Sse2: return HsiPassSse2;
    default: return HsiPassScalar;
  }
}

}  // namespace ormi
