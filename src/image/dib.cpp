#include "image/dib.h"

#include <bit>

namespace ormi {

uint64_t DibColorCount(const BITMAPINFOHEADER& header) {
  if (header.biClrUsed != 0) return header.biClrUsed;
  switch (header.biBitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

uint64_t DibMaskBytes(const BITMAPINFOHEADER& header) {
  const bool maskedDepth = header.biBitCount == 16 || header.biBitCount == 32;
  return maskedDepth && header.biCompression == kBitfields ? 12 : 0;
}

uint64_t DibBitsOffset(const BITMAPINFOHEADER& header) {
  return kInfoHeaderBytes + 4 * DibColorCount(header) + DibMaskBytes(header);
}

int64_t DibStride(int64_t width, uint32_t bitCount) { return ((width * bitCount + 31) & ~int64_t{31}) / 8; }

std::optional<DibView> ViewDib(DibBlock block, DibExtent extent) {
  if (block.data == nullptr || block.size < kInfoHeaderBytes) return std::nullopt;
  const BITMAPINFOHEADER header = ReadInfoHeader(block.data);
  const uint64_t bitsOffset = DibBitsOffset(header);
  if (bitsOffset > block.size) return std::nullopt;

  DibView view;
  view.base = block.data;
  view.blockSize = block.size;
  view.width = header.biWidth;
  view.height = header.biHeight;
  view.rows =
      header.biHeight < 0 ? 0u - static_cast<uint32_t>(header.biHeight) : static_cast<uint32_t>(header.biHeight);
  view.bitCount = header.biBitCount;
  view.compression = header.biCompression;
  view.colorCount = static_cast<size_t>(DibColorCount(header));
  view.maskBytes = static_cast<size_t>(DibMaskBytes(header));
  view.bitsOffset = static_cast<size_t>(bitsOffset);
  const uint64_t stride = header.biWidth >= 0 ? static_cast<uint64_t>(DibStride(header.biWidth, header.biBitCount)) : 0;
  view.stride = static_cast<size_t>(stride);

  if (extent == DibExtent::Rows) {
    if (header.biWidth < 0) return std::nullopt;
    // In 64 bits: a 32-bit size_t would truncate the stride of a very wide row.
    const uint64_t room = block.size - bitsOffset;
    if (stride != 0 && view.rows > room / stride) return std::nullopt;
  }
  return view;
}

Rgb16Layout DibRgb16Layout(const DibView& view) {
  Rgb16Layout layout{0x7C00, 0x03E0, 0x001F, 10, 5, 0};
  if (view.compression == kBitfields && view.maskBytes == 12) {
    const uint8_t* masks = view.bits() - 12;
    layout.redMask = LoadPixel<uint32_t>(masks) & 0xFFFF;
    layout.greenMask = LoadPixel<uint32_t>(masks + 4) & 0xFFFF;
    layout.blueMask = LoadPixel<uint32_t>(masks + 8) & 0xFFFF;
    auto shift = [](uint32_t mask) { return mask == 0 ? 0 : std::countr_zero(mask); };
    layout.redShift = shift(layout.redMask);
    layout.greenShift = shift(layout.greenMask);
    layout.blueShift = shift(layout.blueMask);
  }
  return layout;
}

}  // namespace ormi
