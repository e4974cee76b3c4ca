// The rotation engine shared by ImgRotate and ImgBlockRotate: lossless quarter turns at every
// depth, the corner geometry of turns by any angle, and the hand-over of a turned bitmap as a new
// image handle that the caller owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <ormi/effects.h>

#include "image/dib.h"
#include "image/global_memory.h"

namespace ormi {

// A corner of a picture, in stored coordinates (x to the right, row upwards).
struct PointF {
  float x;
  float y;
};

// Turns the point counter-clockwise about the origin by whole degrees: the angle in radians uses
// the single-precision constant 0.017453292, the products are taken in double precision and the
// new coordinates stored as floats.
void RotatePoint(PointF& point, int degrees);

// Smallest and largest of four floats; the scans start from 4e9 and -4e9 and move only on a
// strict comparison, so values beyond those bounds are clamped to them.
float MinOf4(float a, float b, float c, float d);
float MaxOf4(float a, float b, float c, float d);

constexpr bool IsQuarterTurn(int degrees) { return degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270; }

// Transposes up to 8 x 8 pixels of a 1-bit picture: source byte i (stepping by sourceStep) lands
// at bit 7 - i of the output bytes, and output byte j holds bit j of every source byte, that is
// source pixel 7 - j. Only the last outputRows of the eight output bytes are written, the first
// of them at destination, each next one a destinationStep further.
void TransposeBitBlock(int inputRows, const uint8_t* source, ptrdiff_t sourceStep, int outputRows, uint8_t* destination,
                       ptrdiff_t destinationStep);

// What a pixel mover works on: W x H source pixels and the rows of the turned picture.
struct TurnFrame {
  const uint8_t* source;
  size_t sourceStride;
  uint8_t* destination;
  size_t destinationStride;
  uint32_t width;   // W of the source
  uint32_t height;  // H of the source
  int degrees;      // 90, 180 or 270
};

// One mover per depth; each fills every destination pixel by the quarter-turn mapping
// 90: (x, r) -> (H-1-r, x), 180: (W-1-x, H-1-r), 270: (r, W-1-x), leaving destination padding zero.
void QuarterTurn32Bit(const TurnFrame& frame);
void QuarterTurn24Bit(const TurnFrame& frame);
void QuarterTurn16Bit(const TurnFrame& frame);
void QuarterTurn8Bit(const TurnFrame& frame);
void QuarterTurn4Bit(const TurnFrame& frame);
void QuarterTurn1Bit(const TurnFrame& frame);
// The 90 and 270 degree turns of 32-bit pixels with SSE2, which QuarterTurn32Bit picks above the
// scalar level.
void QuarterTurn32Sse2(const TurnFrame& frame);

// The source bitmap of a turn, locked by the caller: its header must agree with the header copy
// the sizes were read from, lie bottom-up and hold all its rows inside its block.
std::optional<DibView> TurnSourceView(const GlobalLockGuard& source, const BITMAPINFOHEADER& headerCopy);

// Bytes of a new bitmap: tables, rows and 32 spare bytes; nothing when that does not fit a size_t.
std::optional<size_t> TurnedBitmapBytes(uint64_t tableBytes, uint64_t stride, uint64_t rows);

// Turns the image of a locked record by 0, 90, 180 or 270 degrees at any of the six depths into a
// new image, or 0. An angle of 0 gives a copy.
HGLOBAL RotateQuarterTurn(const ImageRecord& record, int degrees);

enum class TurnKind {
  QuarterTurn,  // transparency carried over unchanged
  AnyAngle,     // a transparent background: transparency in the alpha bytes
};

// Wraps a turned bitmap (unlocked) in a new image that keeps the source's host fields, base size
// and transparency as the kind of turn says. On failure the bitmap is freed and 0 returned.
HGLOBAL HandOverRotatedBitmap(HGLOBAL bitmap, const ImageRecord& source, TurnKind kind);

}  // namespace ormi
