// Vector forms of the per-pixel alpha writes, whole 32-bit pixels at a time with the colour bytes
// carried over; the scalar loops in the callers are the plain forms and run at the scalar level.
//
//   AlphaRule: alpha = matched where (pixel & 0xFFFFFF) == key (when compareKey), elsewhere the
//   old alpha less `fade` (saturating at 0) when keepOthers, or `others`.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"

namespace ormi {

struct AlphaRule {
  bool compareKey;
  uint32_t key;  // pixel form, colour bits only
  uint8_t matched;
  bool keepOthers;
  uint8_t fade;    // keepOthers only
  uint8_t others;  // !keepOthers only
};

using AlphaRuleKernel = void (*)(uint8_t* pixels, size_t count, const AlphaRule& rule);
// The destination's colour bytes with the source's alpha byte.
using CopyAlphaKernel = void (*)(uint8_t* destination, const uint8_t* source, size_t count);

void ApplyAlphaRuleSse2(uint8_t* pixels, size_t count, const AlphaRule& rule);
void ApplyAlphaRuleAvx2(uint8_t* pixels, size_t count, const AlphaRule& rule);
void CopyAlphaSse2(uint8_t* destination, const uint8_t* source, size_t count);
void CopyAlphaAvx2(uint8_t* destination, const uint8_t* source, size_t count);

// The scalar step, for the vector forms' last pixels.
inline uint32_t AlphaRulePixel(uint32_t pixel, const AlphaRule& rule) {
  uint32_t alpha;
  if (rule.compareKey && (pixel & 0x00FFFFFFu) == rule.key) {
    alpha = rule.matched;
  } else if (rule.keepOthers) {
    const uint32_t old = pixel >> 24;
    alpha = old > rule.fade ? old - rule.fade : 0;
  } else {
    alpha = rule.others;
  }
  return (pixel & 0x00FFFFFFu) | alpha << 24;
}

// None at the scalar level.
AlphaRuleKernel SelectAlphaRule(SimdLevel level);
CopyAlphaKernel SelectCopyAlpha(SimdLevel level);

}  // namespace ormi
