#include <gtest/gtest.h>

#include "image/dib.h"
#include "support/test_image.h"

namespace ormi {
namespace {

BITMAPINFOHEADER Header(int depth, uint32_t compression = BI_RGB, uint32_t clrUsed = 0, int width = 1) {
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = 1;
  h.biBitCount = static_cast<WORD>(depth);
  h.biCompression = compression;
  h.biClrUsed = clrUsed;
  return h;
}

struct LayoutCase {
  int depth;
  uint32_t compression, clrUsed;
  uint64_t colors, offset;
};

class DibLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DibLayoutTest, ColorCountAndBitsOffset) {
  const LayoutCase& c = GetParam();
  const BITMAPINFOHEADER h = Header(c.depth, c.compression, c.clrUsed);
  EXPECT_EQ(DibColorCount(h), c.colors);
  EXPECT_EQ(DibBitsOffset(h), c.offset);
}

INSTANTIATE_TEST_SUITE_P(Depths, DibLayoutTest,
                         ::testing::Values(LayoutCase{1, BI_RGB, 0, 2, 48}, LayoutCase{4, BI_RGB, 0, 16, 104},
                                           LayoutCase{8, BI_RGB, 0, 256, 1064}, LayoutCase{8, BI_RGB, 3, 3, 52},
                                           LayoutCase{24, BI_RGB, 0, 0, 40}, LayoutCase{24, BI_RGB, 2, 2, 48},
                                           LayoutCase{32, BI_BITFIELDS, 0, 0, 52}, LayoutCase{32, BI_RGB, 0, 0, 40},
                                           LayoutCase{16, BI_BITFIELDS, 2, 2, 60},
                                           LayoutCase{24, BI_BITFIELDS, 0, 0, 40},
                                           LayoutCase{8, BI_BITFIELDS, 0, 256, 1064}));

TEST(DibStrideTest, RowsArePaddedToFourBytes) {
  EXPECT_EQ(DibStride(1, 1), 4);
  EXPECT_EQ(DibStride(5, 24), 16);
  EXPECT_EQ(DibStride(9, 4), 8);
  EXPECT_EQ(DibStride(3, 16), 8);
  EXPECT_EQ(DibStride(7, 32), 28);
  EXPECT_EQ(DibStride(0, 24), 0);
  // 64-bit arithmetic: the largest header width does not wrap.
  EXPECT_EQ(DibStride(INT32_MAX, 32), int64_t{INT32_MAX} * 4);
}

class ViewDibTest : public test::MemoryCheckedTest {
 protected:
  std::optional<DibView> View(const test::BitmapSpec& bitmapSpec, DibExtent extent) {
    HGLOBAL bitmap = test::MakeBitmap(bitmapSpec);
    auto* data = static_cast<uint8_t*>(GlobalLock(bitmap));
    std::optional<DibView> view = ViewDib(DibBlock{data, GlobalSize(bitmap)}, extent);
    GlobalUnlock(bitmap);
    GlobalFree(bitmap);
    return view;
  }
};

TEST_F(ViewDibTest, AcceptsABitmapThatFitsItsBlock) {
  const auto view = View({.depth = 24, .width = 5, .height = -3}, DibExtent::Rows);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->stride, 16u);
  EXPECT_EQ(view->rows, 3u);
  EXPECT_TRUE(view->topDown());
  EXPECT_EQ(view->bitsOffset, 40u);
}

TEST_F(ViewDibTest, RefusesRowsBeyondTheBlock) {
  test::BitmapSpec bitmapSpec{.depth = 32, .width = 4, .height = 4};
  bitmapSpec.sizeOverride = static_cast<long>(test::BitsOffsetOf(bitmapSpec) + 4 * 4 * 4 - 1);
  EXPECT_FALSE(View(bitmapSpec, DibExtent::Rows));
  EXPECT_TRUE(View(bitmapSpec, DibExtent::Tables));
}

TEST_F(ViewDibTest, RefusesTablesBeyondTheBlock) {
  test::BitmapSpec bitmapSpec{.depth = 8, .width = 4, .height = 1};
  bitmapSpec.sizeOverride = 40 + 4 * 255;
  EXPECT_FALSE(View(bitmapSpec, DibExtent::Tables));
  bitmapSpec.clrUsed = 0xFFFFFFFF;  // a colour count that would wrap 32-bit arithmetic
  bitmapSpec.sizeOverride = 2000;
  EXPECT_FALSE(View(bitmapSpec, DibExtent::Tables));
}

TEST_F(ViewDibTest, RefusesHeaderlessBlocksAndNegativeWidths) {
  EXPECT_FALSE(View({.depth = 32, .width = 1, .height = 1, .sizeOverride = 39}, DibExtent::Tables));
  EXPECT_FALSE(View({.depth = 32, .width = -4, .height = 1, .sizeOverride = 200}, DibExtent::Rows));
  EXPECT_FALSE(ViewDib(DibBlock{nullptr, 100}));
}

TEST_F(ViewDibTest, HugeHeaderSizesDoNotOverflowTheCheck) {
  test::BitmapSpec bitmapSpec{.depth = 32, .width = 1, .height = 1};
  HGLOBAL bitmap = test::MakeBitmap(bitmapSpec);
  auto* data = static_cast<uint8_t*>(GlobalLock(bitmap));
  BITMAPINFOHEADER h = ReadInfoHeader(data);
  h.biWidth = INT32_MAX;
  h.biHeight = INT32_MIN;
  std::memcpy(data, &h, sizeof h);
  EXPECT_FALSE(ViewDib(DibBlock{data, GlobalSize(bitmap)}));
  GlobalUnlock(bitmap);
  GlobalFree(bitmap);
}

TEST(DibRgb16LayoutTest, ShiftsComeFromTheMasks) {
  alignas(4) uint8_t block[64] = {};
  BITMAPINFOHEADER h = Header(16, BI_BITFIELDS);
  std::memcpy(block, &h, sizeof h);
  const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
  std::memcpy(block + 40, masks, 12);
  auto view = ViewDib(DibBlock{block, sizeof block});
  ASSERT_TRUE(view);
  Rgb16Layout layout = DibRgb16Layout(*view);
  EXPECT_EQ(layout.redShift, 11);
  EXPECT_EQ(layout.greenShift, 5);
  EXPECT_EQ(layout.blueShift, 0);
  EXPECT_TRUE(layout.sixBitGreen());

  h.biCompression = BI_RGB;
  std::memcpy(block, &h, sizeof h);
  view = ViewDib(DibBlock{block, sizeof block});
  layout = DibRgb16Layout(*view);
  EXPECT_EQ(layout.redShift, 10);
  EXPECT_FALSE(layout.sixBitGreen());

  // A mask with no bits in its low half gives a shift of 0.
  h.biCompression = BI_BITFIELDS;
  std::memcpy(block, &h, sizeof h);
  const uint32_t highMasks[3] = {0xF8000000, 0x07E0, 0};
  std::memcpy(block + 40, highMasks, 12);
  view = ViewDib(DibBlock{block, sizeof block});
  layout = DibRgb16Layout(*view);
  EXPECT_EQ(layout.redShift, 0);
  EXPECT_EQ(layout.blueShift, 0);
}

}  // namespace
}  // namespace ormi
