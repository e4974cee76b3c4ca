// Tile fill for text: output pixel (x, r) in memory order is tile pixel (x mod TW, r mod TH),
// whole with its alpha, where mask bit (x, r) is 0, and 0 where it is 1. The tile column starts
// again at 0 on every row.
#include "decor/tile_fill.h"

#include "decor/text_fill.h"
#include "image/dib.h"
#include "image/global_memory.h"

namespace ormi {
namespace {

void TileRow(uint8_t* out, const uint8_t* mask, const uint8_t* tile, size_t width, size_t tileWidth) {
  size_t column = 0;
  for (size_t x = 0; x < width; ++x, out += 4) {
    StorePixel<uint32_t>(out, MaskBit(mask, x) ? 0u : LoadPixel<uint32_t>(tile + 4 * column));
    if (++column == tileWidth) column = 0;
  }
}

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
  for (size_t r = static_cast<uint32_t>(size->height); r-- > 0;) {
    TileRow(result.row(r), maskView->row(r), tileView->row(r % tileView->rows), width, tileWidth);
  }
  return result.release();
}

}  // namespace ormi
