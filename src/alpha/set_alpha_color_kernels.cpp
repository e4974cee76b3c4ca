#include "alpha/set_alpha_color_kernels.h"

#include "image/dib.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {

void PaintRow32Scalar(const uint8_t* mask, uint8_t* target, size_t width, uint32_t color) {
  for (size_t x = 0; x < width; ++x, mask += 4, target += 4) {
    const uint32_t value = LoadPixel<uint32_t>(target);
    // All ones where the mask's alpha is 0.
    const uint32_t paint = 0u - static_cast<uint32_t>(mask[3] == 0);
    StorePixel<uint32_t>(target, (value & ~(paint & 0x00FFFFFFu)) | (color & paint));
  }
}

#if defined(__SSE2__)
void PaintRow32Sse2(const uint8_t* mask, uint8_t* target, size_t width, uint32_t color) {
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i colour = _mm_set1_epi32(static_cast<int>(color & 0x00FFFFFFu));
  const __m128i colourBytes = _mm_set1_epi32(0x00FFFFFF);
  size_t x = 0;
  for (; x + 4 <= width; x += 4, mask += 16, target += 16) {
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask));
    const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(target));
    const __m128i paint = _mm_and_si128(_mm_cmpeq_epi32(_mm_and_si128(m, alpha), _mm_setzero_si128()), colourBytes);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(target),
                     _mm_or_si128(_mm_andnot_si128(paint, value), _mm_and_si128(paint, colour)));
  }
  PaintRow32Scalar(mask, target, width - x, color);
}
#else
void PaintRow32Sse2(const uint8_t* mask, uint8_t* target, size_t width, uint32_t color) {
  PaintRow32Scalar(mask, target, width, color);
}
#endif

PaintRow32Kernel SelectPaintRow32(SimdLevel level) {
  return level == SimdLevel::Scalar ? PaintRow32Scalar : PaintRow32Sse2;
}

}  // namespace ormi
