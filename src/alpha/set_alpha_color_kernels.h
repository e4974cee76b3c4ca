// The 32-bit row of set alpha colour: where the mask pixel's alpha is 0 the target's colour bytes
// become the colour and its fourth byte stays. Scalar without a branch per pixel, and SSE2.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"

namespace ormi {

// `color` in pixel form (blue in bits 0..7, red 16..23).
using PaintRow32Kernel = void (*)(const uint8_t* mask, uint8_t* target, size_t width, uint32_t color);

void PaintRow32Scalar(const uint8_t* mask, uint8_t* target, size_t width, uint32_t color);
void PaintRow32Sse2(const uint8_t* mask, uint8_t* target, size_t width, uint32_t color);

PaintRow32Kernel SelectPaintRow32(SimdLevel level);

}  // namespace ormi
