#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <ormi/win32.h>

namespace ormi {

// A linear ramp in 8.8 fixed point per channel, in the order red, green, blue: the value at the
// top-left pixel, and what one step right or one row down adds.
struct GradientSteps {
  std::array<int32_t, 3> start{}, stepX{}, stepY{};
};

// The ramp from `from` to `to` (COLORREFs) across a width x height rectangle at `degrees`
// (0: top to bottom, 90: left to right), centred so that the middle has the mean colour. A
// rectangle without extent along the ramp takes the first colour throughout.
GradientSteps GradientRamp(int64_t width, int64_t height, uint32_t from, uint32_t to, int degrees);

// A text gradient's row with AVX2, eight pixels a step while eight remain: opaque ramp pixels, all
// four bytes 0 where the mask bit is 1. `pen` holds the red, green and blue accumulators at pixel 0
// and is left at the first pixel not filled, which is returned (a multiple of 8).
size_t GradientTextPixelsAvx2(uint8_t* out, const uint8_t* mask, size_t width, std::array<uint32_t, 3>& pen,
                              const std::array<int32_t, 3>& stepX);

// Paints the ramp over the rectangle of `dc` through a 24-bit bitmap from the heap. 0 when the
// rectangle is missing or inverted or the bitmap cannot be allocated; 1 otherwise.
int PaintGradient(HDC dc, const RECT* rect, uint32_t from, uint32_t to, int degrees);

// A new moveable 32-bit bitmap of the rectangle's size: the ramp, opaque, where the 1-bit mask
// is 0, and all four bytes 0 where it is 1. Null for a missing, unlockable, non-1-bit or too
// small mask, a missing, inverted or oversized rectangle, or no memory.
HGLOBAL GradientForText(const RECT* rect, uint32_t from, uint32_t to, int degrees, HGLOBAL mask);

}  // namespace ormi
