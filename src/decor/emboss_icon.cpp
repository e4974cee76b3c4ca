// Icon embossing. A palette index is dark when the mean of its entry's red, green and blue
// (integer division by 3) is at most the threshold's low byte; indices beyond the table are not.
// L, the highest index that is not dark (0 when all are), fills what the move vacates. The
// picture moves one column right and one row lower in memory; then, from the top row in memory
// down, a dark pixel becomes 1 and marks the pixel one column left and one row up as 2, any
// other becomes 0. Entries 0, 1 and 2 become green, the first and the second colour.
#include "decor/emboss_icon.h"

#include <array>
#include <cstring>

#include "image/global_memory.h"

namespace ormi {
namespace {

// Pixel indices of one row at 4 (high nibble first) or 8 bits.
template <int kBits>
struct IndexRow {
  uint8_t* bytes;
  uint8_t get(size_t x) const {
    if constexpr (kBits == 8) {
      return bytes[x];
    } else {
      return x & 1 ? bytes[x >> 1] & 0x0F : bytes[x >> 1] >> 4;
    }
  }
  void set(size_t x, uint8_t v) const {
    if constexpr (kBits == 8) {
      bytes[x] = v;
    } else if (x & 1) {
      bytes[x >> 1] = static_cast<uint8_t>((bytes[x >> 1] & 0xF0) | v);
    } else {
      bytes[x >> 1] = static_cast<uint8_t>((bytes[x >> 1] & 0x0F) | v << 4);
    }
  }
};

struct DarkIndices {
  std::array<bool, 256> dark{};
  uint8_t light = 0;  // L
};

DarkIndices ClassifyPalette(const DibView& view, uint8_t threshold) {
  DarkIndices result;
  const size_t indices = size_t{1} << view.bitCount;
  const uint8_t* entry = view.colorTable();
  for (size_t i = 0; i < indices; ++i, entry += 4) {
    const bool dark = i < view.colorCount && (entry[0] + entry[1] + entry[2]) / 3 <= threshold;
    result.dark[i] = dark;
    if (!dark) result.light = static_cast<uint8_t>(i);
  }
  return result;
}

// Every pixel to one column right and one row lower in memory; the vacated last row and first
// column take L.
template <int kBits>
void ShiftPicture(const DibView& view, uint8_t light) {
  const size_t width = static_cast<uint32_t>(view.width), rows = view.pixelRows();
  if (width == 0) return;  // no pixel to move and no row byte to fill
  for (size_t y = 1; y < rows; ++y) {
    const IndexRow<kBits> from{view.row(y)}, to{view.row(y - 1)};
    for (size_t x = width - 1; x-- > 0;) to.set(x + 1, from.get(x));
  }
  if (rows > 0) std::memset(view.row(rows - 1), kBits == 4 ? light | light << 4 : light, view.stride);
  for (size_t y = 0; y < rows; ++y) IndexRow<kBits>{view.row(y)}.set(0, light);
}

// Top row in memory first, so a 2 written into the row above is never overwritten.
template <int kBits>
void ClassifyPixels(const DibView& view, const DarkIndices& indices) {
  const size_t width = static_cast<uint32_t>(view.width), rows = view.pixelRows();
  for (size_t y = rows; y-- > 0;) {
    const IndexRow<kBits> here{view.row(y)};
    const bool lastRow = y + 1 == rows;
    for (size_t x = 0; x < width; ++x) {
      if (!indices.dark[here.get(x)]) {
        here.set(x, 0);
        continue;
      }
      here.set(x, 1);
      if (x != 0 && !lastRow) IndexRow<kBits>{view.row(y + 1)}.set(x - 1, 2);
    }
  }
}

template <int kBits>
void Emboss(const DibView& view, uint8_t threshold) {
  const DarkIndices indices = ClassifyPalette(view, threshold);
  ShiftPicture<kBits>(view, indices.light);
  ClassifyPixels<kBits>(view, indices);
}

void SetEntry(uint8_t* entry, uint32_t color) {
  entry[0] = static_cast<uint8_t>(color >> 16);
  entry[1] = static_cast<uint8_t>(color >> 8);
  entry[2] = static_cast<uint8_t>(color);
}

}  // namespace

int TavoEmbossIconPixels(DibBlock bitmap, int threshold, uint32_t firstColor, uint32_t secondColor) {
  const std::optional<DibView> view = ViewDib(bitmap);
  if (!view || (view->bitCount != 4 && view->bitCount != 8) || view->colorCount <= 2 || view->topDown()) return 0;
  const uint8_t level = static_cast<uint8_t>(threshold & 0xFF);
  if (view->bitCount == 4) {
    Emboss<4>(*view, level);
  } else {
    Emboss<8>(*view, level);
  }
  uint8_t* table = view->colorTable();
  SetEntry(table, 0x0000FF00u);  // pure green
  SetEntry(table + 4, firstColor);
  SetEntry(table + 8, secondColor);
  return 1;
}

int TavoEmbossIconDib(HGLOBAL bitmap, int threshold, uint32_t firstColor, uint32_t secondColor) {
  GlobalLockGuard lock(bitmap);
  if (!lock) return 0;
  return TavoEmbossIconPixels(lock.block(), threshold, firstColor, secondColor);
}

}  // namespace ormi
