// The component-table kernel with AVX2, compiled for that target alone and reached only where the
// processor has it.
#include "tone/table_kernels.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

__attribute__((target("avx2"))) void MapTable32Avx2(uint8_t* pixels, size_t count, const std::array<uint8_t, 256>& map,
                                                    const Table32Rule& rule) {
  __m256i pieces[16];
  for (size_t k = 0; k < 16; ++k)
    pieces[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(map.data() + 16 * k)));
  const __m256i lowNibble = _mm256_set1_epi8(0x0F);
  const __m256i one = _mm256_set1_epi8(1);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i keep = _mm256_set1_epi32(static_cast<int>(rule.alphaKeep));
  const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i key = _mm256_set1_epi32(static_cast<int>(rule.key));
  const __m256i keyMask = _mm256_set1_epi32(static_cast<int>(rule.keyMask));
  size_t i = 0;
  for (; i + 8 <= count; i += 8, pixels += 32) {
    const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels));
    const __m256i low = _mm256_and_si256(value, lowNibble);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(value, 4), lowNibble);
    // Piece k answers for the bytes whose high nibble is k: high counts down to 0 for them.
    __m256i mapped = _mm256_shuffle_epi8(pieces[0], low);
    __m256i countdown = high;
#pragma GCC unroll 16
    for (size_t k = 1; k < 16; ++k) {
      countdown = _mm256_sub_epi8(countdown, one);
      mapped = _mm256_blendv_epi8(mapped, _mm256_shuffle_epi8(pieces[k], low), _mm256_cmpeq_epi8(countdown, zero));
    }
    __m256i result = _mm256_or_si256(_mm256_and_si256(mapped, colour), _mm256_and_si256(value, keep));
    if (rule.keyed) {
      const __m256i stays = _mm256_cmpeq_epi32(_mm256_and_si256(value, keyMask), key);
      result = _mm256_blendv_epi8(result, value, stays);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), result);
  }
  for (; i < count; ++i, pixels += 4) {
    uint32_t value;
    std::memcpy(&value, pixels, 4);
    value = MapPixel32(value, map, rule);
    std::memcpy(pixels, &value, 4);
  }
}

}  // namespace ormi
#else
namespace ormi {
void MapTable32Avx2(uint8_t* pixels, size_t count, const std::array<uint8_t, 256>& map, const Table32Rule& rule) {
  for (size_t i = 0; i < count; ++i, pixels += 4) {
    uint32_t value;
    std::memcpy(&value, pixels, 4);
    value = MapPixel32(value, map, rule);
    std::memcpy(pixels, &value, 4);
  }
}
}  // namespace ormi
#endif
