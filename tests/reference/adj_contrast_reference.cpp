// The plain adjustable contrast kept as the reference of the tabulated one: the conversions and
// the sine for every pixel.
#include <cmath>
#include <optional>

#include "reference/reference.h"
#include "tone/pixel_walk.h"

namespace ormi::reference {
namespace {

constexpr double kPi = 3.141592653589793;

}  // namespace

void PlainIntensity(int direction, uint8_t& red, uint8_t& green, uint8_t& blue) {
  double hue = 0, saturation = 0, intensity = 0;
  PlainRgbToHsi(red, green, blue, hue, saturation, intensity);
  const double curve = (std::sin(kPi * (intensity - 0.5)) + 1) / 2;
  double moved = intensity + direction * (curve - intensity) / 2;
  if (moved > 1) moved = 1;
  if (moved < 0) moved = 0;
  PlainHsiToRgb(hue, saturation, moved, red, green, blue);
}

int AdjContrastPixels(DibBlock bitmap, int mode, const std::optional<uint32_t>& transparency) {
  const std::optional<DibView> view = ViewDib(bitmap);
  if (!view || view->bitCount != 32) return 0;
  const int direction = mode != 0 ? 1 : -1;
  WalkPixels32(view->bits(), PixelRun32(*view, TopDownRows::None), transparency, [direction](uint32_t value) {
    uint8_t red = RedOf(value), green = GreenOf(value), blue = BlueOf(value);
    PlainIntensity(direction, red, green, blue);
    return PackRgb(red, green, blue);
  });
  return 1;
}

}  // namespace ormi::reference
