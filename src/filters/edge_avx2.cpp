// Edge rows with AVX2, eight pixels a step in 16-bit lanes (see edge_kernels.h for the fixed-point
// products). The signed pack to bytes is the clamp to 0..255.
#include "filters/edge_kernels.h"

#include "filters/filter_store_avx2.h"

#if defined(__x86_64__) || defined(__i386__)

namespace ormi {
namespace {

struct Wide {
  __m256i lo, hi;
};

struct VectorProduct {
  __m256i whole, fraction, negate;  // negate: all ones for a negative table
};

ORMI_AVX2 inline VectorProduct VectorOf(const EdgeProduct& p) {
  return {_mm256_set1_epi16(static_cast<int16_t>(p.whole)), _mm256_set1_epi16(static_cast<int16_t>(p.fraction)),
          _mm256_set1_epi16(p.negative ? int16_t{-1} : int16_t{0})};
}

// |table| of the eight pixels at p: I v + ((v F) >> 16) in each 16-bit lane.
ORMI_AVX2 inline Wide Magnitudes(const uint8_t* p, const VectorProduct& product) {
  const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i zero = _mm256_setzero_si256();
  const __m256i lo = _mm256_unpacklo_epi8(bytes, zero), hi = _mm256_unpackhi_epi8(bytes, zero);
  return {_mm256_add_epi16(_mm256_mullo_epi16(lo, product.whole), _mm256_mulhi_epu16(lo, product.fraction)),
          _mm256_add_epi16(_mm256_mullo_epi16(hi, product.whole), _mm256_mulhi_epu16(hi, product.fraction))};
}

ORMI_AVX2 inline __m256i Signed(__m256i magnitude, __m256i negate) {
  return _mm256_sub_epi16(_mm256_xor_si256(magnitude, negate), negate);
}

ORMI_AVX2 inline __m256i Filter8(const uint8_t* const rows[3], size_t at, const VectorProduct& centre,
                                 const VectorProduct& diagonal) {
  const Wide c = Magnitudes(rows[1] + at, centre);
  const Wide a = Magnitudes(rows[0] + at - 4, diagonal), b = Magnitudes(rows[0] + at + 4, diagonal),
             d = Magnitudes(rows[2] + at - 4, diagonal), e = Magnitudes(rows[2] + at + 4, diagonal);
  const __m256i diagonalLo = _mm256_add_epi16(_mm256_add_epi16(a.lo, b.lo), _mm256_add_epi16(d.lo, e.lo));
  const __m256i diagonalHi = _mm256_add_epi16(_mm256_add_epi16(a.hi, b.hi), _mm256_add_epi16(d.hi, e.hi));
  const __m256i sumLo = _mm256_add_epi16(Signed(c.lo, centre.negate), Signed(diagonalLo, diagonal.negate));
  const __m256i sumHi = _mm256_add_epi16(Signed(c.hi, centre.negate), Signed(diagonalHi, diagonal.negate));
  return _mm256_packus_epi16(sumLo, sumHi);
}

}  // namespace

ORMI_AVX2 uint32_t EdgeRowAvx2(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key,
                               const EdgeFixedPoint& products) {
  const VectorProduct centre = VectorOf(products.centre), diagonal = VectorOf(products.diagonal);
  uint32_t x = 1;
  // Eight pixels a step: columns x-1 .. x+8 must lie in the row.
  for (; x + 9 <= width; x += 8) {
    const size_t at = 4 * size_t{x};
    filter_avx2::StoreSelected(rows[1] + at, out + at, Filter8(rows, at, centre, diagonal), mode, key);
  }
  return x;
}

}  // namespace ormi
#else
namespace ormi {
uint32_t EdgeRowAvx2(const uint8_t* const*, uint8_t*, uint32_t, Selection, uint32_t, const EdgeFixedPoint&) {
  return 1;
}
}  // namespace ormi
#endif
