// Icon embossing. A palette index is dark when the mean of its entry's red, green and blue
// (integer division by 3) is at most the threshold's low byte; indices beyond the table are not.
// L, the highest index that is not dark (0 when all are), fills what the move vacates. The
// picture moves one column right and one row lower in memory; then, from the top row in memory
// down, a dark pixel becomes 1 and marks the pixel one column left and one row up as 2, any
// other becomes 0. Entries 0, 1 and 2 become green, the first and the second colour.
#include "decor/emboss_icon.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "decor/emboss_icon_kernels.h"
#include "image/global_memory.h"
#include "simd/simd_level.h"

namespace ormi {
namespace {

// The dark flags of the 256 indices (0xFF or 0), L, and the flags as the AVX2 row's bitmap.
struct DarkIndices {
  alignas(64) std::array<uint8_t, 256> dark{};
  uint8_t light = 0;
  IconDarkBits bits{};
};

DarkIndices ClassifyPalette(const DibView& view, uint8_t threshold) {
  DarkIndices result;
  const size_t indices = size_t{1} << view.bitCount;
  const uint8_t* entry = view.colorTable();
  for (size_t i = 0; i < indices; ++i, entry += 4) {
    const bool dark = i < view.colorCount && (entry[0] + entry[1] + entry[2]) / 3 <= threshold;
    result.dark[i] = dark ? 0xFF : 0;
    if (!dark) result.light = static_cast<uint8_t>(i);
  }
  result.bits = IconDarkBitsOf(result.dark.data());
  return result;
}

// Moving the picture and then classifying it top row first comes to one pass from the bottom row
// in memory up: with P the picture before and S the moved one (S(x, y) = P(x - 1, y + 1), or L in
// the first column and the last row), a pixel becomes 2 where y > 0, x is not the last column and
// P(x, y) is dark, else 1 where S(x, y) is dark, else 0. Row y needs only rows y and y + 1 of P,
// and row y + 1 is still untouched when row y is written.

// One 8-bit row; below is row y + 1 of P, or null for the last row.
void EmbossRow8(uint8_t* here, const uint8_t* below, size_t width, uint8_t two, const DarkIndices& d, SimdLevel level) {
  const uint8_t* dark = d.dark.data();
  const uint8_t vacated = dark[d.light] & 1;
  if (width == 1) {
    here[0] = vacated;
    return;
  }
  here[0] = std::max<uint8_t>(dark[here[0]] & two, vacated);
  const size_t last = width - 1;
  size_t x = 1;
  if (below != nullptr) {
    if (level == SimdLevel::Avx512) {
      x += EmbossIconSpanAvx512(here + 1, below, last - 1, dark, two);
    } else if (HasAvx2(level)) {
      x += EmbossIconSpanAvx2(here + 1, below, last - 1, d.bits, two);
    }
    for (; x < last; ++x) here[x] = std::max<uint8_t>(dark[here[x]] & two, dark[below[x - 1]] & 1);
    here[last] = dark[below[last - 1]] & 1;
  } else {
    for (; x < last; ++x) here[x] = std::max<uint8_t>(dark[here[x]] & two, vacated);
    here[last] = vacated;
  }
}

// Nibble tables of the 4-bit pass: per byte of two indices, 1 or 2 in each nibble whose index is dark.
struct NibbleTables {
  std::array<uint8_t, 256> one{}, two{};
};

NibbleTables MakeNibbleTables(const DarkIndices& d) {
  NibbleTables t;
  for (int b = 0; b < 256; ++b) {
    const int high = d.dark[b >> 4] & 1, low = d.dark[b & 15] & 1;
    t.one[b] = static_cast<uint8_t>(high << 4 | low);
    t.two[b] = static_cast<uint8_t>(high << 5 | low << 1);
  }
  return t;
}

// One 4-bit row, two pixels a byte (high nibble first); below as for 8 bits. The nibble after an odd
// width keeps what it holds.
void EmbossRow4(uint8_t* here, const uint8_t* below, size_t width, uint8_t twoMask, const NibbleTables& t,
                uint8_t light) {
  const size_t bytes = (width + 1) / 2;
  // The 2 of the last pixel is never set.
  const uint8_t lastTwo = static_cast<uint8_t>(twoMask & (width & 1 ? 0x0F : 0xF0));
  uint8_t previous = light;  // low nibble: S of the first pixel
  for (size_t j = 0; j < bytes; ++j) {
    const uint8_t next = below != nullptr ? below[j] : static_cast<uint8_t>(light << 4 | light);
    const uint8_t moved = static_cast<uint8_t>(previous << 4 | next >> 4);
    previous = next;
    const uint8_t a = here[j];
    const uint8_t two = t.two[a] & (j + 1 == bytes ? lastTwo : twoMask);
    uint8_t out = static_cast<uint8_t>(two | (t.one[moved] & ~(two >> 1)));
    if (j + 1 == bytes && (width & 1)) out = static_cast<uint8_t>((out & 0xF0) | (a & 0x0F));
    here[j] = out;
  }
}

template <int kBits>
void Emboss(const DibView& view, uint8_t threshold) {
  const size_t width = static_cast<uint32_t>(view.width), rows = view.pixelRows();
  if (width == 0 || rows == 0) return;  // no pixel to move and no row byte to fill
  const DarkIndices indices = ClassifyPalette(view, threshold);
  const uint8_t light = indices.light;
  // The last row is all L before its pixels are classified, the bytes after them included.
  uint8_t* top = view.row(rows - 1);
  if constexpr (kBits == 8) {
    std::memset(top + width, light, view.stride - width);
    const SimdLevel level = ActiveSimdLevel();
    for (size_t y = 0; y < rows; ++y) {
      const uint8_t* below = y + 1 < rows ? view.row(y + 1) : nullptr;
      EmbossRow8(view.row(y), below, width, y > 0 ? 2 : 0, indices, level);
    }
  } else {
    const size_t bytes = (width + 1) / 2;
    std::memset(top + bytes, light << 4 | light, view.stride - bytes);
    if (width & 1) top[bytes - 1] = static_cast<uint8_t>((top[bytes - 1] & 0xF0) | light);
    const NibbleTables tables = MakeNibbleTables(indices);
    for (size_t y = 0; y < rows; ++y) {
      const uint8_t* below = y + 1 < rows ? view.row(y + 1) : nullptr;
      EmbossRow4(view.row(y), below, width, y > 0 ? 0x22 : 0, tables, light);
    }
  }
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
