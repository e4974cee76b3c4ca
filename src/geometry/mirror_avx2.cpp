// The 32-bit mirror's row kernels with AVX2, compiled for that target alone and reached only where
// the processor has it.
#include "geometry/mirror_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

__attribute__((target("avx2"))) static inline __m256i Reversed8(__m256i v) {
  return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
}

__attribute__((target("avx2"))) void ExchangeRowsAvx2(uint8_t* low, uint8_t* high, size_t bytes) {
  size_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    auto* a = reinterpret_cast<__m256i*>(low + i);
    auto* b = reinterpret_cast<__m256i*>(high + i);
    const __m256i va = _mm256_loadu_si256(a), vb = _mm256_loadu_si256(b);
    _mm256_storeu_si256(a, vb);
    _mm256_storeu_si256(b, va);
  }
  ExchangeRowTails(low, high, bytes, i);
}

__attribute__((target("avx2"))) void Reverse32Avx2(uint8_t* row, size_t width) {
  size_t x = 0;
  for (; x + 8 <= width / 2; x += 8) {
    auto* left = reinterpret_cast<__m256i*>(row + 4 * x);
    auto* right = reinterpret_cast<__m256i*>(row + 4 * (width - 8 - x));
    const __m256i a = _mm256_loadu_si256(left), b = _mm256_loadu_si256(right);
    _mm256_storeu_si256(left, Reversed8(b));
    _mm256_storeu_si256(right, Reversed8(a));
  }
  Mirror32Tails(row, width, x);
}

__attribute__((target("avx2"))) void ExchangeReversed32Avx2(uint8_t* low, uint8_t* high, size_t width) {
  size_t x = 0;
  for (; x + 8 <= width; x += 8) {
    auto* a = reinterpret_cast<__m256i*>(low + 4 * x);
    auto* b = reinterpret_cast<__m256i*>(high + 4 * (width - 8 - x));
    const __m256i va = _mm256_loadu_si256(a), vb = _mm256_loadu_si256(b);
    _mm256_storeu_si256(a, Reversed8(vb));
    _mm256_storeu_si256(b, Reversed8(va));
  }
  Exchange32Tails(low, high, width, x);
}

}  // namespace ormi
#else
namespace ormi {
void ExchangeRowsAvx2(uint8_t* low, uint8_t* high, size_t bytes) { ExchangeRowsScalar(low, high, bytes); }
void Reverse32Avx2(uint8_t* row, size_t width) { Reverse32Scalar(row, width); }
void ExchangeReversed32Avx2(uint8_t* low, uint8_t* high, size_t width) { ExchangeReversed32Scalar(low, high, width); }
}  // namespace ormi
#endif
