// The stretch with SSE2, four pixels a step, and the choice of the stretch kernel.
#include "tone/stretch_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {

Stretch StretchOf(int lo, int hi) {
  const uint32_t span = static_cast<uint32_t>(hi - lo);
  const uint32_t rest = 254 % span;
  return {static_cast<uint8_t>(lo), static_cast<uint8_t>(span), static_cast<uint16_t>(254 / span),
          static_cast<uint16_t>(((rest << 16) + span - 1) / span)};
}

#if defined(__SSE2__)
size_t StretchSse2(uint8_t* pixels, size_t count, const Stretch& stretch, const Table32Rule& rule) {
  const __m128i lo = _mm_set1_epi8(static_cast<char>(stretch.lo)),
                span = _mm_set1_epi8(static_cast<char>(stretch.span));
  const __m128i whole = _mm_set1_epi16(static_cast<int16_t>(stretch.whole));
  const __m128i fraction = _mm_set1_epi16(static_cast<int16_t>(stretch.fraction));
  const __m128i keep = _mm_set1_epi32(static_cast<int>(rule.alphaKeep)), colour = _mm_set1_epi32(0x00FFFFFF);
  const __m128i key = _mm_set1_epi32(static_cast<int>(rule.key)),
                keyMask = _mm_set1_epi32(static_cast<int>(rule.keyMask));
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 4 <= count; i += 4, pixels += 16) {
    const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i d = _mm_min_epu8(_mm_subs_epu8(value, lo), span);
    const __m128i dLo = _mm_unpacklo_epi8(d, zero), dHi = _mm_unpackhi_epi8(d, zero);
    const __m128i mapped = _mm_packus_epi16(_mm_add_epi16(_mm_mullo_epi16(dLo, whole), _mm_mulhi_epu16(dLo, fraction)),
                                            _mm_add_epi16(_mm_mullo_epi16(dHi, whole), _mm_mulhi_epu16(dHi, fraction)));
    __m128i result = _mm_or_si128(_mm_and_si128(mapped, colour), _mm_and_si128(value, keep));
    if (rule.keyed) {
      const __m128i stays = _mm_cmpeq_epi32(_mm_and_si128(value, keyMask), key);
      result = _mm_or_si128(_mm_and_si128(stays, value), _mm_andnot_si128(stays, result));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), result);
  }
  return i;
}
#else
size_t StretchSse2(uint8_t*, size_t, const Stretch&, const Table32Rule&) { return 0; }
#endif

StretchKernel SelectStretch(SimdLevel level) {
  switch (level) {
    case SimdLevel::Scalar: return nullptr;
    case SimdLevel::Sse2: return StretchSse2;
    // With AVX-512 the table's byte permutes take fewer steps than the arithmetic.
    case SimdLevel::Avx512: return nullptr;
    case SimdLevel::Avx2: return StretchAvx2;
  }
  return nullptr;
}

}  // namespace ormi
