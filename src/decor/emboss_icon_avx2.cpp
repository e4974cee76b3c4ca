// The inner stretch of an 8-bit icon row with AVX2: the 256 dark flags sit as a bitmap of 16 x 16
// bits in two byte tables; the low nibble of an index picks the table byte, its top bit the table
// and its high nibble the bit. Thirty-two pixels a step.
#include "decor/emboss_icon_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

#define ORMI_AVX2 __attribute__((target("avx2")))

namespace {

struct DarkBitmap {
  __m256i low, high, bit;  // rows of indices 0x00-0x7F and 0x80-0xFF by low nibble; 1 << (high nibble & 7)
};

ORMI_AVX2 inline __m256i IsDark(__m256i index, const DarkBitmap& map, __m256i nibble) {
  const __m256i low = _mm256_and_si256(index, nibble);
  const __m256i high = _mm256_and_si256(_mm256_srli_epi16(index, 4), nibble);
  const __m256i row = _mm256_blendv_epi8(_mm256_shuffle_epi8(map.low, low), _mm256_shuffle_epi8(map.high, low), index);
  const __m256i bit = _mm256_shuffle_epi8(map.bit, high);
  return _mm256_cmpeq_epi8(_mm256_and_si256(row, bit), bit);
}

}  // namespace

ORMI_AVX2 size_t EmbossIconSpanAvx2(uint8_t* here, const uint8_t* below, size_t count, const IconDarkBits& dark,
                                    uint8_t two) {
  const __m128i low128 = _mm_load_si128(reinterpret_cast<const __m128i*>(dark.low));
  const __m128i high128 = _mm_load_si128(reinterpret_cast<const __m128i*>(dark.high));
  const __m128i bit128 = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const DarkBitmap map{_mm256_broadcastsi128_si256(low128), _mm256_broadcastsi128_si256(high128),
                       _mm256_broadcastsi128_si256(bit128)};
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i twoV = _mm256_set1_epi8(static_cast<char>(two));
  const __m256i one = _mm256_set1_epi8(1);
  size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    auto* out = reinterpret_cast<__m256i*>(here + i);
    const __m256i a = IsDark(_mm256_loadu_si256(out), map, nibble);
    const __m256i b = IsDark(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(below + i)), map, nibble);
    _mm256_storeu_si256(out, _mm256_max_epu8(_mm256_and_si256(a, twoV), _mm256_and_si256(b, one)));
  }
  return i;
}

}  // namespace ormi
#else
namespace ormi {
size_t EmbossIconSpanAvx2(uint8_t*, const uint8_t*, size_t, const IconDarkBits&, uint8_t) { return 0; }
}  // namespace ormi
#endif

namespace ormi {

IconDarkBits IconDarkBitsOf(const uint8_t* dark) {
  IconDarkBits bits{};
  for (int i = 0; i < 256; ++i) {
    if (dark[i] == 0) continue;
    uint8_t* row = i < 128 ? bits.low : bits.high;
    row[i & 15] = static_cast<uint8_t>(row[i & 15] | 1 << (i >> 4 & 7));
  }
  return bits;
}

}  // namespace ormi
