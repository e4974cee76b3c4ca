// What the two text fills share: the rectangle's size, the 1-bit text mask, and the new 32-bit
// bitmap they return.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <ormi/win32.h>

#include "image/dib.h"
#include "image/global_memory.h"
#include "simd/simd_level.h"

namespace ormi {

// Columns and rows of an inclusive rectangle: right - left + 1 by bottom - top + 1.
struct FillSize {
  int32_t width = 0, height = 0;
};

// The rectangle's size; none for a null rectangle, a negative size, a side beyond 32 bits, or a
// size whose 32-bit bitmap (the larger of the two the fills build) would not fit in memory.
std::optional<FillSize> FillSizeOf(const RECT* rect);

// 40 + 4 * width * height: the bytes of a 32-bit bitmap of a size that FillSizeOf gave.
size_t TextFillBytes(FillSize size);

// A locked 1-bit mask that covers `size` (at least as many columns and rows, all inside its
// block); none otherwise.
std::optional<DibView> ViewTextMask(DibBlock mask, FillSize size);

// Bit 7 - (x mod 8) of byte x div 8: the most significant bit is the leftmost pixel.
inline bool MaskBit(const uint8_t* row, size_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }

// A 32-bit row `out` from `in` (which may be `out`): each pixel copied where its mask bit is 0 and
// all four bytes 0 where it is 1; above the scalar level the pixels of a mask byte go together
// through a vector of its bits.
void MaskPixels(uint8_t* out, const uint8_t* in, const uint8_t* mask, size_t width, SimdLevel level);
void MaskPixelsAvx2(uint8_t* out, const uint8_t* in, const uint8_t* mask, size_t width);
// The scalar form from pixel `from` (a multiple of 8) on, also the vector forms' last pixels.
void MaskPixelsTail(uint8_t* out, const uint8_t* in, const uint8_t* mask, size_t from, size_t width);

// The result of a text fill: a moveable block holding a 40-byte header (32 bits, bottom-up, no
// colour table) and the rows, locked while they are filled, freed unless released.
class TextFillBitmap {
 public:
  explicit TextFillBitmap(FillSize size);
  explicit operator bool() const { return static_cast<bool>(lock_); }
  uint8_t* row(size_t r) const { return lock_.data() + kInfoHeaderBytes + r * 4 * width_; }
  // Unlocks the block and hands it to the caller.
  HGLOBAL release();

 private:
  size_t width_;
  GlobalBlock block_;
  GlobalLockGuard lock_;
};

}  // namespace ormi
