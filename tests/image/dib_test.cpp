// The bitmap rules (colour count, tables, stride) and the records the library creates, which a
// host reads field by field.
#include <gtest/gtest.h>

#include <cstring>

#include "image/dib.h"
#include "image/record.h"
#include "support/test_image.h"

namespace ormi {
namespace {

struct LayoutCase {
  int depth;
  uint32_t compression, clrUsed;
  uint64_t colors, offset;
  int width;
  int64_t stride;
};

TEST(DibTest, ColorCountBitsOffsetAndStride) {
  // clang-format off
  const LayoutCase cases[] = {
      {1, BI_RGB, 0, 2, 48, 1, 4}, {4, BI_RGB, 0, 16, 104, 9, 8}, {8, BI_RGB, 0, 256, 1064, 5, 8},
      {8, BI_RGB, 3, 3, 52, 4, 4}, {24, BI_RGB, 0, 0, 40, 5, 16}, {24, BI_RGB, 2, 2, 48, 0, 0},
      {32, BI_BITFIELDS, 0, 0, 52, 7, 28}, {32, BI_RGB, 0, 0, 40, INT32_MAX, int64_t{INT32_MAX} * 4},
      {16, BI_BITFIELDS, 2, 2, 60, 3, 8}, {24, BI_BITFIELDS, 0, 0, 40, 1, 4}, {8, BI_BITFIELDS, 0, 256, 1064, 3, 4}};
  // clang-format on
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.depth << " bits, compression " << c.compression << ", " << c.clrUsed);
    BITMAPINFOHEADER h{.biSize = 40, .biWidth = c.width, .biHeight = 1, .biPlanes = 1};
    h.biBitCount = static_cast<WORD>(c.depth), h.biCompression = c.compression, h.biClrUsed = c.clrUsed;
    EXPECT_EQ(DibColorCount(h), c.colors);
    EXPECT_EQ(DibBitsOffset(h), c.offset);
    EXPECT_EQ(DibStride(c.width, c.depth), c.stride);
  }
}

// A new record as a host fills it, its header copy locked for the record's life.
TEST(DibTest, CreatedRecordsAreFilledAsAHostExpects) {
  test::BitmapSpec layout{.depth = 8, .width = 3, .height = -5, .clrUsed = 4, .palette = {0x11, 0x22, 0x33, 0x44}};
  HGLOBAL bitmap = test::MakeBitmap(layout);
  test::TestImage image(CreateImageRecord(bitmap, 7, 0x80123456u));
  ASSERT_NE(image.handle(), nullptr);
  EXPECT_EQ(test::LockStateOf(image), (test::LockState{0, 0, 1}));
  const std::vector<uint8_t> raw = test::BlockBytes(image.handle());
  ASSERT_EQ(raw.size(), 120u);
  // clang-format off
  const uint8_t expected[][5] = {{0, 'I', 'M', '2', '0'}, {8, 16, 0, 0, 0}, {12, 3, 0, 0, 0}, {16, 5, 0, 0, 0},
      {20, 3, 0, 0, 0}, {24, 5, 0, 0, 0}, {28, 0, 0, 0, 0}, {32, 0xFF, 0xFF, 0xFF, 0xFF}, {40, 0, 0, 0, 0},
      {44, 0, 0, 0, 0}, {64, 0x20, 0, 0xCC, 0}, {68, 0, 0, 0, 0}, {84, 1, 0, 0, 0}, {88, 0, 0, 0, 0}, {92, 1, 0, 0, 0},
      {96, 0, 0, 0, 0}, {104, 7, 0, 0, 0}, {108, 0x56, 0x34, 0x12, 0x80}, {112, 0, 0, 0, 0}, {116, 0, 0, 0, 0}};
  // clang-format on
  for (const auto& field : expected)
    EXPECT_EQ(std::memcmp(raw.data() + field[0], field + 1, 4), 0) << "field at +" << int{field[0]};
  EXPECT_EQ(OrmiHandleFromField(image.record().bitmap), bitmap);
  const std::vector<uint8_t> copy = image.headerCopyBytes(), bits = test::BlockBytes(bitmap);
  ASSERT_EQ(copy.size(), 40u + 16u);
  EXPECT_TRUE(std::equal(copy.begin(), copy.end(), bits.begin()));
  EXPECT_EQ(CreateImageRecord(nullptr), nullptr);
}

}  // namespace
}  // namespace ormi
