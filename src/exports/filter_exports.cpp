// Entry points of the neighbourhood filters: the filter frame around each bitmap-handle layer.
#include "exports/export.h"
#include "filters/blur.h"
#include "filters/despeckle.h"
#include "filters/emboss_edge.h"
#include "filters/enhance.h"
#include "filters/filter_frame.h"
#include "filters/sharpen.h"

using namespace ormi;

ORMI_EXPORT int ORMI_CALL ImgBlur(HGLOBAL image, double amount) noexcept {
  return FilterExport(image, [&](HGLOBAL bitmap, const TransparencyArg& t) { return ImgBlurDib(bitmap, amount, t); });
}

ORMI_EXPORT int ORMI_CALL ImgEmboss(HGLOBAL image) noexcept { return FilterExport(image, ImgEmbossDib); }

ORMI_EXPORT int ORMI_CALL ImgEdge(HGLOBAL image, double amount) noexcept {
  return FilterExport(image, [&](HGLOBAL bitmap, const TransparencyArg& t) { return ImgEdgeDib(bitmap, amount, t); });
}

ORMI_EXPORT int ORMI_CALL ImgSharpen(HGLOBAL image, double amount) noexcept {
  return FilterExport(image,
                      [&](HGLOBAL bitmap, const TransparencyArg& t) { return ImgSharpenDib(bitmap, amount, t); });
}

ORMI_EXPORT int ORMI_CALL ImgDespeckle(HGLOBAL image) noexcept { return FilterExport(image, ImgDespeckleDib); }

ORMI_EXPORT int ORMI_CALL ImgEnhance(HGLOBAL image) noexcept { return FilterExport(image, ImgEnhanceDib); }
