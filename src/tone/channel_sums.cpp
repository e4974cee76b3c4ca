// Channel sums: scalar, and with SSE2 one masked sum of absolute differences per channel for four
// pixels at a time.
#include "tone/channel_sums.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {
namespace {

void AddScalar(const uint8_t* p, size_t count, uint64_t sums[3]) {
  uint64_t blue = 0, green = 0, red = 0;
  for (size_t x = 0; x < count; ++x, p += 4) {
    blue += p[0];
    green += p[1];
    red += p[2];
  }
  sums[0] += blue;
  sums[1] += green;
  sums[2] += red;
}

#if defined(__SSE2__)
uint64_t Total(__m128i pair) {
  alignas(16) uint64_t halves[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(halves), pair);
  return halves[0] + halves[1];
}

void AddSse2(const uint8_t* p, size_t count, uint64_t sums[3]) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i blueMask = _mm_set1_epi32(0x000000FF), greenMask = _mm_set1_epi32(0x0000FF00),
                redMask = _mm_set1_epi32(0x00FF0000);
  __m128i blue = zero, green = zero, red = zero;
  size_t x = 0;
  for (; x + 4 <= count; x += 4, p += 16) {
    const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    blue = _mm_add_epi64(blue, _mm_sad_epu8(_mm_and_si128(value, blueMask), zero));
    green = _mm_add_epi64(green, _mm_sad_epu8(_mm_and_si128(value, greenMask), zero));
    red = _mm_add_epi64(red, _mm_sad_epu8(_mm_and_si128(value, redMask), zero));
  }
  sums[0] += Total(blue);
  sums[1] += Total(green);
  sums[2] += Total(red);
  AddScalar(p, count - x, sums);
}
#endif

}  // namespace

void AddChannelSums32(const uint8_t* pixels, size_t count, uint64_t sums[3], SimdLevel level) {
  if (level == SimdLevel::Avx512) {
    const size_t done = AddChannelSums32Avx512(pixels, count, sums);
    pixels += 4 * done;
    count -= done;
  }
#if defined(__SSE2__)
  if (level != SimdLevel::Scalar) {
    AddSse2(pixels, count, sums);
    return;
  }
#endif
  (void)level;
  AddScalar(pixels, count, sums);
}

}  // namespace ormi
