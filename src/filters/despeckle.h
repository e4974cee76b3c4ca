#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <ormi/win32.h>

#include "image/dib.h"
#include "image/transparency.h"

namespace ormi {

// Bitmap-handle layer: 0 when the bitmap does not lock, else the worker's success.
int ImgDespeckleDib(HGLOBAL bitmap, const TransparencyArg& transparency);
// Worker on a locked bitmap: 1 when it ran, 0 when refused or when a plane cannot be allocated.
int ImgDespecklePixels(DibBlock bitmap, const TransparencyArg& transparency);

// One hulling step on a padded plane of (W + 2) x (H + 2) bytes: sense +1 raises cells darker than
// their neighbours along (dx, dy), sense -1 lowers lighter ones, each by one level.
void DespeckleStep(int dx, int dy, int sense, uint32_t width, uint32_t height, uint8_t* plane, uint8_t* scratch);

// Bytes of one padded plane, (W + 2) x (H + 2), or nothing when that exceeds `limit`.
std::optional<size_t> DespecklePlaneBytes(uint32_t width, uint32_t height, uint64_t limit = SIZE_MAX);

}  // namespace ormi
