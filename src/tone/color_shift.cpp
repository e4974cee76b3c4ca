// RGB and HSI colour shifts of 32-bit images.
//
//   RGB: c' = clamp(c + shift, 0, 255) per channel, tabulated once per call;
//   HSI: (h, s, l) = RgbToHsi(pixel); l' = clamp(l + dl), s' = clamp(s + ds) in 0..1;
//        h' = h + dh, wrapped once by 1 and then fully into 0..1; pixel = HsiToRgb(h', s', l').
//        Large images take s' and l' from a table of component pairs (tone/hsi_kernels.h).
// Both walk biHeight rows of biWidth pixels (none when the rows are stored top-down) with the
// shared colour-key rule.
#include "tone/color_shift.h"

#include <optional>

#include "image/global_memory.h"
#include "tone/hsi.h"
#include "tone/hsi_kernels.h"
#include "tone/pixel_walk.h"
#include "tone/rgb_shift_kernels.h"

namespace ormi {
namespace {

ComponentTable ShiftTable(int16_t shift) {
  ComponentTable table;
  for (int c = 0; c < 256; ++c) {
    const int value = c + shift;
    table[static_cast<size_t>(c)] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
  }
  return table;
}

// The 32-bit pixel run of a locked bitmap, or nothing when it cannot be walked.
std::optional<DibView> View32(DibBlock bitmap) {
  std::optional<DibView> view = ViewDib(bitmap);
  if (!view || view->bitCount != 32) return std::nullopt;
  return view;
}

bool Is32Bit(const GlobalLockGuard& lock) {
  return lock.size() >= kInfoHeaderBytes && ReadInfoHeader(lock.data()).biBitCount == 32;
}

}  // namespace

void ShiftPixelHsi(double hueShift, double saturationShift, double intensityShift, uint8_t& red, uint8_t& green,
                   uint8_t& blue) {
  double hue = 0, saturation = 0, intensity = 0;
  RgbToHsi(red, green, blue, hue, saturation, intensity);
  intensity = ClampUnit(intensity + intensityShift);
  saturation = ClampUnit(saturation + saturationShift);
  HsiToRgb(ShiftedHue(hue, hueShift), saturation, intensity, red, green, blue);
}

int ImgAdjustColorRGBPixels(DibBlock bitmap, int16_t redShift, int16_t greenShift, int16_t blueShift,
                            const TransparencyArg& transparency) {
  const std::optional<DibView> view = View32(bitmap);
  if (!view) return 0;
  const size_t count = PixelRun32(*view, TopDownRows::None);
  // Saturating byte arithmetic gives the shift tables' values without a lookup per component.
  if (const RgbShiftKernel kernel = SelectRgbShift(ActiveSimdLevel())) {
    const PixelSelection selection = SelectPixels(transparency, /*offersAlphaKey=*/false);
    kernel(view->bits(), count,
           MakeRgbShift(redShift, greenShift, blueShift, selection.mode == Selection::ColorKey, selection.key));
    return 1;
  }
  const ComponentTable red = ShiftTable(redShift), green = ShiftTable(greenShift), blue = ShiftTable(blueShift);
  WalkPixels32(view->bits(), count, transparency,
               [&](uint32_t value) { return PackRgb(red[RedOf(value)], green[GreenOf(value)], blue[BlueOf(value)]); });
  return 1;
}

int ImgAdjustColorHSIPixels(DibBlock bitmap, double hueShift, double saturationShift, double intensityShift,
                            const TransparencyArg& transparency) {
  const std::optional<DibView> view = View32(bitmap);
  if (!view) return 0;
  const size_t count = PixelRun32(*view, TopDownRows::None);
  if (count > kHsiTableWorthPixels &&
      RunTabulatedHsiPass(view->bits(), count, hueShift, transparency, [&](double& saturation, double& intensity) {
        intensity = ClampUnit(intensity + intensityShift);
        saturation = ClampUnit(saturation + saturationShift);
      })) {
    return 1;
  }
  WalkPixels32(view->bits(), count, transparency, [&](uint32_t value) {
    uint8_t red = RedOf(value), green = GreenOf(value), blue = BlueOf(value);
    ShiftPixelHsi(hueShift, saturationShift, intensityShift, red, green, blue);
    return PackRgb(red, green, blue);
  });
  return 1;
}

int ImgAdjustColorRGBDib(HGLOBAL bitmap, int16_t redShift, int16_t greenShift, int16_t blueShift,
                         const TransparencyArg& transparency) {
  GlobalLockGuard lock(bitmap);
  if (!lock || !Is32Bit(lock)) return 0;
  return ImgAdjustColorRGBPixels(lock.block(), redShift, greenShift, blueShift, transparency);
}

int ImgAdjustColorHSIDib(HGLOBAL bitmap, double hueShift, double saturationShift, double intensityShift,
                         const TransparencyArg& transparency) {
  GlobalLockGuard lock(bitmap);
  if (!lock || !Is32Bit(lock)) return 0;
  return ImgAdjustColorHSIPixels(lock.block(), hueShift, saturationShift, intensityShift, transparency);
}

}  // namespace ormi
