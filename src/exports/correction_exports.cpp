// Entry points of the gamma and colour correction family.
#include "correction/color_correction.h"
#include "correction/gamma_correction.h"
#include "correction/gamma_table.h"
#include "exports/export.h"
#include "image/frames.h"

using namespace ormi;

// The tables are read on first use; a missing file fails the call before the image is looked at.
ORMI_EXPORT int ORMI_CALL ImgGammaCorrection(HGLOBAL image, int code, int mode) noexcept {
  if (!IsGammaTableLoaded() && !LoadGammaTable()) return 0;
  return WithValidatedRecord(image, [&](ImageRecord& record) {
    return ImgGammaCorrectionDib(BitmapOf(record), code, mode, TransparencyArgOf(record));
  });
}

// The primaries are stored before the image is looked at, as the module state of the last call.
ORMI_EXPORT int ORMI_CALL ImgColorCorrection(HGLOBAL image, int code, int white, const double* primaries) noexcept {
  if (!primaries) return 0;
  SetColorPrimaries(primaries);
  return WithValidatedRecord(image, [&](ImageRecord& record) {
    return ImgColorCorrectionDib(BitmapOf(record), code, white, TransparencyArgOf(record));
  });
}

ORMI_EXPORT int ORMI_CALL ImgLoadGammaTable() noexcept { return LoadGammaTable(); }
