// The tabulated HSI pass, one pixel at a time: hue from the components, levels from the pair
// table, bytes by HsiLevelsToRgb.
#include "tone/hsi_kernels.h"

#include "image/dib.h"

namespace ormi {
namespace {

inline uint32_t PassPixel(uint32_t value, const HsiPass& pass) {
  uint8_t red = static_cast<uint8_t>(value >> 16), green = static_cast<uint8_t>(value >> 8),
          blue = static_cast<uint8_t>(value);
  const uint32_t largest = red > green ? (red > blue ? red : blue) : (green > blue ? green : blue);
  const uint32_t smallest = red < green ? (red < blue ? red : blue) : (green < blue ? green : blue);
  const double* levels = pass.levels + 2 * size_t{HsiPairIndex(largest, smallest)};
  HsiLevelsToRgb(ShiftedHue(HsiHue(red, green, blue), pass.hueShift), HsiLevels{levels[0], levels[1]}, red, green,
                 blue);
  return uint32_t{red} << 16 | uint32_t{green} << 8 | blue;
}

}  // namespace

void HsiPassScalar(uint8_t* pixels, size_t count, const HsiPass& pass) {
  for (size_t i = 0; i < count; ++i, pixels += 4) {
    const uint32_t value = LoadPixel<uint32_t>(pixels);
    if (pass.keyed) {
      if (value != pass.key) StorePixel<uint32_t>(pixels, PassPixel(value, pass));
    } else {
      StorePixel<uint32_t>(pixels, PassPixel(value, pass) | (value & 0xFF000000u));
    }
  }
}

HsiPassKernel SelectHsiPass(SimdLevel level) { return level == SimdLevel::Avx2 ? HsiPassAvx2 : HsiPassScalar; }

}  // namespace ormi
