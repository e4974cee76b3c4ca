// Exact division by a constant with AVX-512, for *_avx512.cpp files only: a / b rounded to nearest
// from the rounded reciprocal y of b. The product q = a y is within an ulp of the quotient, the
// remainder a - b q is exact in one fused step, and q + (a - b q) y rounded once is the correctly
// rounded quotient (Markstein); the callers' tests check every value they feed it.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

__attribute__((target("avx512f"))) inline __m512d DivideExactlyAvx512(__m512d a, __m512d b, __m512d reciprocal) {
  const __m512d q = _mm512_mul_pd(a, reciprocal);
  return _mm512_fmadd_pd(_mm512_fnmadd_pd(q, b, a), reciprocal, q);
}

// byte / 255.0 of eight bytes in 32-bit lanes: kUnitOfByte, computed.
__attribute__((target("avx512f"))) inline __m512d UnitOfBytesAvx512(__m256i bytes) {
  return DivideExactlyAvx512(_mm512_cvtepi32_pd(bytes), _mm512_set1_pd(255), _mm512_set1_pd(1 / 255.0));
}

}  // namespace ormi
#endif
