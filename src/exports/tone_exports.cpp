// Entry points of the tone and colour family.
#include "exports/export.h"
#include "image/frames.h"
#include "image/transparency.h"
#include "tone/brightness_contrast_gamma.h"
#include "tone/histogram.h"
#include "tone/invert.h"

using namespace ormi;

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
