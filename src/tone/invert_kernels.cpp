// Invert's word pass, scalar and SSE2 (the baseline of every x86 build). Loads and stores are
// unaligned: host blocks promise no alignment.
#include "tone/invert_kernels.h"

#include "image/dib.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {

void InvertWordsScalar(uint8_t* words, size_t count, const WordRule& rule) {
  for (size_t i = 0; i < count; ++i, words += 4)
    StorePixel<uint32_t>(words, InvertWord(LoadPixel<uint32_t>(words), rule));
}

#if defined(__SSE2__)
void InvertWordsSse2(uint8_t* words, size_t count, const WordRule& rule) {
  const __m128i flip = _mm_set1_epi32(static_cast<int>(rule.flip));
  const __m128i keep = _mm_set1_epi32(static_cast<int>(rule.keep));
  const __m128i key = _mm_set1_epi32(static_cast<int>(rule.key));
  size_t i = 0;
  if (rule.keyed) {
    for (; i + 4 <= count; i += 4, words += 16) {
      const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words));
      const __m128i changed = _mm_and_si128(_mm_xor_si128(value, flip), keep);
      const __m128i stays = _mm_cmpeq_epi32(value, key);
      const __m128i result = _mm_or_si128(_mm_and_si128(stays, value), _mm_andnot_si128(stays, changed));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(words), result);
    }
  } else {
    for (; i + 4 <= count; i += 4, words += 16) {
      const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(words), _mm_and_si128(_mm_xor_si128(value, flip), keep));
    }
  }
  InvertWordsScalar(words, count - i, rule);
}
#else
void InvertWordsSse2(uint8_t* words, size_t count, const WordRule& rule) { InvertWordsScalar(words, count, rule); }
#endif

InvertWordsKernel SelectInvertWords(SimdLevel level) {
  switch (level) {
    case SimdLevel::Avx512:
    case SimdLevel::Avx2: return InvertWordsAvx2;
    case SimdLevel::Sse2: return InvertWordsSse2;
    default: return InvertWordsScalar;
  }
}

}  // namespace ormi
