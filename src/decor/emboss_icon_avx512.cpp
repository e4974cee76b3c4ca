// The inner stretch of an 8-bit icon row with AVX-512: the 256 dark flags sit in four registers;
// two two-register byte permutes look up the low and high halves and the top bit of each index
// picks between them. Sixty-four pixels a step, the last few through masked loads and stores.
#include "decor/emboss_icon_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

#define ORMI_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace {

struct DarkTable {
  __m512i low0, low1, high0, high1;  // flags of indices 0-63, 64-127, 128-191, 192-255
};

ORMI_AVX512 inline __m512i IsDark(__m512i index, const DarkTable& t) {
  const __m512i low = _mm512_permutex2var_epi8(t.low0, index, t.low1);
  const __m512i high = _mm512_permutex2var_epi8(t.high0, index, t.high1);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

}  // namespace

ORMI_AVX512 size_t EmbossIconSpanAvx512(uint8_t* here, const uint8_t* below, size_t count, const uint8_t* dark,
                                        uint8_t two) {
  const DarkTable table{_mm512_loadu_si512(dark), _mm512_loadu_si512(dark + 64), _mm512_loadu_si512(dark + 128),
                        _mm512_loadu_si512(dark + 192)};
  const __m512i twoV = _mm512_set1_epi8(static_cast<char>(two));
  const __m512i one = _mm512_set1_epi8(1);
  size_t i = 0;
  for (; i + 64 <= count; i += 64) {
    const __m512i a = IsDark(_mm512_loadu_si512(here + i), table);
    const __m512i b = IsDark(_mm512_loadu_si512(below + i), table);
    _mm512_storeu_si512(here + i, _mm512_max_epu8(_mm512_and_si512(a, twoV), _mm512_and_si512(b, one)));
  }
  if (i < count) {
    const __mmask64 tail = ~0ull >> (64 - (count - i));
    const __m512i a = IsDark(_mm512_maskz_loadu_epi8(tail, here + i), table);
    const __m512i b = IsDark(_mm512_maskz_loadu_epi8(tail, below + i), table);
    _mm512_mask_storeu_epi8(here + i, tail, _mm512_max_epu8(_mm512_and_si512(a, twoV), _mm512_and_si512(b, one)));
    i = count;
  }
  return i;
}

}  // namespace ormi
#else
namespace ormi {
size_t EmbossIconSpanAvx512(uint8_t*, const uint8_t*, size_t, const uint8_t*, uint8_t) { return 0; }
}  // namespace ormi
#endif
