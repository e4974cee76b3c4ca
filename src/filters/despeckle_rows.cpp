// Despeckle's row kernels, scalar and SSE2. The conditions are unsigned byte comparisons, which
// SSE2 offers only as max and saturating subtraction followed by an equality test:
//   a <= b   as max(a, b) == b
//   b >= a + 2 (both "b > a + 1" and "a + 1 < b")   as max(b -sat a, 2) == b -sat a
// and a true lane (0xFF, that is -1) added to or subtracted from b moves it by one level.
#include "filters/despeckle_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {

void RaiseFirstTail(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t from, size_t n) {
  for (size_t i = from; i < n; ++i) out[i] = RaiseFirstCell(b[i], a[i]);
}
void LowerFirstTail(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t from, size_t n) {
  for (size_t i = from; i < n; ++i) out[i] = LowerFirstCell(b[i], a[i]);
}
void RaiseSecondTail(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t from, size_t n) {
  for (size_t i = from; i < n; ++i) out[i] = RaiseSecondCell(b[i], a[i], c[i]);
}
void LowerSecondTail(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t from, size_t n) {
  for (size_t i = from; i < n; ++i) out[i] = LowerSecondCell(b[i], a[i], c[i]);
}

namespace {

void RaiseFirstScalar(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t n) { RaiseFirstTail(b, a, out, 0, n); }
void LowerFirstScalar(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t n) { LowerFirstTail(b, a, out, 0, n); }
void RaiseSecondScalar(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t n) {
  RaiseSecondTail(b, a, c, out, 0, n);
}
void LowerSecondScalar(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t n) {
  LowerSecondTail(b, a, c, out, 0, n);
}

#if defined(__SSE2__)
inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// 0xFF where x >= y + 2.
inline __m128i AtLeastTwoAbove(__m128i x, __m128i y) {
  const __m128i d = _mm_subs_epu8(x, y);
  return _mm_cmpeq_epi8(_mm_max_epu8(d, _mm_set1_epi8(2)), d);
}
// 0xFF where x <= y.
inline __m128i NotAbove(__m128i x, __m128i y) { return _mm_cmpeq_epi8(_mm_max_epu8(x, y), y); }

inline __m128i RaiseFirst16(__m128i b, __m128i a) {
  return _mm_sub_epi8(b, _mm_xor_si128(NotAbove(a, b), _mm_set1_epi8(-1)));
}
inline __m128i LowerFirst16(__m128i b, __m128i a) { return _mm_add_epi8(b, AtLeastTwoAbove(b, a)); }
inline __m128i RaiseSecond16(__m128i b, __m128i a, __m128i c) {
  return _mm_sub_epi8(b, _mm_andnot_si128(NotAbove(c, b), NotAbove(b, a)));
}
inline __m128i LowerSecond16(__m128i b, __m128i a, __m128i c) {
  return _mm_add_epi8(b, _mm_andnot_si128(NotAbove(b, c), AtLeastTwoAbove(b, a)));
}

// Whole registers, then one more ending at the last cell (it redoes a few cells with the same
// result); rows shorter than a register go the scalar way.
template <__m128i (*Kernel)(__m128i, __m128i), HullFirstRow Tail>
void FirstRowSse2(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t n) {
  if (n < 16) return Tail(b, a, out, n);
  for (size_t i = 0;; i += 16) {
    if (i + 16 > n) i = n - 16;
    Store(out + i, Kernel(Load(b + i), Load(a + i)));
    if (i + 16 == n) return;
  }
}

template <__m128i (*Kernel)(__m128i, __m128i, __m128i), HullSecondRow Tail>
void SecondRowSse2(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t n) {
  if (n < 16) return Tail(b, a, c, out, n);
  for (size_t i = 0;; i += 16) {
    if (i + 16 > n) i = n - 16;
    Store(out + i, Kernel(Load(b + i), Load(a + i), Load(c + i)));
    if (i + 16 == n) return;
  }
}

constexpr HullRows kSse2{FirstRowSse2<RaiseFirst16, RaiseFirstScalar>, FirstRowSse2<LowerFirst16, LowerFirstScalar>,
                         SecondRowSse2<RaiseSecond16, RaiseSecondScalar>,
                         SecondRowSse2<LowerSecond16, LowerSecondScalar>};
#endif

constexpr HullRows kScalar{RaiseFirstScalar, LowerFirstScalar, RaiseSecondScalar, LowerSecondScalar};

}  // namespace

HullRows SelectHullRows(SimdLevel level) {
  switch (level) {
#if defined(__x86_64__) || defined(__i386__)
    case SimdLevel::Avx2: return HullRowsAvx2();
#endif
#if defined(__SSE2__)
    case SimdLevel::Sse2: return kSse2;
#endif
    default: return kScalar;
  }
}

}  // namespace ormi
