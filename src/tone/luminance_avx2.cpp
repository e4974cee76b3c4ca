// Luminance levels with AVX2, 32 pixels a step. maddubs with the bytes (29, 75, 77, 0) and
// (0, 75, 0, 0) gives 29 B + 150 G and 77 R in the two 16-bit halves of a pixel; their sum, at most
// 65280, fits the low half without carry, and its high byte is the level.
#include "tone/luminance_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {
namespace {

// The level of each of eight pixels in the low byte of its 32-bit lane.
__attribute__((target("avx2"))) inline __m256i Levels8(const uint8_t* p) {
  const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i first = _mm256_maddubs_epi16(value, _mm256_set1_epi32(0x004D4B1D));   // 29, 75, 77, 0
  const __m256i second = _mm256_maddubs_epi16(value, _mm256_set1_epi32(0x00004B00));  // 0, 75, 0, 0
  const __m256i halves = _mm256_add_epi16(first, second);
  const __m256i sum = _mm256_add_epi16(halves, _mm256_srli_epi32(halves, 16));
  return _mm256_srli_epi32(_mm256_slli_epi32(sum, 16), 24);
}

}  // namespace

__attribute__((target("avx2"))) size_t LuminanceLevelsAvx2(const uint8_t* pixels, size_t count, uint8_t* levels) {
  size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const uint8_t* p = pixels + 4 * i;
    const __m256i words = _mm256_packs_epi32(Levels8(p), Levels8(p + 32));
    const __m256i words2 = _mm256_packs_epi32(Levels8(p + 64), Levels8(p + 96));
    // The packs interleave the 128-bit halves; the permutation puts the pixels back in order.
    const __m256i bytes =
        _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words2), _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(levels + i), bytes);
  }
  return i;
}

}  // namespace ormi
#else
namespace ormi {
size_t LuminanceLevelsAvx2(const uint8_t*, size_t, uint8_t*) { return 0; }
}  // namespace ormi
#endif
