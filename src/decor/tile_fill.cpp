// Tile fill for text: output pixel (x, r) in memory order is tile pixel (x mod TW, r mod TH),
// whole with its alpha, where mask bit (x, r) is 0, and 0 where it is 1. The tile column starts
// again at 0 on every row.
#include "decor/tile_fill.h"

#include <cstring>

#include "decor/text_fill.h"
#include "image/dib.h"
#include "image/global_memory.h"
#include "image/heap_buffer.h"

namespace ormi {
namespace {

// The tile row repeated across `width` pixels: the row once, then the filled part copied onto what
// follows it, doubling each time; every copy moves a whole number of tile rows, so each column
// keeps its x mod TW.
void RepeatTileRow(uint8_t* out, const uint8_t* tile, size_t width, size_t tileWidth) {
  size_t filled = tileWidth < width ? tileWidth : width;
  std::memcpy(out, tile, 4 * filled);
  while (filled < width) {
    const size_t copy = filled < width - filled ? filled : width - filled;
    std::memcpy(out + 4 * filled, out, 4 * copy);
    filled += copy;
  }
}

// The repeated tile rows, built once each when all of them fit in this many bytes (they stay in
// the cache while the picture is written), else one at a time for each row.
constexpr size_t kRepeatedRowsBytes = size_t{512} << 10;

// A tile that can be repeated: 32-bit, at least one pixel each way, bottom-up, inside its block.
std::optional<DibView> ViewTile(DibBlock tile) {
  const std::optional<DibView> view = ViewDib(tile);
  if (!view || view->bitCount != 32 || view->width <= 0 || view->height <= 0) return std::nullopt;
  return view;
}

}  // namespace

HGLOBAL TileForText(const RECT* rect, HGLOBAL mask, HGLOBAL tile) {
  GlobalLockGuard maskLock(mask);
  if (!maskLock) return nullptr;
  const std::optional<FillSize> size = FillSizeOf(rect);
  if (!size) return nullptr;
  const std::optional<DibView> maskView = ViewTextMask(maskLock.block(), *size);
  if (!maskView) return nullptr;
  GlobalLockGuard tileLock(tile);
  if (!tileLock) return nullptr;
  const std::optional<DibView> tileView = ViewTile(tileLock.block());
  if (!tileView) return nullptr;
  TextFillBitmap result(*size);
  if (!result) return nullptr;
  const size_t width = static_cast<uint32_t>(size->width), tileWidth = static_cast<uint32_t>(tileView->width);
  const size_t tileRows = tileView->rows, rowBytes = 4 * width;
  const bool keepAll = tileRows <= kRepeatedRowsBytes / (rowBytes + 1);
  HeapBytes repeated = AllocateHeapBytes((keepAll ? tileRows : 1) * rowBytes + 1);
  if (!repeated) return nullptr;
  const SimdLevel level = ActiveSimdLevel();
  for (size_t r = static_cast<uint32_t>(size->height); r-- > 0;) {
    const size_t tileRow = r % tileRows;
    uint8_t* pattern = repeated.get() + (keepAll ? tileRow * rowBytes : 0);
    // Rows are filled from the last up, so a kept row is built the first time its tile row comes.
    const bool built = keepAll && r + tileRows < static_cast<uint32_t>(size->height);
    if (!built) RepeatTileRow(pattern, tileView->row(tileRow), width, tileWidth);
    MaskPixels(result.row(r), pattern, maskView->row(r), width, level);
  }
  return result.release();
}

}  // namespace ormi
