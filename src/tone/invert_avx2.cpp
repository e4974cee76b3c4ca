// Invert's word pass with AVX2, compiled for that target alone and reached only where the
// processor has it.
#include "tone/invert_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

__attribute__((target("avx2"))) void InvertWordsAvx2(uint8_t* words, size_t count, const WordRule& rule) {
  const __m256i flip = _mm256_set1_epi32(static_cast<int>(rule.flip));
  const __m256i keep = _mm256_set1_epi32(static_cast<int>(rule.keep));
  const __m256i key = _mm256_set1_epi32(static_cast<int>(rule.key));
  size_t i = 0;
  if (rule.keyed) {
    for (; i + 8 <= count; i += 8, words += 32) {
      const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words));
      const __m256i changed = _mm256_and_si256(_mm256_xor_si256(value, flip), keep);
      const __m256i stays = _mm256_cmpeq_epi32(value, key);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(words), _mm256_blendv_epi8(changed, value, stays));
    }
  } else {
    for (; i + 8 <= count; i += 8, words += 32) {
      const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(words), _mm256_and_si256(_mm256_xor_si256(value, flip), keep));
    }
  }
  InvertWordsScalar(words, count - i, rule);
}

}  // namespace ormi
#else
namespace ormi {
void InvertWordsAvx2(uint8_t* words, size_t count, const WordRule& rule) { InvertWordsScalar(words, count, rule); }
}  // namespace ormi
#endif
