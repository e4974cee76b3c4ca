#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <ormi/win32.h>

#include "filters/despeckle_rows.h"
#include "image/dib.h"
#include "image/transparency.h"

namespace ormi {

// How the 32 passes of each channel meet memory: whole padded planes, one pass after another, or
// all passes at once on a few rows each, read and written once. By size takes the rows whenever
// their working memory is no larger than the planes'; tests name one to reach both.
enum class DespeckleSchedule { BySize, Planes, Rows };

// Bitmap-handle layer: 0 when the bitmap does not lock, else the worker's success.
int ImgDespeckleDib(HGLOBAL bitmap, const TransparencyArg& transparency);
// Worker on a locked bitmap: 1 when it ran, 0 when refused or when its working memory cannot be had.
int ImgDespecklePixels(DibBlock bitmap, const TransparencyArg& transparency,
                       DespeckleSchedule schedule = DespeckleSchedule::BySize);

// One hulling step on a padded plane of (W + 2) x (H + 2) bytes: sense +1 raises cells darker than
// their neighbours along (dx, dy), sense -1 lowers lighter ones, each by one level.
void DespeckleStep(int dx, int dy, int sense, uint32_t width, uint32_t height, uint8_t* plane, uint8_t* scratch,
                   const HullRows& rows);

// Bytes of one padded plane, (W + 2) x (H + 2), or nothing when that exceeds `limit`.
std::optional<size_t> DespecklePlaneBytes(uint32_t width, uint32_t height, uint64_t limit = SIZE_MAX);
// Bytes of the row schedule's rings, 236 rows of W + 2 bytes rounded up to 128 and 64 more, or
// nothing when that exceeds `limit`.
std::optional<size_t> DespeckleRingBytes(uint32_t width, uint64_t limit = SIZE_MAX);

}  // namespace ormi
