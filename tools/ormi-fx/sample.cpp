#include "sample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "host/bitmap_convert.h"

namespace ormi::fx {
namespace {

struct Colour {
  double r, g, b;
};

Colour Mix(Colour a, Colour b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// A repeatable pseudo-random value in [0, 1) for a pixel and a seed.
double Noise(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return ((h ^ (h >> 16)) & 0xFFFF) / 65536.0;
}

// "ORMI FX 2.5" style lettering: a 3x5 font, one row of three bits per line (bit 2 the left).
constexpr std::array<std::array<uint8_t, 5>, 8> kGlyphs{{
    {7, 5, 5, 5, 7},  // O
    {6, 5, 6, 5, 5},  // R
    {5, 7, 7, 5, 5},  // M
    {7, 2, 2, 2, 7},  // I
    {7, 4, 6, 4, 4},  // F
    {5, 5, 2, 5, 5},  // X
    {0, 0, 0, 0, 0},  // space
    {6, 1, 2, 4, 7},  // 2
}};
constexpr std::array<int, 10> kSignText{0, 1, 2, 3, 6, 4, 5, 6, 7, 7};

bool SignInk(int x, int y) {
  const int glyph = x / 4, column = x % 4;
  if (y < 0 || y >= 5 || glyph < 0 || glyph >= static_cast<int>(kSignText.size()) || column == 3) return false;
  return (kGlyphs[static_cast<size_t>(kSignText[static_cast<size_t>(glyph)])][static_cast<size_t>(y)] >> (2 - column)) &
         1;
}

// x from the left, y from the top; returns the colour and sets alpha.
Colour SamplePixel(int x, int y, int width, int height, int& alpha) {
  const double fx = static_cast<double>(x) / width, fy = static_cast<double>(y) / height;
  // Sky: deep blue at the top to a warm haze at the horizon, with a little sensor noise.
  Colour c = Mix({40, 70, 160}, {250, 200, 150}, fy / 0.6);
  const double sunD = std::hypot(fx - 0.7, (fy - 0.25) * height / width);
  c = Mix(c, {255, 240, 180}, 0.6 * std::exp(-sunD * 9));
  if (sunD < 0.06) c = {255, 236, 120};
  const double far = 0.5 + 0.06 * std::sin(fx * 7 + 1) + 0.03 * std::sin(fx * 19);
  if (fy > far) c = Mix({110, 120, 160}, {80, 100, 120}, (fy - far) * 4);
  const double near = 0.68 + 0.05 * std::sin(fx * 5) + 0.02 * std::sin(fx * 31);
  if (fy > near) {
    // Grass: fine texture and blades of lighter green.
    const double blade = Noise(x, y / 3, 7) > 0.8 ? 40 : 0;
    c = Mix({70, 140, 50}, {30, 90, 30}, (fy - near) * 3);
    c.g += blade + 50 * (Noise(x, y, 3) - 0.5);
    c.r += 30 * (Noise(x, y, 4) - 0.5);
  }
  // A house with hard edges: wall, roof, windows.
  const int hx = width * 12 / 100, hy = height * 55 / 100, hw = width * 22 / 100, hh = height * 22 / 100;
  if (x >= hx && x < hx + hw && y >= hy && y < hy + hh) {
    c = {225, 215, 190};
    const int wx = (x - hx) % (hw / 4), wy = (y - hy) % (hh / 3);
    if (wx > hw / 16 && wx < hw / 5 && wy > hh / 12 && wy < hh / 4) c = {60, 90, 140};
  }
  const int roofH = height * 10 / 100;
  if (y >= hy - roofH && y < hy && std::abs(x - (hx + hw / 2)) < (y - (hy - roofH)) * hw / (2 * roofH) + 4) {
    c = {170, 50, 40};
  }
  // A sign of small lettering, one pixel per dot.
  const int sx = width * 58 / 100, sy = height * 78 / 100;
  if (x >= sx && x < sx + 44 && y >= sy && y < sy + 11) {
    c = SignInk(x - sx - 3, y - sy - 3) ? Colour{20, 20, 20} : Colour{245, 245, 240};
    if (x == sx || x == sx + 43 || y == sy || y == sy + 10) c = {90, 60, 30};
  }
  // Sensor noise everywhere, and a few speckles for the despeckle filter.
  const double n = 12 * (Noise(x, y, 1) - 0.5);
  c = {c.r + n, c.g + n, c.b + n};
  const double speckle = Noise(x, y, 9);
  if (speckle > 0.9985) c = {255, 255, 255};
  if (speckle < 0.0015) c = {0, 0, 0};
  // A transparent top-left corner with a soft edge.
  const double corner = std::hypot(x, y) - width * 0.18;
  alpha = static_cast<int>(std::clamp(corner * 255 / 16, 0.0, 255.0));
  return c;
}

uint8_t Byte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

HGLOBAL MakeSampleBitmap(int width, int height) {
  host::NewBitmap b = host::AllocateBitmap(width, height, 32, 0);
  if (!b.data) return nullptr;
  for (int r = 0; r < height; ++r) {
    for (int x = 0; x < width; ++x) {
      int alpha = 255;
      const Colour c = SamplePixel(x, height - 1 - r, width, height, alpha);  // rows are stored bottom-up
      const uint8_t pixel[4] = {Byte(c.b), Byte(c.g), Byte(c.r), static_cast<uint8_t>(alpha)};
      std::memcpy(b.row(static_cast<size_t>(r)) + 4 * static_cast<size_t>(x), pixel, 4);
    }
  }
  return b.Unlock();
}

}  // namespace ormi::fx
