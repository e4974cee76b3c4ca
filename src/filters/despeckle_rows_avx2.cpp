// Despeckle's row kernels with AVX2: the SSE2 comparisons (see despeckle_rows.cpp) on 32 cells at
// once, compiled for that target alone and reached only where the processor has it.
#include "filters/despeckle_rows.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define ORMI_AVX2 __attribute__((target("avx2")))

namespace ormi {
namespace {

ORMI_AVX2 inline __m256i Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
ORMI_AVX2 inline void Store(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// 0xFF where x >= y + 2.
ORMI_AVX2 inline __m256i AtLeastTwoAbove(__m256i x, __m256i y) {
  const __m256i d = _mm256_subs_epu8(x, y);
  return _mm256_cmpeq_epi8(_mm256_max_epu8(d, _mm256_set1_epi8(2)), d);
}
// 0xFF where x <= y.
ORMI_AVX2 inline __m256i NotAbove(__m256i x, __m256i y) { return _mm256_cmpeq_epi8(_mm256_max_epu8(x, y), y); }

ORMI_AVX2 inline __m256i RaiseFirst32(__m256i b, __m256i a) {
  return _mm256_sub_epi8(b, _mm256_xor_si256(NotAbove(a, b), _mm256_set1_epi8(-1)));
}
ORMI_AVX2 inline __m256i LowerFirst32(__m256i b, __m256i a) { return _mm256_add_epi8(b, AtLeastTwoAbove(b, a)); }
ORMI_AVX2 inline __m256i RaiseSecond32(__m256i b, __m256i a, __m256i c) {
  return _mm256_sub_epi8(b, _mm256_andnot_si256(NotAbove(c, b), NotAbove(b, a)));
}
ORMI_AVX2 inline __m256i LowerSecond32(__m256i b, __m256i a, __m256i c) {
  return _mm256_add_epi8(b, _mm256_andnot_si256(NotAbove(b, c), AtLeastTwoAbove(b, a)));
}

// Whole registers, then one more ending at the last cell; rows shorter than a register go the
// scalar way.
template <__m256i (*Kernel)(__m256i, __m256i), auto Tail>
ORMI_AVX2 void FirstRowAvx2(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t n) {
  if (n < 32) return Tail(b, a, out, 0, n);
  size_t i = 0;
  for (; i + 32 <= n; i += 32) Store(out + i, Kernel(Load(b + i), Load(a + i)));
  if (i < n) Store(out + n - 32, Kernel(Load(b + n - 32), Load(a + n - 32)));
}

template <__m256i (*Kernel)(__m256i, __m256i, __m256i), auto Tail>
ORMI_AVX2 void SecondRowAvx2(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t n) {
  if (n < 32) return Tail(b, a, c, out, 0, n);
  size_t i = 0;
  for (; i + 32 <= n; i += 32) Store(out + i, Kernel(Load(b + i), Load(a + i), Load(c + i)));
  if (i < n) Store(out + n - 32, Kernel(Load(b + n - 32), Load(a + n - 32), Load(c + n - 32)));
}

}  // namespace

HullRows HullRowsAvx2(HullFillRow fill, HullWriteBackRow writeBack) {
  return {FirstRowAvx2<RaiseFirst32, RaiseFirstTail>,
          FirstRowAvx2<LowerFirst32, LowerFirstTail>,
          SecondRowAvx2<RaiseSecond32, RaiseSecondTail>,
          SecondRowAvx2<LowerSecond32, LowerSecondTail>,
          fill,
          writeBack};
}

}  // namespace ormi
#endif
