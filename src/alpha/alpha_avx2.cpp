// The alpha writes with AVX2: eight pixels a step, the last few by the SSE2 forms.
#include "alpha/alpha_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

__attribute__((target("avx2"))) void ApplyAlphaRuleAvx2(uint8_t* pixels, size_t count, const AlphaRule& rule) {
  const __m256i colour = _mm256_set1_epi32(0x00FFFFFF), alphaBits = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i key = _mm256_set1_epi32(static_cast<int>(rule.key));
  const __m256i matched = _mm256_set1_epi32(static_cast<int>(uint32_t{rule.matched} << 24));
  const __m256i others = _mm256_set1_epi32(static_cast<int>(uint32_t{rule.others} << 24));
  const __m256i fade = _mm256_set1_epi32(static_cast<int>(uint32_t{rule.fade} << 24));
  size_t i = 0;
  for (; i + 8 <= count; i += 8, pixels += 32) {
    const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels));
    const __m256i colours = _mm256_and_si256(value, colour);
    __m256i alpha = rule.keepOthers ? _mm256_and_si256(_mm256_subs_epu8(value, fade), alphaBits) : others;
    if (rule.compareKey) alpha = _mm256_blendv_epi8(alpha, matched, _mm256_cmpeq_epi32(colours, key));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), _mm256_or_si256(colours, alpha));
  }
  ApplyAlphaRuleSse2(pixels, count - i, rule);
}

__attribute__((target("avx2"))) void CopyAlphaAvx2(uint8_t* destination, const uint8_t* source, size_t count) {
  const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
  size_t i = 0;
  for (; i + 8 <= count; i += 8, destination += 32, source += 32) {
    const __m256i to = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(destination));
    const __m256i from = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination), _mm256_blendv_epi8(from, to, colour));
  }
  CopyAlphaSse2(destination, source, count - i);
}

}  // namespace ormi
#else
namespace ormi {
void ApplyAlphaRuleAvx2(uint8_t* pixels, size_t count, const AlphaRule& rule) {
  ApplyAlphaRuleSse2(pixels, count, rule);
}
void CopyAlphaAvx2(uint8_t* destination, const uint8_t* source, size_t count) {
  CopyAlphaSse2(destination, source, count);
}
}  // namespace ormi
#endif
