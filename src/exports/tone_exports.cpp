// Entry points of the tone and colour family.
#include "exports/export.h"
#include "image/frames.h"
#include "tone/invert.h"

using namespace ormi;

ORMI_EXPORT int ORMI_CALL ImgInvert(HGLOBAL image) noexcept { return WithValidatedRecord(image, InvertImage); }
