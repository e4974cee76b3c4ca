// Adjustable contrast.
//
//   c(l) = (sin(pi (l - 1/2)) + 1) / 2, which fixes 0, 1/2 and 1;
//   l'   = l + direction (c(l) - l) / 2, held in 0..1; hue and saturation unchanged.
// The intensity is that of the HSI conversions; the walk is the shared 32-bit one (no rows when
// they are stored top-down).
#include "tone/adj_contrast.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <optional>

#include "image/global_memory.h"
#include "tone/hsi.h"
#include "tone/pixel_walk.h"

namespace ormi {
namespace {

constexpr double kPi = 3.141592653589793;

// The moved intensity of the curve, held in 0..1.
double MovedIntensity(int direction, double intensity) {
  const double curve = (std::sin(kPi * (intensity - 0.5)) + 1) / 2;
  double moved = intensity + direction * (curve - intensity) / 2;
  if (moved > 1) moved = 1;
  if (moved < 0) moved = 0;
  return moved;
}

// Saturation and moved intensity depend only on the largest and smallest component, so a large
// image takes them from a table of the 32896 pairs, built once per call; the sine then leaves the
// pixel loop and only the hue is computed per pixel.
struct CurveEntry {
  double saturation, moved;
};
constexpr size_t kPairs = 256 * 257 / 2;
inline size_t PairIndex(uint32_t largest, uint32_t smallest) { return largest * (largest + 1) / 2 + smallest; }

std::unique_ptr<CurveEntry[]> CurveTable(int direction) {
  std::unique_ptr<CurveEntry[]> table(new (std::nothrow) CurveEntry[kPairs]);
  if (!table) return table;
  for (uint32_t largest = 0; largest < 256; ++largest) {
    for (uint32_t smallest = 0; smallest <= largest; ++smallest) {
      double hue = 0, saturation = 0, intensity = 0;
      RgbToHsi(static_cast<uint8_t>(largest), static_cast<uint8_t>(smallest), static_cast<uint8_t>(smallest), hue,
               saturation, intensity);
      table[PairIndex(largest, smallest)] = {saturation, MovedIntensity(direction, intensity)};
    }
  }
  return table;
}

}  // namespace

void AdjContrastIntensity(int direction, uint8_t& red, uint8_t& green, uint8_t& blue) {
  double hue = 0, saturation = 0, intensity = 0;
  RgbToHsi(red, green, blue, hue, saturation, intensity);
  HsiToRgb(hue, saturation, MovedIntensity(direction, intensity), red, green, blue);
}

int ImgAdjContrastPixels(DibBlock bitmap, int mode, const TransparencyArg& transparency) {
  const std::optional<DibView> view = ViewDib(bitmap);
  if (!view || view->bitCount != 32) return 0;
  const int direction = mode != 0 ? 1 : -1;
  const size_t count = PixelRun32(*view, TopDownRows::None);
  // The table pays for itself only on images with more pixels than it has entries.
  const std::unique_ptr<CurveEntry[]> table = count > 2 * kPairs ? CurveTable(direction) : nullptr;
  if (table) {
    WalkPixels32(view->bits(), count, transparency, [&table](uint32_t value) {
      uint8_t red = RedOf(value), green = GreenOf(value), blue = BlueOf(value);
      const uint32_t largest = std::max({red, green, blue}), smallest = std::min({red, green, blue});
      const CurveEntry& entry = table[PairIndex(largest, smallest)];
      HsiToRgb(HsiHue(red, green, blue), entry.saturation, entry.moved, red, green, blue);
      return PackRgb(red, green, blue);
    });
    return 1;
  }
  WalkPixels32(view->bits(), count, transparency, [direction](uint32_t value) {
    uint8_t red = RedOf(value), green = GreenOf(value), blue = BlueOf(value);
    AdjContrastIntensity(direction, red, green, blue);
    return PackRgb(red, green, blue);
  });
  return 1;
}

int ImgAdjContrastDib(HGLOBAL bitmap, int mode, const TransparencyArg& transparency) {
  GlobalLockGuard lock(bitmap);
  if (!lock) return 0;
  return ImgAdjContrastPixels(lock.block(), mode, transparency) != 0 ? 1 : 0;
}

}  // namespace ormi
