#include "alpha/alpha_kernels.h"

#include "image/dib.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {

#if defined(__SSE2__)
void ApplyAlphaRuleSse2(uint8_t* pixels, size_t count, const AlphaRule& rule) {
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF), alphaBits = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i key = _mm_set1_epi32(static_cast<int>(rule.key));
  const __m128i matched = _mm_set1_epi32(static_cast<int>(uint32_t{rule.matched} << 24));
  const __m128i others = _mm_set1_epi32(static_cast<int>(uint32_t{rule.others} << 24));
  const __m128i fade = _mm_set1_epi32(static_cast<int>(uint32_t{rule.fade} << 24));
  size_t i = 0;
  for (; i + 4 <= count; i += 4, pixels += 16) {
    const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i colours = _mm_and_si128(value, colour);
    // The old alpha less the fade, saturating: colour bytes of the fade are 0, so they stay.
    __m128i alpha = rule.keepOthers ? _mm_and_si128(_mm_subs_epu8(value, fade), alphaBits) : others;
    if (rule.compareKey) {
      const __m128i match = _mm_cmpeq_epi32(colours, key);
      alpha = _mm_or_si128(_mm_and_si128(match, matched), _mm_andnot_si128(match, alpha));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), _mm_or_si128(colours, alpha));
  }
  for (; i < count; ++i, pixels += 4) StorePixel<uint32_t>(pixels, AlphaRulePixel(LoadPixel<uint32_t>(pixels), rule));
}

void CopyAlphaSse2(uint8_t* destination, const uint8_t* source, size_t count) {
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  size_t i = 0;
  for (; i + 4 <= count; i += 4, destination += 16, source += 16) {
    const __m128i to = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination));
    const __m128i from = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination),
                     _mm_or_si128(_mm_and_si128(to, colour), _mm_andnot_si128(colour, from)));
  }
  for (; i < count; ++i, destination += 4, source += 4) destination[3] = source[3];
}
#else
void ApplyAlphaRuleSse2(uint8_t* pixels, size_t count, const AlphaRule& rule) {
  for (size_t i = 0; i < count; ++i, pixels += 4)
    StorePixel<uint32_t>(pixels, AlphaRulePixel(LoadPixel<uint32_t>(pixels), rule));
}
void CopyAlphaSse2(uint8_t* destination, const uint8_t* source, size_t count) {
  for (size_t i = 0; i < count; ++i, destination += 4, source += 4) destination[3] = source[3];
}
#endif

AlphaRuleKernel SelectAlphaRule(SimdLevel level) {
  if (HasAvx2(level)) return ApplyAlphaRuleAvx2;
  return level == SimdLevel::Sse2 ? ApplyAlphaRuleSse2 : nullptr;
}

CopyAlphaKernel SelectCopyAlpha(SimdLevel level) {
  if (HasAvx2(level)) return CopyAlphaAvx2;
  return level == SimdLevel::Sse2 ? CopyAlphaSse2 : nullptr;
}

}  // namespace ormi
