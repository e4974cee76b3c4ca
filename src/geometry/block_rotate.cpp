// Block rotation: the scan of ImgRotate on a grid of B x B cells, B = 2^level, sampling the source
// once per cell at full-resolution positions and writing the sample as a solid block. The corners
// are divided by 2B instead of 2, so the canvas keeps about the size of an ImgRotate result. The
// bitmap is taken without zero-filling, since the scan writes every pixel.
#include "geometry/block_rotate.h"

#include "geometry/rotated_polygon.h"
#include "geometry/rotation_engine.h"
#include "image/record.h"

namespace ormi {

HGLOBAL BlockRotateImage(const ImageRecord& record, int degrees, int level) {
  if (IsQuarterTurn(degrees)) return RotateQuarterTurn(record, degrees);
  const std::optional<BITMAPINFOHEADER> headerCopy = HeaderCopyOf(record);
  if (!headerCopy || headerCopy->biBitCount != 32) return nullptr;
  if (level < 1 || level > 3) return nullptr;
  return RotateScanned(record, degrees, 1 << level, GMEM_FIXED);
}

}  // namespace ormi
