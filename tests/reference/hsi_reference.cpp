// The plain RGB to HSI conversion kept as the reference of the optimised one: three divisions
// by 255 a pixel.
#include <cstdint>

#include "reference/reference.h"

namespace ormi::reference {

void PlainRgbToHsi(uint8_t red, uint8_t green, uint8_t blue, double& hue, double& saturation, double& intensity) {
  const double r = red / 255.0, g = green / 255.0, b = blue / 255.0;
  const double max = r > g ? (r > b ? r : b) : (g > b ? g : b);
  const double min = r < g ? (r < b ? r : b) : (g < b ? g : b);
  intensity = (max + min) / 2;
  if (!(intensity > 0)) return;
  const double d = max - min;
  saturation = d;
  if (!(d > 0)) return;
  saturation = intensity <= 0.5 ? d / (max + min) : d / (2 - max - min);
  double sixths;
  if (r == max && g == min) {
    sixths = 5 + (max - b) / d;
  } else if (r == max) {
    sixths = 1 - (max - g) / d;
  } else if (g == max && b == min) {
    sixths = 1 + (max - r) / d;
  } else if (g == max) {
    sixths = 3 - (max - b) / d;
  } else if (r == min) {
    sixths = 3 + (max - g) / d;
  } else {
    sixths = 5 - (max - r) / d;
  }
  hue = sixths / 6;
}

}  // namespace ormi::reference
