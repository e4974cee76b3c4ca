// Pixel and colour-table helpers of the tone family's tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/test_image.h"

namespace ormi::test {

constexpr uint32_t Grey(uint32_t level) { return level * 0x010101u; }
constexpr uint32_t Rgb(uint32_t red, uint32_t green, uint32_t blue) { return red << 16 | green << 8 | blue; }
// The same colour as a COLORREF, the form of the record's transparent colour.
constexpr uint32_t ColorRef(uint32_t red, uint32_t green, uint32_t blue) { return blue << 16 | green << 8 | red; }

// Colour-table entry i of a bitmap as a 32-bit value (blue in the low byte, reserved in the high).
inline uint32_t PaletteEntry(const TestImage& image, int i) {
  const std::vector<uint8_t> bytes = image.bytes();
  const size_t at = 40 + 4 * static_cast<size_t>(i);
  return static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
}

// Transparency in force with this exact transparentColor value (bit 31 included).
inline void SetTransparentColor(TestImage& image, uint32_t value) {
  image.edit([value](ImageRecord& r) { r.transparency = 1, r.transparentColor = value; });
}

// Whether the header copy holds the bitmap's header and tables byte for byte.
inline bool HeaderCopyMatches(const TestImage& image, size_t bytes) {
  const std::vector<uint8_t> copy = image.headerCopyBytes(), bits = image.bytes();
  return copy.size() >= bytes && std::equal(copy.begin(), copy.begin() + static_cast<long>(bytes), bits.begin());
}

// Rows of `width` pixels filled from `values` in order, `height` rows.
inline std::vector<std::vector<uint32_t>> RowsOf(int width, int height, const std::vector<uint32_t>& values) {
  std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height));
  for (size_t i = 0; i < values.size(); ++i) rows[i / static_cast<size_t>(width)].push_back(values[i]);
  return rows;
}

}  // namespace ormi::test
