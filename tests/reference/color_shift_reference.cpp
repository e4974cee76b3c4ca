// The plain colour shifts kept as the references of the optimised ones: the RGB shift by three tables
// and the HSI shift converting every pixel both ways, each over the shared pixel walk.
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

namespace ormi::reference {
namespace {

double PlainClamp(double value) { return value > 1 ? 1 : value >= 0 ? value : 0; }

}  // namespace

void PlainShiftPixelHsi(double hueShift, double saturationShift, double intensityShift, uint8_t& red, uint8_t& green,
                        uint8_t& blue) {
  double hue = 0, saturation = 0, intensity = 0;
  PlainRgbToHsi(red, green, blue, hue, saturation, intensity);
  intensity = PlainClamp(intensity + intensityShift);
  saturation = PlainClamp(saturation + saturationShift);
  hue = hue + hueShift;
  if (hue > 1) {
    hue -= 1;
  } else if (hue < 0) {
    hue += 1;
  }
  PlainHsiToRgb(hue, saturation, intensity, red, green, blue);
}

int AdjustColorHSIPixels(DibBlock bitmap, double hueShift, double saturationShift, double intensityShift,
                         const std::optional<uint32_t>& transparency) {
  std::optional<DibView> view = ViewDib(bitmap);
  if (!view || view->bitCount != 32) return 0;
  WalkPixels32(view->bits(), PixelRun32(*view, TopDownRows::None), transparency, [&](uint32_t value) {
    uint8_t red = RedOf(value), green = GreenOf(value), blue = BlueOf(value);
    PlainShiftPixelHsi(hueShift, saturationShift, intensityShift, red, green, blue);
    return PackRgb(red, green, blue);
  });
  return 1;
}

}  // namespace ormi::reference
