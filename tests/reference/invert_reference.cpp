// The plain invert kept as the reference of the optimised one: byte by byte, pixel by pixel.
//
// Invert: every component becomes its complement (255 - v). Palette images change their colour
// table, every other depth its pixel bytes, as far as the bitmap's memory block reaches; entries
// and pixels in the transparent colour keep their value.
#include "reference/reference.h"

#include <algorithm>

#include "image/dib.h"
#include "image/global_memory.h"
#include "image/record.h"
#include "image/transparency.h"

namespace ormi::reference {
namespace {

void ComplementBytes(uint8_t* p, size_t count) {
  for (size_t i = 0; i < count; ++i) p[i] = static_cast<uint8_t>(~p[i]);
}

// Whole 32-bit entries are complemented, the reserved byte included.
void InvertColorTable(const DibView& view, const TransparencyArg& transparency) {
  uint8_t* entry = view.colorTable();
  const uint32_t key = transparency ? KeyPixelForm(*transparency) : 0;
  for (size_t i = 0; i < view.colorCount; ++i, entry += 4) {
    const uint32_t value = LoadPixel<uint32_t>(entry);
    if (transparency && value == key) continue;
    StorePixel<uint32_t>(entry, ~value);
  }
}

// The walk of the keyed 24-bit path goes through each row stride in 3-byte steps while 3 bytes
// remain, so it ends where the pixel data of the block ends.
void InvertKeyed24(const DibView& view, uint32_t color) {
  const uint8_t b = static_cast<uint8_t>(color >> 16), g = static_cast<uint8_t>(color >> 8),
                r = static_cast<uint8_t>(color);
  uint8_t* bits = view.bits();
  const size_t total = view.bitsBytes();
  if (view.stride == 0) return;
  for (size_t rowStart = 0; rowStart + 3 <= total; rowStart += view.stride) {
    const size_t rowEnd = std::min(rowStart + view.stride, total);
    for (uint8_t* p = bits + rowStart; p + 3 <= bits + rowEnd; p += 3) {
      if (p[0] == b && p[1] == g && p[2] == r) continue;
      p[0] = static_cast<uint8_t>(~p[0]);
      p[1] = static_cast<uint8_t>(~p[1]);
      p[2] = static_cast<uint8_t>(~p[2]);
    }
  }
}

uint16_t Key16(const DibView& view, uint32_t color) {
  const Rgb16Layout layout = DibRgb16Layout(view);
  const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  const int greenDrop = layout.redShift == 10 ? 3 : 2;
  return static_cast<uint16_t>(((r >> 3) << layout.redShift) + ((g >> greenDrop) << layout.greenShift) +
                               ((b >> 3) << layout.blueShift));
}

// Every pixel of a row is compared; the padding of odd widths is skipped.
void InvertKeyed16(const DibView& view, uint32_t color) {
  const uint16_t key = Key16(view, color);
  uint8_t* bits = view.bits();
  const size_t total = view.bitsBytes();
  if (view.stride == 0) return;
  const size_t rowPixelBytes = size_t{2} * static_cast<uint32_t>(view.width);
  for (size_t rowStart = 0; rowStart + 2 <= total; rowStart += view.stride) {
    const size_t rowEnd = std::min(rowStart + rowPixelBytes, total);
    for (uint8_t* p = bits + rowStart; p + 2 <= bits + rowEnd; p += 2) {
      const uint16_t value = LoadPixel<uint16_t>(p);
      if (value != key) StorePixel<uint16_t>(p, static_cast<uint16_t>(~value));
    }
  }
}

void InvertKeyed32(const DibView& view, uint32_t color) {
  uint8_t* p = view.bits();
  const size_t pixels = view.bitsBytes() / 4;
  if (SaysAlphaCarriesTransparency(color)) {
    for (size_t i = 0; i < pixels; ++i, p += 4) StorePixel<uint32_t>(p, LoadPixel<uint32_t>(p) ^ 0x00FFFFFFu);
    return;
  }
  const uint32_t key = KeyPixelForm(color);
  for (size_t i = 0; i < pixels; ++i, p += 4) {
    const uint32_t value = LoadPixel<uint32_t>(p);
    if (value != key) StorePixel<uint32_t>(p, ~value & 0x00FFFFFFu);
  }
}

void InvertPixels(const DibView& view, const TransparencyArg& transparency) {
  if (!transparency) {
    ComplementBytes(view.bits(), view.bitsBytes());
    return;
  }
  switch (view.bitCount) {
    case 24: InvertKeyed24(view, *transparency); break;
    case 16: InvertKeyed16(view, *transparency); break;
    case 32: InvertKeyed32(view, *transparency); break;
    default: break;  // a key cannot be honoured at 1 bit
  }
}

}  // namespace

int InvertImage(ImageRecord& record) {
  GlobalLockGuard bitmap(BitmapOf(record));
  if (!bitmap) return 1;
  // The pixel walk is bounded by the block itself, so only the tables must fit in it.
  const std::optional<DibView> view = ViewDib(bitmap.block(), DibExtent::Tables);
  if (!view) return 1;
  const TransparencyArg transparency = TransparencyArgOf(record);
  if (view->bitCount == 4 || view->bitCount == 8) {
    InvertColorTable(*view, transparency);
    RefreshHeaderCopy(record, *view, kInfoHeaderBytes + 4 * view->colorCount);
  } else {
    InvertPixels(*view, transparency);
  }
  return 1;
}

}  // namespace ormi::reference
