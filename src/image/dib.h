// Packed device-independent bitmaps: the rules that locate the header, colour table, masks and
// pixel rows, and a bounds-checked view that every effect works through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include <ormi/win32.h>

namespace ormi {

constexpr size_t kInfoHeaderBytes = 40;
constexpr uint32_t kBitfields = 3;

// Number of colour-table entries: biClrUsed when set, else 2^depth up to 8 bits.
uint64_t DibColorCount(const BITMAPINFOHEADER& header);
// 12 when three colour masks follow the colour table (16 or 32 bits with BI_BITFIELDS).
uint64_t DibMaskBytes(const BITMAPINFOHEADER& header);
// Offset of the first pixel row from the start of the packed bitmap.
uint64_t DibBitsOffset(const BITMAPINFOHEADER& header);
// Bytes per row, padded to 4; computed in 64 bits so no header value can overflow it.
int64_t DibStride(int64_t width, uint32_t bitCount);

// A locked packed bitmap: its first byte and the size of its memory block.
struct DibBlock {
  uint8_t* data = nullptr;
  size_t size = 0;
};

// Reads the 40-byte header of a block that is known to hold one.
inline BITMAPINFOHEADER ReadInfoHeader(const uint8_t* data) {
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  return header;
}

// Writes the 40-byte header of a new bottom-up bitmap without colour table or masks.
inline void WritePlainInfoHeader(uint8_t* data, int32_t width, int32_t height, uint16_t bitCount) {
  BITMAPINFOHEADER header{};
  header.biSize = kInfoHeaderBytes;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = bitCount;
  std::memcpy(data, &header, sizeof header);
}

// How much of a bitmap a routine needs inside its block before it may touch anything.
enum class DibExtent {
  Tables,  // header, colour table and masks
  Rows,    // all of that plus every pixel row the header claims
};

// The layout of a packed bitmap whose parts were checked against its block.
struct DibView {
  uint8_t* base = nullptr;
  size_t blockSize = 0;
  int32_t width = 0;
  int32_t height = 0;  // as stored: negative for top-down rows
  uint32_t rows = 0;   // |height|
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  size_t colorCount = 0;
  size_t maskBytes = 0;
  size_t bitsOffset = 0;
  size_t stride = 0;

  uint8_t* colorTable() const { return base + kInfoHeaderBytes; }
  uint8_t* bits() const { return base + bitsOffset; }
  uint8_t* row(size_t r) const { return bits() + r * stride; }
  // Bytes from the first pixel row to the end of the block.
  size_t bitsBytes() const { return blockSize - bitsOffset; }
  bool topDown() const { return height < 0; }
  // Rows worth walking: none when a row has no bytes (width or depth 0), since such a header fits
  // any block whatever height it claims.
  uint32_t pixelRows() const { return stride == 0 ? 0 : rows; }
};

// Checks a locked bitmap against its block: header, tables and (for DibExtent::Rows) the rows must
// lie inside it and the width must not be negative. Nothing is touched when it says no.
std::optional<DibView> ViewDib(DibBlock block, DibExtent extent = DibExtent::Rows);

// Bit positions of the three 16-bit colour fields.
struct Rgb16Layout {
  uint32_t redMask, greenMask, blueMask;
  int redShift, greenShift, blueShift;
  bool sixBitGreen() const { return redShift != 10; }
};
// 5-5-5 unless the bitmap carries BI_BITFIELDS masks (their low 16 bits).
Rgb16Layout DibRgb16Layout(const DibView& view);

// Loads and stores of pixels that may sit at any alignment.
template <class T>
inline T LoadPixel(const uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}
template <class T>
inline void StorePixel(uint8_t* p, T value) {
  std::memcpy(p, &value, sizeof value);
}

}  // namespace ormi
