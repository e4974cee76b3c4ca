// The 32-bit RGB shift as saturating byte arithmetic: c' = clamp(c + shift, 0, 255) is c plus the
// shift's positive part, saturated at 255, minus its negative part, saturated at 0, which is the
// shift table exactly. Under a colour key, pixels equal to it stay and changed pixels get alpha 0;
// without one every pixel keeps its alpha.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"

namespace ormi {

struct RgbShift {
  uint32_t add;  // per byte: blue, green, red parts 0..255 to add; alpha 0
  uint32_t sub;  // the parts to subtract
  bool keyed;
  uint32_t key;
};

RgbShift MakeRgbShift(int redShift, int greenShift, int blueShift, bool keyed, uint32_t key);

using RgbShiftKernel = void (*)(uint8_t* pixels, size_t count, const RgbShift& shift);

void RgbShiftSse2(uint8_t* pixels, size_t count, const RgbShift& shift);
void RgbShiftAvx2(uint8_t* pixels, size_t count, const RgbShift& shift);

// Vector kernels for SSE2 and AVX2; none for scalar, which keeps the table walk.
RgbShiftKernel SelectRgbShift(SimdLevel level);

// One pixel, for the vector kernels' tails.
void RgbShiftTail(uint8_t* pixels, size_t count, const RgbShift& shift);

}  // namespace ormi
