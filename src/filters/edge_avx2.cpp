// Edge rows with AVX2, eight pixels a step in 16-bit lanes (see edge_kernels.h for the fixed-point
// products). Every term and partial sum stays within 16 bits, so the wrapping 32-bit sum of the
// scalar kernel is the plain sum here, and the signed pack to bytes is its clamp to 0..255.
#include "filters/edge_kernels.h"

#include "filters/filter_store_avx2.h"

#if defined(__x86_64__) || defined(__i386__)

namespace ormi {
namespace {

struct Wide {
  __m256i lo, hi;
};

inline int16_t SignedWhole(const EdgeProduct& q) { return static_cast<int16_t>(q.negative ? -q.whole : q.whole); }
inline int16_t NegateMask(const EdgeProduct& q) { return q.negative ? int16_t{-1} : int16_t{0}; }

// The products' constants: the signed whole parts s I, the fractions F, and masks that negate a
// fraction's part for a negative table.
struct Constants {
  __m256i centreWhole, centreFraction, centreNegate, diagonalWhole, diagonalFraction, diagonalNegate;
};

ORMI_AVX2 inline Constants ConstantsOf(const EdgeFixedPoint& p) {
  return {_mm256_set1_epi16(SignedWhole(p.centre)),
          _mm256_set1_epi16(static_cast<int16_t>(p.centre.fraction)),
          _mm256_set1_epi16(NegateMask(p.centre)),
          _mm256_set1_epi16(SignedWhole(p.diagonal)),
          _mm256_set1_epi16(static_cast<int16_t>(p.diagonal.fraction)),
          _mm256_set1_epi16(NegateMask(p.diagonal))};
}

ORMI_AVX2 inline Wide Widen(const uint8_t* p) {
  const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i zero = _mm256_setzero_si256();
  return {_mm256_unpacklo_epi8(bytes, zero), _mm256_unpackhi_epi8(bytes, zero)};
}

ORMI_AVX2 inline __m256i Signed(__m256i magnitude, __m256i negate) {
  return _mm256_sub_epi16(_mm256_xor_si256(magnitude, negate), negate);
}

// One half of the sum: s_c (I_c c + f_c) + s_d (I_d (a + b + d + e) + f_a + f_b + f_d + f_e), the
// whole parts multiplied once per sum, the fraction parts f only for tables that have them.
template <bool CentreFraction, bool DiagonalFraction>
ORMI_AVX2 inline __m256i Sum(__m256i c, __m256i a, __m256i b, __m256i d, __m256i e, const Constants& k) {
  const __m256i diagonals = _mm256_add_epi16(_mm256_add_epi16(a, b), _mm256_add_epi16(d, e));
  __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(c, k.centreWhole), _mm256_mullo_epi16(diagonals, k.diagonalWhole));
  if constexpr (CentreFraction)
    sum = _mm256_add_epi16(sum, Signed(_mm256_mulhi_epu16(c, k.centreFraction), k.centreNegate));
  if constexpr (DiagonalFraction) {
    const __m256i parts = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_mulhi_epu16(a, k.diagonalFraction), _mm256_mulhi_epu16(b, k.diagonalFraction)),
        _mm256_add_epi16(_mm256_mulhi_epu16(d, k.diagonalFraction), _mm256_mulhi_epu16(e, k.diagonalFraction)));
    sum = _mm256_add_epi16(sum, Signed(parts, k.diagonalNegate));
  }
  return sum;
}

template <bool CentreFraction, bool DiagonalFraction>
ORMI_AVX2 uint32_t Row(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key,
                       const Constants& k) {
  uint32_t x = 1;
  // Eight pixels a step: columns x-1 .. x+8 must lie in the row.
  for (; x + 9 <= width; x += 8) {
    const size_t at = 4 * size_t{x};
    const Wide c = Widen(rows[1] + at), a = Widen(rows[0] + at - 4), b = Widen(rows[0] + at + 4),
               d = Widen(rows[2] + at - 4), e = Widen(rows[2] + at + 4);
    const __m256i sumLo = Sum<CentreFraction, DiagonalFraction>(c.lo, a.lo, b.lo, d.lo, e.lo, k);
    const __m256i sumHi = Sum<CentreFraction, DiagonalFraction>(c.hi, a.hi, b.hi, d.hi, e.hi, k);
    filter_avx2::StoreSelected(rows[1] + at, out + at, _mm256_packus_epi16(sumLo, sumHi), mode, key);
  }
  return x;
}

}  // namespace

ORMI_AVX2 uint32_t EdgeRowAvx2(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key,
                               const EdgeFixedPoint& products) {
  const Constants k = ConstantsOf(products);
  const bool centreFraction = products.centre.fraction != 0, diagonalFraction = products.diagonal.fraction != 0;
  if (centreFraction && diagonalFraction) return Row<true, true>(rows, out, width, mode, key, k);
  if (centreFraction) return Row<true, false>(rows, out, width, mode, key, k);
  if (diagonalFraction) return Row<false, true>(rows, out, width, mode, key, k);
  return Row<false, false>(rows, out, width, mode, key, k);
}

}  // namespace ormi
#else
namespace ormi {
uint32_t EdgeRowAvx2(const uint8_t* const*, uint8_t*, uint32_t, Selection, uint32_t, const EdgeFixedPoint&) {
  return 1;
}
}  // namespace ormi
#endif
