// The pass that brightness, contrast and gamma share: one map of component values sent over the
// colour table of a palette image or over the pixels of a 16-, 24- or 32-bit image, the transparent
// colour left alone.
#pragma once

#include <cstdint>

#include "image/dib.h"
#include "image/transparency.h"
#include "tone/pixel_walk.h"

namespace ormi {

// A 16-bit field widened to 8 bits by repeating its top bits into the low ones.
constexpr uint8_t Widen5(uint32_t field) { return static_cast<uint8_t>(((field * 8) & 255) | ((field >> 2) & 7)); }
constexpr uint8_t Widen6(uint32_t field) { return static_cast<uint8_t>(((field * 4) & 255) | ((field >> 4) & 3)); }

// A 16-bit pixel's fields as they stand, and widened to 8 bits each.
struct Rgb16Fields {
  uint32_t red, green, blue;
};
inline Rgb16Fields SplitRgb16(uint16_t pixel, const Rgb16Layout& layout) {
  return {(pixel & layout.redMask) >> layout.redShift, (pixel & layout.greenMask) >> layout.greenShift,
          (pixel & layout.blueMask) >> layout.blueShift};
}
inline uint32_t WidenRgb16(const Rgb16Fields& fields, const Rgb16Layout& layout) {
  const uint8_t green = layout.sixBitGreen() ? Widen6(fields.green) : Widen5(fields.green);
  return PackRgb(Widen5(fields.red), green, Widen5(fields.blue));
}

// Colour-table path: the red, green and blue bytes of every entry but those equal to the
// transparent colour (reserved byte not compared) go through the map; the reserved byte stays.
void MapColorTable(const DibView& view, const ComponentTable& map, const TransparencyArg& transparency);

// Pixel path at 16, 24 and 32 bits over the |biHeight| rows that the view vouches for. A pixel in the
// transparent colour stays (at 32 bits only when bit 31 of the colour is clear); the fourth byte of
// a 32-bit pixel and the row padding never change. Other depths are left alone.
void MapPixels(const DibView& view, const ComponentTable& map, const TransparencyArg& transparency);

}  // namespace ormi
