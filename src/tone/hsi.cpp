// RGB <-> HSI in doubles.
//
//   to HSI:  l = (max + min) / 2; s = d / (max + min) for l <= 1/2, else d / (2 - max - min), with
//            d = max - min; the hue in sixths from the component that is largest (and the smallest).
//   to RGB:  m2 = l (1 + s) for l <= 1/2, else l + s - l s; m1 = 2 l - m2; the sixth k = trunc(6 h)
//            picks which component is m2, m1, rising or falling between them.
// Output bytes round half up: floor(255 v + 0.5).
#include "tone/hsi.h"

namespace ormi {
namespace {

inline uint8_t ToByte(double value) {
  const double scaled = std::floor(value * 255 + 0.5);
  // Only inputs outside 0..1 reach beyond the byte; they are held at its ends.
  return static_cast<uint8_t>(scaled >= 255 ? 255 : scaled > 0 ? scaled : 0);
}

}  // namespace

namespace {

// The components as fractions of 255 with their largest and smallest.
struct UnitRgb {
  double r, g, b, max, min;
};

inline UnitRgb UnitRgbOf(uint8_t red, uint8_t green, uint8_t blue) {
  const double r = kUnitOfByte[red], g = kUnitOfByte[green], b = kUnitOfByte[blue];
  const double max = r > g ? (r > b ? r : b) : (g > b ? g : b);
  const double min = r < g ? (r < b ? r : b) : (g < b ? g : b);
  return {r, g, b, max, min};
}

// The hue in turns, from the component that is largest (and the smallest); d = max - min > 0.
inline double HueOf(const UnitRgb& u, double d) {
  const double r = u.r, g = u.g, b = u.b, max = u.max, min = u.min;
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
  return sixths / 6;
}

}  // namespace

void RgbToHsi(uint8_t red, uint8_t green, uint8_t blue, double& hue, double& saturation, double& intensity) {
  const UnitRgb u = UnitRgbOf(red, green, blue);
  intensity = (u.max + u.min) / 2;
  if (!(intensity > 0)) return;
  const double d = u.max - u.min;
  saturation = d;
  if (!(d > 0)) return;
  saturation = intensity <= 0.5 ? d / (u.max + u.min) : d / (2 - u.max - u.min);
  hue = HueOf(u, d);
}

double HsiHue(uint8_t red, uint8_t green, uint8_t blue) {
  const UnitRgb u = UnitRgbOf(red, green, blue);
  if (!((u.max + u.min) / 2 > 0)) return 0;
  const double d = u.max - u.min;
  if (!(d > 0)) return 0;
  return HueOf(u, d);
}

HsiLevels HsiLevelsOf(double saturation, double intensity) {
  const double l = intensity, s = saturation;
  const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
  if (!(m2 > 0)) return {0, 0};
  return {2 * l - m2, m2};
}

void HsiLevelsToRgb(double hue, const HsiLevels& levels, uint8_t& red, uint8_t& green, uint8_t& blue) {
  const double m1 = levels.m1, m2 = levels.m2;
  if (!(m2 > 0)) {
    red = green = blue = 0;
    return;
  }
  // A hue outside 0..1 has no sixth; whole turns bring it back (and 1 to 0).
  const double h = hue >= 0 && hue < 1 ? hue : WrapHue(hue);
  const double h6 = 6 * h;
  const int k = static_cast<int>(h6);
  const double f = h6 - k;
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
  red = ToByte(r);
  green = ToByte(g);
  blue = ToByte(b);
}

void HsiToRgb(double hue, double saturation, double intensity, uint8_t& red, uint8_t& green, uint8_t& blue) {
  HsiLevelsToRgb(hue, HsiLevelsOf(saturation, intensity), red, green, blue);
}

}  // namespace ormi
