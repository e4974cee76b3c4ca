// Rotation by any whole number of degrees, counter-clockwise on the display. Exactly 0, 90, 180
// and 270 are lossless quarter turns at every depth (0 gives a copy); every other angle, 360 and
// -90 included, is scan-converted at 32 bits, each destination pixel taking the source pixel below
// and to the left of its exact position, on a canvas whose background is transparent black.
#include "geometry/rotate.h"

#include "geometry/rotated_polygon.h"
#include "geometry/rotation_engine.h"
#include "image/record.h"

namespace ormi {

HGLOBAL RotateImage(const ImageRecord& record, int degrees) {
  if (IsQuarterTurn(degrees)) return RotateQuarterTurn(record, degrees);
  const std::optional<BITMAPINFOHEADER> headerCopy = HeaderCopyOf(record);
  if (!headerCopy || headerCopy->biBitCount != 32) return nullptr;
  return RotateScanned(record, degrees, 1, GHND);
}

}  // namespace ormi
