// Adjustable contrast.
//
//   c(l) = (sin(pi (l - 1/2)) + 1) / 2, which fixes 0, 1/2 and 1;
//   l'   = l + direction (c(l) - l) / 2, held in 0..1; hue and saturation unchanged.
// The intensity is that of the HSI conversions; the walk is the shared 32-bit one (no rows when
// they are stored top-down). Large images take the moved levels from a table of component pairs
// (tone/hsi_kernels.h), so the sine leaves the pixel loop.
#include "tone/adj_contrast.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "image/global_memory.h"
#include "tone/hsi.h"
#include "tone/hsi_kernels.h"
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

// The table of component pairs has few distinct intensities (the mean of two units), and the
// sine is the dearest step of filling it (more so in the 32-bit DLL's runtime): each is moved
// once, remembered by its exact bits in a direct-mapped set; a slot taken by another value is
// simply computed again.
struct MovedIntensities {
  static constexpr int kBits = 11;
  uint64_t input[1 << kBits];
  double output[1 << kBits];
  bool filled[1 << kBits] = {};

  double Of(int direction, double intensity) {
    uint64_t bits;
    std::memcpy(&bits, &intensity, sizeof bits);
    const auto slot = static_cast<uint32_t>((bits * 0x9E3779B97F4A7C15ull) >> (64 - kBits));
    if (filled[slot] && input[slot] == bits) return output[slot];
    const double moved = MovedIntensity(direction, intensity);
    filled[slot] = true;
    input[slot] = bits;
    output[slot] = moved;
    return moved;
  }
};

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
  // Hue and saturation stay; only the intensity moves.
  MovedIntensities moved;
  if (count > kHsiTableWorthPixels &&
      RunTabulatedHsiPass(view->bits(), count, 0, transparency, [direction, &moved](double&, double& intensity) {
        intensity = moved.Of(direction, intensity);
      })) {
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
