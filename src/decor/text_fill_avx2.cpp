// Clearing masked pixels with AVX2: the eight pixels of a mask byte in one register.
#include "decor/text_fill.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

__attribute__((target("avx2"))) void ClearMaskedPixelsAvx2(uint8_t* out, const uint8_t* mask, size_t width) {
  const __m256i bitOfPixel = _mm256_setr_epi32(128, 64, 32, 16, 8, 4, 2, 1);
  const __m256i zero = _mm256_setzero_si256();
  size_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const uint8_t byte = mask[x >> 3];
    if (byte == 0) continue;
    auto* p = reinterpret_cast<__m256i*>(out + 4 * x);
    const __m256i keep = _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(byte), bitOfPixel), zero);
    _mm256_storeu_si256(p, _mm256_and_si256(_mm256_loadu_si256(p), keep));
  }
  ClearMaskedTail(out, mask, x, width);
}

}  // namespace ormi
#else
namespace ormi {
void ClearMaskedPixelsAvx2(uint8_t* out, const uint8_t* mask, size_t width) { ClearMaskedTail(out, mask, 0, width); }
}  // namespace ormi
#endif
