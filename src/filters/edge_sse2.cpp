// Edge rows with SSE2, four pixels a step in 16-bit lanes (see edge_kernels.h for the fixed-point
// products). The signed pack to bytes is the clamp to 0..255.
#include "filters/edge_kernels.h"

#include "filters/filter_store_sse2.h"

#if defined(__SSE2__)

namespace ormi {
namespace {

struct Wide {
  __m128i lo, hi;
};

struct VectorProduct {
  __m128i whole, fraction, negate;  // negate: all ones for a negative table
};

inline VectorProduct VectorOf(const EdgeProduct& p) {
  return {_mm_set1_epi16(static_cast<int16_t>(p.whole)), _mm_set1_epi16(static_cast<int16_t>(p.fraction)),
          _mm_set1_epi16(p.negative ? int16_t{-1} : int16_t{0})};
}

// |table| of the four pixels at p: I v + ((v F) >> 16) in each 16-bit lane.
inline Wide Magnitudes(const uint8_t* p, const VectorProduct& product) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_unpacklo_epi8(bytes, zero), hi = _mm_unpackhi_epi8(bytes, zero);
  return {_mm_add_epi16(_mm_mullo_epi16(lo, product.whole), _mm_mulhi_epu16(lo, product.fraction)),
          _mm_add_epi16(_mm_mullo_epi16(hi, product.whole), _mm_mulhi_epu16(hi, product.fraction))};
}

inline __m128i Signed(__m128i magnitude, __m128i negate) {
  return _mm_sub_epi16(_mm_xor_si128(magnitude, negate), negate);
}

inline __m128i Filter4(const uint8_t* const rows[3], size_t at, const VectorProduct& centre,
                       const VectorProduct& diagonal) {
  const Wide c = Magnitudes(rows[1] + at, centre);
  const Wide a = Magnitudes(rows[0] + at - 4, diagonal), b = Magnitudes(rows[0] + at + 4, diagonal),
             d = Magnitudes(rows[2] + at - 4, diagonal), e = Magnitudes(rows[2] + at + 4, diagonal);
  const __m128i diagonalLo = _mm_add_epi16(_mm_add_epi16(a.lo, b.lo), _mm_add_epi16(d.lo, e.lo));
  const __m128i diagonalHi = _mm_add_epi16(_mm_add_epi16(a.hi, b.hi), _mm_add_epi16(d.hi, e.hi));
  const __m128i sumLo = _mm_add_epi16(Signed(c.lo, centre.negate), Signed(diagonalLo, diagonal.negate));
  const __m128i sumHi = _mm_add_epi16(Signed(c.hi, centre.negate), Signed(diagonalHi, diagonal.negate));
  return _mm_packus_epi16(sumLo, sumHi);
}

}  // namespace

uint32_t EdgeRowSse2(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key,
                     const EdgeFixedPoint& products) {
  const VectorProduct centre = VectorOf(products.centre), diagonal = VectorOf(products.diagonal);
  uint32_t x = 1;
  // Four pixels a step: columns x-1 .. x+4 must lie in the row.
  for (; x + 5 <= width; x += 4) {
    const size_t at = 4 * size_t{x};
    filter_sse2::StoreSelected(rows[1] + at, out + at, Filter4(rows, at, centre, diagonal), mode, key);
  }
  return x;
}

}  // namespace ormi
#else
namespace ormi {
uint32_t EdgeRowSse2(const uint8_t* const*, uint8_t*, uint32_t, Selection, uint32_t, const EdgeFixedPoint&) {
  return 1;
}
}  // namespace ormi
#endif
