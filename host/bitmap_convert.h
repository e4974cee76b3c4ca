// Conversions of packed bitmaps between depths, for hosts that read and write other formats.
#pragma once

#include <cstddef>
#include <cstdint>

#include <ormi/win32.h>

namespace ormi::host {

// A new zero-filled GHND bitmap, bottom-up, with a 40-byte header and `colors` colour-table
// entries, left locked for filling; Unlock() hands the handle over. Empty when it cannot be made.
struct NewBitmap {
  HGLOBAL handle = nullptr;
  uint8_t* data = nullptr;
  size_t bitsOffset = 0, stride = 0;
  uint8_t* row(size_t r) const { return data + bitsOffset + stride * r; }
  HGLOBAL Unlock() const;
};
NewBitmap AllocateBitmap(int width, int height, int depth, size_t colors);

// A new bottom-up bitmap at 32, 24 or 8 bits with the pixels of `bitmap` (any depth the library
// reads, either row order). 32 bits keep the source's fourth byte where it has one (alpha 255
// otherwise); 8 bits map each pixel to the nearest entry of a fixed 6x6x6 colour cube.
// 0 when the depth is not one of those or the bitmap is malformed.
HGLOBAL ConvertBitmapDepth(HGLOBAL bitmap, int depth);

// Whether a 32-bit bitmap has any fourth byte that is not 0 (a BMP that carries alpha).
bool HasNonZeroAlpha(HGLOBAL bitmap);

// A new bottom-up 32-bit bitmap from BGRA rows (row 0 = top row of the picture).
HGLOBAL BitmapFromTopDownBgra(const uint8_t* pixels, int width, int height);

}  // namespace ormi::host
