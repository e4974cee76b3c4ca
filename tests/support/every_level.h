// The vector levels a test can force, hand-computed examples run once per level this processor has
// (scalar first, so the plain scalar kernels meet the worked values on any machine), and the pixel
// builders the example tables share.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "simd/simd_level.h"
#include "support/test_image.h"

namespace ormi::test {

// Scalar up to the detected level.
inline std::vector<SimdLevel> SimdLevelsToTest() {
  std::vector<SimdLevel> levels;
  for (int level = 0; level <= static_cast<int>(DetectedSimdLevel()); ++level)
    levels.push_back(static_cast<SimdLevel>(level));
  return levels;
}

inline const char* SimdLevelName(SimdLevel level) {
  constexpr const char* kNames[] = {"scalar", "sse2", "avx2", "avx512"};
  return kNames[static_cast<int>(level)];
}

class ScopedSimdLevel {
 public:
  explicit ScopedSimdLevel(SimdLevel level) { ForceSimdLevelForTesting(level); }
  ~ScopedSimdLevel() { ForceSimdLevelForTesting(std::nullopt); }
  ScopedSimdLevel(const ScopedSimdLevel&) = delete;
  ScopedSimdLevel& operator=(const ScopedSimdLevel&) = delete;
};

// Runs check() at every level, each failure naming its level; the detected level is back
// afterwards even when a check stops early.
template <class Check>
void AtEveryLevel(Check check) {
  for (SimdLevel level : SimdLevelsToTest()) {
    const ScopedSimdLevel forced(level);
    SCOPED_TRACE(SimdLevelName(level));
    check();
  }
}

// Pixels as ReadPixel gives them: a grey or a colour with an alpha byte, and a COLORREF (the form
// of the record's transparent colour).
constexpr uint32_t Grey(uint32_t v, uint32_t alpha = 0) { return alpha << 24 | v * 0x010101u; }
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b, uint32_t alpha = 0) {
  return alpha << 24 | r << 16 | g << 8 | b;
}
constexpr uint32_t ColorRef(uint32_t red, uint32_t green, uint32_t blue) { return blue << 16 | green << 8 | red; }

using Picture = std::vector<std::vector<uint32_t>>;  // [stored row][x], values as ReadPixel gives them

// Rows of `width` pixels repeating `pattern` from the left.
inline Picture Tiled(const std::vector<uint32_t>& pattern, int width, int height) {
  std::vector<uint32_t> row(static_cast<size_t>(width));
  for (size_t x = 0; x < row.size(); ++x) row[x] = pattern[x % pattern.size()];
  return Picture(static_cast<size_t>(std::abs(height)), row);
}

inline Picture PictureOf(HGLOBAL bitmap) {
  const BITMAPINFOHEADER h = HeaderOf(bitmap);
  Picture picture(static_cast<size_t>(h.biHeight < 0 ? -h.biHeight : h.biHeight),
                  std::vector<uint32_t>(static_cast<size_t>(h.biWidth)));
  for (size_t r = 0; r < picture.size(); ++r)
    for (size_t x = 0; x < picture[r].size(); ++x) picture[r][x] = ReadPixel(bitmap, int(x), int(r));
  return picture;
}

// A plain bitmap handle (no record) built from rows, freed at the end of its scope.
class OwnedBitmap {
 public:
  explicit OwnedBitmap(HGLOBAL handle) : handle_(handle) {}
  OwnedBitmap(const BitmapSpec& bitmapSpec, const Picture& rows) : handle_(MakeBitmap(bitmapSpec)) {
    for (size_t r = 0; r < rows.size(); ++r)
      for (size_t x = 0; x < rows[r].size(); ++x) WritePixel(handle_, int(x), int(r), rows[r][x]);
  }
  OwnedBitmap(const OwnedBitmap&) = delete;
  OwnedBitmap& operator=(const OwnedBitmap&) = delete;
  ~OwnedBitmap() {
    if (handle_) GlobalFree(handle_);
  }
  HGLOBAL handle() const { return handle_; }
  uint32_t pixel(int x, int row) const { return ReadPixel(handle_, x, row); }
  BITMAPINFOHEADER header() const { return HeaderOf(handle_); }

 private:
  HGLOBAL handle_;
};

// Offsets in the block of the whole bytes behind each row's last pixel.
inline std::vector<size_t> PaddingOffsets(HGLOBAL bitmap) {
  const BITMAPINFOHEADER h = HeaderOf(bitmap);
  const size_t offset = BitsOffsetOf({.depth = h.biBitCount, .compression = h.biCompression, .clrUsed = h.biClrUsed});
  const size_t stride = StrideOf(h.biWidth, h.biBitCount), used = (size_t{1} * h.biWidth * h.biBitCount + 7) / 8;
  std::vector<size_t> offsets;
  for (size_t r = 0; r < static_cast<size_t>(h.biHeight < 0 ? -h.biHeight : h.biHeight); ++r)
    for (size_t i = used; i < stride; ++i) offsets.push_back(offset + r * stride + i);
  return offsets;
}

inline void FillPadding(HGLOBAL bitmap, uint8_t value) {
  std::vector<uint8_t> bytes = BlockBytes(bitmap);
  for (size_t at : PaddingOffsets(bitmap)) bytes[at] = value;
  SetBlockBytes(bitmap, bytes);
}

inline bool PaddingIs(HGLOBAL bitmap, uint8_t value) {
  const std::vector<uint8_t> bytes = BlockBytes(bitmap);
  const std::vector<size_t> offsets = PaddingOffsets(bitmap);
  return std::all_of(offsets.begin(), offsets.end(), [&](size_t at) { return bytes[at] == value; });
}

// Runs call(image) at every level on two rows of the example's pixels, and on two rows of them
// repeated to a width of 67 or more (whole repeats, so that means and histograms stay the
// example's, and the vector bodies and tails all meet it); expects 1, every pixel as the example
// says and the row padding untouched.
template <class Call>
void ExpectExample(BitmapSpec bitmap, std::optional<uint32_t> transparentColor,
                   const std::vector<std::pair<uint32_t, uint32_t>>& pixels, Call call) {
  std::vector<uint32_t> before, after;
  for (const auto& [from, to] : pixels) before.push_back(from), after.push_back(to);
  const int n = static_cast<int>(before.size());
  AtEveryLevel([&] {
    for (int width : {n, n * ((67 + n - 1) / n)}) {
      bitmap.width = width, bitmap.height = 2;
      TestImage image(bitmap, Tiled(before, width, 2));
      FillPadding(image.bitmap(), 0x5A);
      if (transparentColor)
        image.edit([&](ImageRecord& r) { r.transparency = 1, r.transparentColor = *transparentColor; });
      ASSERT_EQ(call(image.handle()), 1);
      EXPECT_EQ(PictureOf(image.bitmap()), Tiled(after, width, 2)) << "width " << width;
      EXPECT_TRUE(PaddingIs(image.bitmap(), 0x5A)) << "width " << width;
    }
  });
}

}  // namespace ormi::test
