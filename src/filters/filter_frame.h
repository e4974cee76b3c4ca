// The frame of the six filter exports: a validated record whose header copy says 32 bits, the
// transparency argument copied from the record, and the bitmap locked around the filter's worker.
// The export returns 1 once the worker was called, whatever it reported.
#pragma once

#include <cstdint>
#include <optional>

#include "image/dib.h"
#include "image/frames.h"
#include "image/global_memory.h"
#include "image/record.h"
#include "image/transparency.h"

namespace ormi {

// The pixel rows of a 32-bit bitmap that a filter may walk: at least minSide pixels wide and
// high (so bottom-up), and every row the header claims inside the block, the size multiplied in
// 64 bits so that no header can wrap it. Nothing else is needed to stay inside the block.
std::optional<DibView> ViewFilterRows(DibBlock bitmap, int32_t minSide);

// Export layer: `dib(bitmapHandle, transparency)` runs the filter's bitmap-handle layer.
template <class Dib>
int FilterExport(HGLOBAL image, Dib&& dib) {
  return WithValidatedRecord(image, kDepth32, [&](const ImageRecord& record) {
    const TransparencyArg transparency = TransparencyArgOf(record);
    dib(BitmapOf(record), transparency);
    return 1;
  });
}

// Bitmap-handle layer: 0 when the handle does not lock, else 1 when `pixels(block)` succeeded.
template <class Pixels>
int WithLockedBitmap(HGLOBAL bitmap, Pixels&& pixels) {
  GlobalLockGuard lock(bitmap);
  if (!lock) return 0;
  return pixels(lock.block()) != 0 ? 1 : 0;
}

}  // namespace ormi
