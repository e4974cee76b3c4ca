// The plain RGB shift kept as the reference of the saturating vector pass: three tables and the
// shared pixel walk.
#include <optional>

#include "reference/reference.h"
#include "tone/pixel_walk.h"

namespace ormi::reference {
namespace {

ComponentTable ShiftTable(int16_t shift) {
  ComponentTable table;
  for (int c = 0; c < 256; ++c) {
    const int value = c + shift;
    table[static_cast<size_t>(c)] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
  }
  return table;
}

}  // namespace

int AdjustColorRGBPixels(DibBlock bitmap, int16_t redShift, int16_t greenShift, int16_t blueShift,
                         const std::optional<uint32_t>& transparency) {
  std::optional<DibView> view = ViewDib(bitmap);
  if (!view || view->bitCount != 32) return 0;
  const ComponentTable red = ShiftTable(redShift), green = ShiftTable(greenShift), blue = ShiftTable(blueShift);
  WalkPixels32(view->bits(), PixelRun32(*view, TopDownRows::None), transparency,
               [&](uint32_t value) { return PackRgb(red[RedOf(value)], green[GreenOf(value)], blue[BlueOf(value)]); });
  return 1;
}

}  // namespace ormi::reference
