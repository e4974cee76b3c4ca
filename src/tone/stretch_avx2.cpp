// The stretch with AVX2, eight pixels a step (see stretch_kernels.h for the arithmetic).
#include "tone/stretch_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

__attribute__((target("avx2"))) size_t StretchAvx2(uint8_t* pixels, size_t count, const Stretch& stretch,
                                                   const Table32Rule& rule) {
  const __m256i lo = _mm256_set1_epi8(static_cast<char>(stretch.lo));
  const __m256i span = _mm256_set1_epi8(static_cast<char>(stretch.span));
  const __m256i whole = _mm256_set1_epi16(static_cast<int16_t>(stretch.whole));
  const __m256i fraction = _mm256_set1_epi16(static_cast<int16_t>(stretch.fraction));
  const __m256i keep = _mm256_set1_epi32(static_cast<int>(rule.alphaKeep)), colour = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i key = _mm256_set1_epi32(static_cast<int>(rule.key));
  const __m256i keyMask = _mm256_set1_epi32(static_cast<int>(rule.keyMask));
  const __m256i zero = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 8 <= count; i += 8, pixels += 32) {
    const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels));
    const __m256i d = _mm256_min_epu8(_mm256_subs_epu8(value, lo), span);
    const __m256i dLo = _mm256_unpacklo_epi8(d, zero), dHi = _mm256_unpackhi_epi8(d, zero);
    const __m256i mapped =
        _mm256_packus_epi16(_mm256_add_epi16(_mm256_mullo_epi16(dLo, whole), _mm256_mulhi_epu16(dLo, fraction)),
                            _mm256_add_epi16(_mm256_mullo_epi16(dHi, whole), _mm256_mulhi_epu16(dHi, fraction)));
    __m256i result = _mm256_or_si256(_mm256_and_si256(mapped, colour), _mm256_and_si256(value, keep));
    if (rule.keyed) {
      result = _mm256_blendv_epi8(result, value, _mm256_cmpeq_epi32(_mm256_and_si256(value, keyMask), key));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), result);
  }
  return i;
}

}  // namespace ormi
#else
namespace ormi {
size_t StretchAvx2(uint8_t*, size_t, const Stretch&, const Table32Rule&) { return 0; }
}  // namespace ormi
#endif
