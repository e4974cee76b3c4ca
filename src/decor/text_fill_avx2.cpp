// Masking a row with AVX2: the eight pixels of a mask byte in one register.
#include "decor/text_fill.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

__attribute__((target("avx2"))) void MaskPixelsAvx2(uint8_t* out, const uint8_t* in, const uint8_t* mask,
                                                    size_t width) {
  const __m256i bitOfPixel = _mm256_setr_epi32(128, 64, 32, 16, 8, 4, 2, 1);
  const __m256i zero = _mm256_setzero_si256();
  size_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m256i keep = _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(mask[x >> 3]), bitOfPixel), zero);
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4 * x));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x), _mm256_and_si256(pixels, keep));
  }
  MaskPixelsTail(out, in, mask, x, width);
}

}  // namespace ormi
#else
namespace ormi {
void MaskPixelsAvx2(uint8_t* out, const uint8_t* in, const uint8_t* mask, size_t width) {
  MaskPixelsTail(out, in, mask, 0, width);
}
}  // namespace ormi
#endif
