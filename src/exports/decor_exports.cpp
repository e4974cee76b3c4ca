// Entry points of the decorative-fill family. The text fills and the painter take plain bitmap
// handles and a rectangle, not image handles; the first argument of the text fills is ignored.
#include "decor/emboss_icon.h"
#include "decor/gradient.h"
#include "decor/tile_fill.h"
#include "exports/export.h"
#include "image/frames.h"

using namespace ormi;

ORMI_EXPORT int ORMI_CALL TavoGradient(HDC dc, const RECT* rect, int fromColor, int toColor, int degrees) noexcept {
  return PaintGradient(dc, rect, static_cast<uint32_t>(fromColor), static_cast<uint32_t>(toColor), degrees);
}

ORMI_EXPORT int ORMI_CALL TavoEmbossIcon(HGLOBAL image, int threshold, int firstColor, int secondColor) noexcept {
  return WithValidatedRecord(image, [&](ImageRecord& record) {
    return TavoEmbossIconDib(BitmapOf(record), threshold, static_cast<uint32_t>(firstColor),
                             static_cast<uint32_t>(secondColor));
  });
}

ORMI_EXPORT HGLOBAL ORMI_CALL TavoGradientForText(HDC /*ignored*/, const RECT* rect, int fromColor, int toColor,
                                                  int degrees, HGLOBAL mask) noexcept {
  return GradientForText(rect, static_cast<uint32_t>(fromColor), static_cast<uint32_t>(toColor), degrees, mask);
}

ORMI_EXPORT HGLOBAL ORMI_CALL TavoTileForText(HDC /*ignored*/, const RECT* rect, HGLOBAL mask, HGLOBAL tile) noexcept {
  return TileForText(rect, mask, tile);
}
