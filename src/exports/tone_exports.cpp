// Entry points of the tone and colour family.
#include "exports/export.h"
#include "image/frames.h"
#include "image/transparency.h"
#include "tone/adj_contrast.h"
#include "tone/brightness_contrast_gamma.h"
#include "tone/color_shift.h"
#include "tone/histogram.h"
#include "tone/invert.h"

using namespace ormi;

namespace {

// The RGB shifts are signed 16-bit values: the low 16 bits of the argument.
int16_t Low16(int value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

}  // namespace

ORMI_EXPORT int ORMI_CALL ImgInvert(HGLOBAL image) noexcept { return WithValidatedRecord(image, InvertImage); }

ORMI_EXPORT int ORMI_CALL ImgBrightness(HGLOBAL image, int delta) noexcept {
  return WithDirectRecord(image, LockedFlag::Refuse,
                          [delta](ImageRecord& record) { return BrightnessImage(record, delta); });
}

ORMI_EXPORT int ORMI_CALL ImgGamma(HGLOBAL image, int level) noexcept {
  return WithDirectRecord(image, LockedFlag::Refuse,
                          [level](ImageRecord& record) { return GammaImage(record, level); });
}

ORMI_EXPORT int ORMI_CALL ImgContrast(HGLOBAL image, int amount) noexcept {
  return WithValidatedRecord(image, [amount](ImageRecord& record) { return ContrastImage(record, amount); });
}

ORMI_EXPORT int ORMI_CALL ImgEqualise(HGLOBAL image) noexcept {
  return WithValidatedRecord(image, kDepth32, [](ImageRecord& record) {
    ImgEqualiseDib(BitmapOf(record), TransparencyArgOf(record));
    return 1;
  });
}

ORMI_EXPORT int ORMI_CALL ImgNormalise(HGLOBAL image) noexcept {
  return WithValidatedRecord(image, kDepth32, [](ImageRecord& record) {
    ImgNormaliseDib(BitmapOf(record), TransparencyArgOf(record));
    return 1;
  });
}

ORMI_EXPORT int ORMI_CALL ImgAdjContrast(HGLOBAL image, int mode) noexcept {
  return WithValidatedRecord(image, kDepth32, [mode](ImageRecord& record) {
    ImgAdjContrastDib(BitmapOf(record), mode, TransparencyArgOf(record));
    return 1;
  });
}

ORMI_EXPORT int ORMI_CALL ImgAdjustColorRGB(HGLOBAL image, int redShift, int greenShift, int blueShift) noexcept {
  return WithValidatedRecord(image, kDepth32, [=](ImageRecord& record) {
    ImgAdjustColorRGBDib(BitmapOf(record), Low16(redShift), Low16(greenShift), Low16(blueShift),
                         TransparencyArgOf(record));
    return 1;
  });
}

ORMI_EXPORT int ORMI_CALL ImgAdjustColorHSI(HGLOBAL image, double hueShift, double saturationShift,
                                            double intensityShift) noexcept {
  return WithValidatedRecord(image, kDepth32, [=](ImageRecord& record) {
    ImgAdjustColorHSIDib(BitmapOf(record), hueShift, saturationShift, intensityShift, TransparencyArgOf(record));
    return 1;
  });
}
