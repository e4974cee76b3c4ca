#include "tone/luminance_kernels.h"

#include "image/dib.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {
namespace {

void LevelsScalar(const uint8_t* p, size_t count, uint8_t* levels) {
  for (size_t i = 0; i < count; ++i, p += 4) {
    const uint32_t value = LoadPixel<uint32_t>(p);
    levels[i] =
        static_cast<uint8_t>((77u * ((value >> 16) & 255) + 150u * ((value >> 8) & 255) + 29u * (value & 255)) >> 8);
  }
}

}  // namespace

void LuminanceLevels(const uint8_t* pixels, size_t count, uint8_t* levels, SimdLevel level) {
  size_t i = HasAvx2(level) ? LuminanceLevelsAvx2(pixels, count, levels) : 0;
#if defined(__SSE2__)
  if (level != SimdLevel::Scalar) {
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128i red = _mm_set1_epi32(77), green = _mm_set1_epi32(150), blue = _mm_set1_epi32(29);
    for (; i + 8 <= count; i += 8) {
      __m128i sums[2];
      for (size_t half = 0; half < 2; ++half) {
        const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 4 * (i + 4 * half)));
        // Each channel in the low half of a 32-bit lane; the 16-bit products leave the high half 0.
        const __m128i sum =
            _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(_mm_srli_epi32(value, 16), byteMask), red),
                                        _mm_mullo_epi16(_mm_and_si128(_mm_srli_epi32(value, 8), byteMask), green)),
                          _mm_mullo_epi16(_mm_and_si128(value, byteMask), blue));
        sums[half] = _mm_srli_epi32(sum, 8);
      }
      // Eight levels in 32-bit lanes to eight bytes.
      const __m128i words = _mm_packs_epi32(sums[0], sums[1]);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(levels + i), _mm_packus_epi16(words, words));
    }
  }
#endif
  (void)level;
  LevelsScalar(pixels + 4 * i, count - i, levels + i);
}

}  // namespace ormi
