// The plain RGB to HSI conversions kept as the reference of the optimised ones: three divisions
// by 255 a pixel one way, the sixths by a switch the other.
#include <cmath>
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

namespace ormi::reference {
namespace {

uint8_t PlainByte(double value) {
  const double scaled = std::floor(value * 255 + 0.5);
  return static_cast<uint8_t>(scaled >= 255 ? 255 : scaled > 0 ? scaled : 0);
}

}  // namespace

void PlainHsiToRgb(double hue, double saturation, double intensity, uint8_t& red, uint8_t& green, uint8_t& blue) {
  const double l = intensity, s = saturation;
  const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
  if (!(m2 > 0)) {
    red = green = blue = 0;
    return;
  }
  double h = hue;
  if (!(h >= 0 && h < 1)) {
    h = h - std::floor(h);
    if (!(h >= 0 && h < 1)) h = 0;
  }
  const double h6 = 6 * h;
  const int k = static_cast<int>(h6);
  const double f = h6 - k;
  const double m1 = 2 * l - m2;
  const double rising = m1 + (m2 - m1) * f;
  const double falling = m2 - (m2 - m1) * f;
  double r, g, b;
  switch (k) {
    case 0: r = m2, g = rising, b = m1; break;
    case 1: r = falling, g = m2, b = m1; break;
    case 2: r = m1, g = m2, b = rising; break;
    case 3: r = m1, g = falling, b = m2; break;
    case 4: r = rising, g = m1, b = m2; break;
    default: r = m2, g = m1, b = falling; break;
  }
  red = PlainByte(r);
  green = PlainByte(g);
  blue = PlainByte(b);
}

}  // namespace ormi::reference
