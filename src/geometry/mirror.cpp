// Mirroring in place. Rows: stored row r changes place with row H-1-r, whole strides exchanged. Columns: pixel x
// changes place with pixel W-1-x in every row, by whole pixels at 8 to 32 bits and through the bit tables' row
// reversals at 1 and 4 bits, which keep the unused bits of the last byte. Padding is never moved. A top-down bitmap is
// mirrored the same way over its |biHeight| stored rows.
#include "geometry/mirror.h"

#include <cstring>

#include "geometry/bit_tables.h"
#include "geometry/mirror_kernels.h"
#include "image/global_memory.h"
#include "image/record.h"

namespace ormi {
namespace {

template <size_t Bytes>
void ReverseWholePixels(uint8_t* row, uint32_t width) {
  if (width < 2) return;
  uint8_t* left = row;
  uint8_t* right = row + (size_t{width} - 1) * Bytes;
  for (; left < right; left += Bytes, right -= Bytes) {
    uint8_t swap[Bytes];
    std::memcpy(swap, left, Bytes);
    std::memcpy(left, right, Bytes);
    std::memcpy(right, swap, Bytes);
  }
}

// 1 and 4 bits: the reversal leaves the unused low bits of the last byte zero; they are padding,
// so they get their value back.
void ReversePackedRow(uint8_t* row, uint32_t width, unsigned bitsPerPixel, void (*reverse)(uint8_t*, uint32_t)) {
  const size_t usedBits = size_t{width} * bitsPerPixel;
  if (usedBits == 0) return;
  uint8_t* last = row + (usedBits - 1) / 8;
  const unsigned unused = static_cast<unsigned>((8 - usedBits % 8) % 8);
  const auto padding = static_cast<uint8_t>(*last & ((1u << unused) - 1));
  reverse(row, width);
  *last = static_cast<uint8_t>(*last | padding);
}

void ReverseRow(uint8_t* row, uint32_t width, unsigned bitCount) {
  switch (bitCount) {
    case 24: ReverseWholePixels<3>(row, width); break;
    case 16: ReverseWholePixels<2>(row, width); break;
    case 8: ReverseWholePixels<1>(row, width); break;
    case 4: ReversePackedRow(row, width, 4, ReverseNibbleRow); break;
    case 1: ReversePackedRow(row, width, 1, ReverseBitRow); break;
    default: break;  // nothing to reverse by at other depths
  }
}

// The exchanges need no buffer, but the row buffer is still taken (and given back at once), so that
// a mirror fails where memory for one row is refused, as it always has.
bool TakeRowBuffer(const DibView& view) {
  if (view.rows < 2 || view.stride == 0) return true;
  void* buffer = LocalAlloc(LMEM_FIXED, view.stride);
  if (!buffer) return false;
  LocalFree(buffer);
  return true;
}

bool FlipRows(const DibView& view) {
  if (!TakeRowBuffer(view)) return false;
  const RowExchangeKernel exchange = SelectRowExchange(ActiveSimdLevel());
  for (uint32_t r = 0; r < view.rows / 2; ++r) exchange(view.row(r), view.row(view.rows - 1 - r), view.stride);
  return true;
}

// 32 bits both ways in one pass: each pair of rows exchanged and reversed together, the middle row
// of an odd height reversed alone.
bool FlipBoth32(const DibView& view) {
  if (!TakeRowBuffer(view)) return false;
  const Mirror32Kernels kernels = SelectMirror32(ActiveSimdLevel());
  const size_t width = static_cast<uint32_t>(view.width);
  for (uint32_t r = 0; r < view.rows / 2; ++r)
    kernels.exchangeReversed(view.row(r), view.row(view.rows - 1 - r), width);
  if (view.rows % 2) kernels.reverse(view.row(view.rows / 2), width);
  return true;
}

}  // namespace

int ImgMirrorPixels(DibBlock bitmap, const BITMAPINFOHEADER& headerCopy, bool flipRows, bool flipColumns) {
  const std::optional<DibView> view = ViewDib(bitmap, DibExtent::Rows);
  if (!view) return 0;
  const bool agrees = view->width == headerCopy.biWidth && view->height == headerCopy.biHeight &&
                      view->bitCount == headerCopy.biBitCount && view->bitsOffset == DibBitsOffset(headerCopy);
  if (!agrees) return 0;
  // Rows without bytes fit any block whatever height the header claims: nothing to walk.
  if (view->stride == 0) return 1;
  if (view->bitCount == 32 && flipRows && flipColumns) return FlipBoth32(*view) ? 1 : 0;
  if (flipRows && !FlipRows(*view)) return 0;
  if (flipColumns && view->bitCount == 32) {
    const Mirror32Kernels kernels = SelectMirror32(ActiveSimdLevel());
    for (uint32_t r = 0; r < view->rows; ++r) kernels.reverse(view->row(r), static_cast<uint32_t>(view->width));
  } else if (flipColumns) {
    for (uint32_t r = 0; r < view->rows; ++r)
      ReverseRow(view->row(r), static_cast<uint32_t>(view->width), view->bitCount);
  }
  return 1;
}

int ImgMirrorDib(HGLOBAL bitmap, const BITMAPINFOHEADER& headerCopy, bool flipRows, bool flipColumns) {
  GlobalLockGuard lock(bitmap);
  if (!lock) return 0;
  return ImgMirrorPixels(lock.block(), headerCopy, flipRows, flipColumns);
}

int MirrorImage(HGLOBAL image, int flipRows, int flipColumns) {
  RecordLock record(image);
  if (!record) return 0;
  if ((record->flags & ORMI_FLAG_LOCKED_IMAGE) && record->bitmap == 0) return 0;
  if (flipRows == 0 && flipColumns == 0) return 1;
  if (record->bitmap == 0) return 0;
  DeleteGdiObject(*record);
  const std::optional<BITMAPINFOHEADER> headerCopy = HeaderCopyOf(*record);
  if (!headerCopy) return 0;
  return ImgMirrorDib(BitmapOf(*record), *headerCopy, flipRows != 0, flipColumns != 0);
}

}  // namespace ormi
