// Helpers of the geometry tests: whole pictures read back pixel by pixel, random pixels, padding,
// and the checks that every image a rotation hands over must pass.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "support/test_image.h"

namespace ormi::test {

using Picture = std::vector<std::vector<uint32_t>>;  // [stored row][x], values as ReadPixel gives them

inline BITMAPINFOHEADER HeaderOf(HGLOBAL bitmap) {
  const std::vector<uint8_t> bytes = BlockBytes(bitmap);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bytes.data(), sizeof header);
  return header;
}

inline Picture PictureOf(HGLOBAL bitmap) {
  const BITMAPINFOHEADER header = HeaderOf(bitmap);
  Picture picture(static_cast<size_t>(header.biHeight < 0 ? -header.biHeight : header.biHeight),
                  std::vector<uint32_t>(static_cast<size_t>(header.biWidth)));
  for (size_t r = 0; r < picture.size(); ++r) {
    for (size_t x = 0; x < picture[r].size(); ++x) {
      picture[r][x] = ReadPixel(bitmap, static_cast<int>(x), static_cast<int>(r));
    }
  }
  return picture;
}

// Random bytes in every pixel row, padding included, so that movers must not carry padding over.
inline void FillRandomRows(TestImage& image, unsigned seed) {
  std::vector<uint8_t> bytes = image.bytes();
  const BITMAPINFOHEADER header = image.header();
  const size_t offset =
      BitsOffsetOf({.depth = header.biBitCount, .compression = header.biCompression, .clrUsed = header.biClrUsed});
  std::mt19937 random(seed);
  for (size_t i = offset; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random());
  SetBlockBytes(image.bitmap(), bytes);
}

// The bits of every row behind its last pixel, as one string of 0/1 per row.
inline std::vector<std::vector<bool>> PaddingBits(HGLOBAL bitmap) {
  const BITMAPINFOHEADER header = HeaderOf(bitmap);
  const std::vector<uint8_t> bytes = BlockBytes(bitmap);
  const size_t offset =
      BitsOffsetOf({.depth = header.biBitCount, .compression = header.biCompression, .clrUsed = header.biClrUsed});
  const size_t stride = StrideOf(header.biWidth, header.biBitCount);
  const size_t rows = static_cast<size_t>(header.biHeight < 0 ? -header.biHeight : header.biHeight);
  std::vector<std::vector<bool>> padding(rows);
  for (size_t r = 0; r < rows; ++r) {
    for (size_t bit = static_cast<size_t>(header.biWidth) * header.biBitCount; bit < 8 * stride; ++bit) {
      padding[r].push_back((bytes[offset + r * stride + bit / 8] >> (7 - bit % 8)) & 1);
    }
  }
  return padding;
}

inline bool PaddingIsZero(HGLOBAL bitmap) {
  for (const std::vector<bool>& row : PaddingBits(bitmap)) {
    for (bool bit : row) {
      if (bit) return false;
    }
  }
  return true;
}

// A handed-over image: the record unlocked, "IM20", its bitmap unlocked and its header copy locked
// once and equal to the bitmap's header and tables.
inline void ExpectHandedOver(const TestImage& image) {
  const ImageRecord record = image.record();
  EXPECT_EQ(std::memcmp(record.magic, ORMI_RECORD_MAGIC, 4), 0);
  EXPECT_EQ(LockCount(image.handle()), 0);
  EXPECT_EQ(LockCount(image.bitmap()), 0);
  EXPECT_EQ(LockCount(GlobalHandle(OrmiPointerFromField(record.header))), 1);
  const std::vector<uint8_t> copy = image.headerCopyBytes(), bits = image.bytes();
  ASSERT_LE(copy.size(), bits.size());
  EXPECT_TRUE(std::equal(copy.begin(), copy.end(), bits.begin()));
  const BITMAPINFOHEADER header = image.header();
  EXPECT_EQ(record.width, header.biWidth);
  EXPECT_EQ(record.height, header.biHeight);
}

}  // namespace ormi::test
