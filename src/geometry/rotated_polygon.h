// Turns by any angle at 32 bits: the picture's corners are turned about its centre, the canvas is
// their bounding box, and FillRotatedPolygon scan-converts the turned picture into it row by row
// with 16.16 edges and spans, on single pixels (ImgRotate) or on cells of B x B pixels
// (ImgBlockRotate). Every piece of scan state lives in the call, so turns of different images may
// run at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <ormi/effects.h>

namespace ormi {

// The turned corners on the destination grid (in cells of B x B pixels) and where each corner
// samples the source, as 16.16 column and stored row.
struct RotatedPolygon {
  int64_t column[4];
  int64_t row[4];
  int64_t u[4];
  int64_t v[4];
  int64_t lastColumn;  // Wm
  int64_t lastRow;     // Hm
};

// Corners (-W/2B, -H/2B), (W/2B, -H/2B), (W/2B, H/2B), (-W/2B, H/2B) in single precision, turned
// with RotatePoint and moved onto the grid by truncation. Nothing when the canvas of
// (Wm + 1) B x (Hm + 1) B pixels would not fit a signed 32-bit size.
std::optional<RotatedPolygon> RotateCorners(int32_t width, int32_t height, int degrees, int cellSize);

// What a span writes for a source pixel S, chosen once from the source record.
enum class ScanTransparency {
  Opaque,     // no transparency: S with alpha 255
  AlphaKept,  // the alpha bytes carry it: S unchanged
  ColorKey,   // a colour key: 0 where S with alpha 255 is the key with alpha 255, else S with alpha 255
};

struct ScanPixels {
  ScanTransparency mode = ScanTransparency::Opaque;
  uint32_t key = 0;  // the key colour in pixel order with alpha 255
};

ScanPixels ScanPixelsOf(const ImageRecord& source);

// 32-bit source rows, 4 W bytes apart, bottom-up.
struct ScanSource {
  const uint8_t* bits;
  uint32_t width;
  uint32_t rows;
};

// Writes every pixel of a canvas of (Wm + 1) B x (Hm + 1) B 32-bit pixels: the turned picture,
// one source sample per cell, and transparent black around it. cellSize is 1, 2, 4 or 8.
void FillRotatedPolygon(const RotatedPolygon& polygon, const ScanSource& source, uint8_t* canvas, int cellSize,
                        ScanPixels pixels);

// The any-angle path of both rotations, after the export checked the angle, the depth and the
// cell size: a new bitmap from `allocFlags`, filled and handed over as a new image, or 0.
HGLOBAL RotateScanned(const ImageRecord& record, int degrees, int cellSize, UINT allocFlags);

}  // namespace ormi
