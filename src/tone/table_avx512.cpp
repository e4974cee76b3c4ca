// The component-table kernel with AVX-512: the 256-entry table sits in four registers; two
// two-register byte permutes look up the low and high halves of 64 bytes at once and the top bit of
// each byte picks between them. Sixteen pixels a step; the last few go through masked loads.
#include "tone/table_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

#define ORMI_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace {

struct Table512 {
  __m512i low0, low1, high0, high1;  // entries 0-63, 64-127, 128-191, 192-255
};

ORMI_AVX512 inline __m512i MapStep(__m512i value, const Table512& t, __m512i colour, __m512i keep,
                                   const Table32Rule& rule, __m512i key, __m512i keyMask) {
  const __m512i low = _mm512_permutex2var_epi8(t.low0, value, t.low1);
  const __m512i high = _mm512_permutex2var_epi8(t.high0, value, t.high1);
  const __m512i mapped = _mm512_mask_blend_epi8(_mm512_movepi8_mask(value), low, high);
  // (mapped & colour) | (value & keep), with keep = ~colour or 0 on the fourth byte.
  __m512i result = _mm512_or_si512(_mm512_and_si512(mapped, colour), _mm512_and_si512(value, keep));
  if (rule.keyed) {
    const __mmask16 stays = _mm512_cmpeq_epi32_mask(_mm512_and_si512(value, keyMask), key);
    result = _mm512_mask_blend_epi32(stays, result, value);
  }
  return result;
}

}  // namespace

ORMI_AVX512 void MapTable32Avx512(uint8_t* pixels, size_t count, const std::array<uint8_t, 256>& map,
                                  const Table32Rule& rule) {
  const Table512 table{_mm512_loadu_si512(map.data()), _mm512_loadu_si512(map.data() + 64),
                       _mm512_loadu_si512(map.data() + 128), _mm512_loadu_si512(map.data() + 192)};
  const __m512i colour = _mm512_set1_epi32(0x00FFFFFF);
  const __m512i keep = _mm512_set1_epi32(static_cast<int>(rule.alphaKeep));
  const __m512i key = _mm512_set1_epi32(static_cast<int>(rule.key));
  const __m512i keyMask = _mm512_set1_epi32(static_cast<int>(rule.keyMask));
  // From the end back: what a pass over the picture just before left in the caches is met first.
  size_t i = count / 16 * 16;
  if (i < count) {
    const auto lanes = static_cast<__mmask16>((1u << (count - i)) - 1);
    const __m512i value = _mm512_maskz_loadu_epi32(lanes, pixels + 4 * i);
    _mm512_mask_storeu_epi32(pixels + 4 * i, lanes, MapStep(value, table, colour, keep, rule, key, keyMask));
  }
  while (i != 0) {
    i -= 16;
    const __m512i value = _mm512_loadu_si512(pixels + 4 * i);
    _mm512_storeu_si512(pixels + 4 * i, MapStep(value, table, colour, keep, rule, key, keyMask));
  }
}

}  // namespace ormi
#else
namespace ormi {
void MapTable32Avx512(uint8_t* pixels, size_t count, const std::array<uint8_t, 256>& map, const Table32Rule& rule) {
  MapTable32Avx2(pixels, count, map, rule);
}
}  // namespace ormi
#endif
