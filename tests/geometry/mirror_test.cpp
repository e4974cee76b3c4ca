// ImgMirror: rows, columns or both, in place, at every depth.
#include <gtest/gtest.h>

#include <tuple>

#include "geometry_test_support.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::LockStateOf;
using test::Picture;
using test::PictureOf;
using test::TestImage;

class MirrorTest : public test::MemoryCheckedTest {
 protected:
  int Mirror(const TestImage& image, int rows, int columns) {
    const test::LockState before = LockStateOf(image);
    const size_t live = Win32EmuLiveBlocks();
    const int result = ImgMirror(image.handle(), rows, columns);
    EXPECT_EQ(LockStateOf(image), before);
    EXPECT_EQ(Win32EmuLiveBlocks(), live);
    return result;
  }
};

Picture Mirrored(Picture picture, bool rows, bool columns) {
  if (rows) std::reverse(picture.begin(), picture.end());
  if (columns) {
    for (std::vector<uint32_t>& row : picture) std::reverse(row.begin(), row.end());
  }
  return picture;
}

class MirrorDepthTest : public MirrorTest, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(MirrorDepthTest, EveryPixelTakesItsMirroredPlaceAndPaddingStays) {
  const auto [depth, width] = GetParam();
  for (int height : {1, 2, 5}) {
    TestImage image({.depth = depth, .width = width, .height = height});
    test::FillRandomRows(image, static_cast<unsigned>(depth * 100 + width * 7 + height));
    const Picture source = PictureOf(image.bitmap());
    const auto padding = test::PaddingBits(image.bitmap());
    for (auto [rows, columns] : {std::pair{1, 0}, std::pair{0, 1}, std::pair{1, 1}}) {
      SCOPED_TRACE(::testing::Message() << depth << "-bit " << width << "x" << height << " rows " << rows << " columns "
                                        << columns);
      ASSERT_EQ(Mirror(image, rows, columns), 1);
      EXPECT_EQ(PictureOf(image.bitmap()), Mirrored(source, rows, columns));
      // Whole rows travel with their padding; a column reversal leaves it where it is.
      auto expectedPadding = padding;
      if (rows) std::reverse(expectedPadding.begin(), expectedPadding.end());
      EXPECT_EQ(test::PaddingBits(image.bitmap()), expectedPadding);
      ASSERT_EQ(Mirror(image, rows, columns), 1);
      EXPECT_EQ(PictureOf(image.bitmap()), source);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, MirrorDepthTest,
                         ::testing::Values(std::tuple{1, 1}, std::tuple{1, 7}, std::tuple{1, 8}, std::tuple{1, 9},
                                           std::tuple{1, 16}, std::tuple{1, 24}, std::tuple{1, 31}, std::tuple{4, 1},
                                           std::tuple{4, 3}, std::tuple{4, 5}, std::tuple{4, 8}, std::tuple{8, 3},
                                           std::tuple{8, 4}, std::tuple{16, 3}, std::tuple{16, 4}, std::tuple{24, 5},
                                           std::tuple{24, 2}, std::tuple{32, 3}, std::tuple{32, 1}));

TEST_F(MirrorTest, OneBitRowOfThreeBytesReversesItsMiddleByteInPlace) {
  TestImage image({.depth = 1, .width = 24, .height = 2});
  std::vector<uint8_t> bytes = image.bytes();
  const uint8_t rows[2][3] = {{0x01, 0xB4, 0x80}, {0xF0, 0x0F, 0x33}};
  for (int r = 0; r < 2; ++r) std::memcpy(bytes.data() + 48 + 4 * r, rows[r], 3);
  test::SetBlockBytes(image.bitmap(), bytes);
  ASSERT_EQ(Mirror(image, 0, 1), 1);
  const std::vector<uint8_t> out = image.bytes();
  const uint8_t expected[2][3] = {{0x01, 0x2D, 0x80}, {0xCC, 0xF0, 0x0F}};
  for (int r = 0; r < 2; ++r) EXPECT_EQ(std::memcmp(out.data() + 48 + 4 * r, expected[r], 3), 0) << r;
}

TEST_F(MirrorTest, TwentyFourBitColumnsKeepTheMiddlePixelAndThePadding) {
  TestImage image({.depth = 24, .width = 5, .height = 3});
  test::FillRandomRows(image, 9);
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Mirror(image, 0, 1), 1);
  const std::vector<uint8_t> after = image.bytes();
  for (int r = 0; r < 3; ++r) {
    const size_t row = 40 + 16 * static_cast<size_t>(r);
    EXPECT_TRUE(std::equal(after.begin() + row + 6, after.begin() + row + 9, before.begin() + row + 6));
    EXPECT_EQ(after[row + 15], before[row + 15]);
    // Pixel 0 now holds pixel 4 in blue, green, red order.
    EXPECT_TRUE(std::equal(after.begin() + row, after.begin() + row + 3, before.begin() + row + 12));
  }
}

TEST_F(MirrorTest, BothFlipsZeroChangeNothingAndKeepTheGdiObject) {
  TestImage image({.depth = 8, .width = 3, .height = 2}, {{1, 2, 3}, {4, 5, 6}});
  HGDIOBJ gdi = Win32EmuCreateGdiObject();
  image.edit([&](ImageRecord& r) { r.gdiObject = OrmiFieldFromGdiObject(gdi); });
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Mirror(image, 0, 0), 1);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(image.record().gdiObject, OrmiFieldFromGdiObject(gdi));
  EXPECT_FALSE(Win32EmuGdiObjectDeleted(gdi));
  ASSERT_EQ(Mirror(image, 0, -7), 1);  // any value but 0 asks for the flip
  EXPECT_EQ(PictureOf(image.bitmap()), (Picture{{3, 2, 1}, {6, 5, 4}}));
  EXPECT_EQ(image.record().gdiObject, 0u);
  EXPECT_TRUE(Win32EmuGdiObjectDeleted(gdi));
}

TEST_F(MirrorTest, ASingleRowIsItsOwnUpsideDown) {
  TestImage image({.depth = 32, .width = 3, .height = 1}, {{1, 2, 3}});
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Mirror(image, 1, 0), 1);
  EXPECT_EQ(image.bytes(), before);
}

TEST_F(MirrorTest, TopDownRowsAreMirroredOverTheirStoredRows) {
  TestImage image({.depth = 8, .width = 2, .height = -3}, {{1, 2}, {3, 4}, {5, 6}});
  ASSERT_EQ(Mirror(image, 1, 1), 1);
  EXPECT_EQ(PictureOf(image.bitmap()), (Picture{{6, 5}, {4, 3}, {2, 1}}));
}

TEST_F(MirrorTest, DepthsWithoutAPixelLayoutStillFlipTheirRows) {
  TestImage image({.depth = 2, .width = 4, .height = 2});
  std::vector<uint8_t> bytes = image.bytes();
  const size_t offset = 40;  // the library gives a 2-bit bitmap no colour table
  bytes[offset] = 0x1B;
  bytes[offset + 4] = 0xE4;
  test::SetBlockBytes(image.bitmap(), bytes);
  ASSERT_EQ(Mirror(image, 1, 1), 1);
  const std::vector<uint8_t> out = image.bytes();
  EXPECT_EQ(out[offset], 0xE4);
  EXPECT_EQ(out[offset + 4], 0x1B);
}

TEST_F(MirrorTest, RefusalsGiveZeroAndChangeNothing) {
  EXPECT_EQ(ImgMirror(nullptr, 1, 1), 0);
  TestImage image({.depth = 8, .width = 3, .height = 2}, {{1, 2, 3}, {4, 5, 6}});
  const std::vector<uint8_t> before = image.bytes();
  const ImageRecord saved = image.record();
  auto restore = [&] { image.edit([&](ImageRecord& r) { r = saved; }); };

  image.edit([](ImageRecord& r) { r.magic[2] = 'X'; });
  EXPECT_EQ(Mirror(image, 1, 1), 0);
  restore();
  image.edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(Mirror(image, 1, 0), 0);
  EXPECT_EQ(Mirror(image, 0, 0), 1);  // nothing asked: answered before the bitmap is looked at
  image.edit([](ImageRecord& r) { r.flags |= ORMI_FLAG_LOCKED_IMAGE; });
  EXPECT_EQ(Mirror(image, 0, 0), 0);
  restore();
  image.edit([](ImageRecord& r) { r.header = 0; });
  EXPECT_EQ(Mirror(image, 1, 1), 0);
  restore();
  static_cast<BITMAPINFOHEADER*>(OrmiPointerFromField(saved.header))->biWidth = 4;
  EXPECT_EQ(Mirror(image, 1, 1), 0);
  static_cast<BITMAPINFOHEADER*>(OrmiPointerFromField(saved.header))->biWidth = 3;

  Win32EmuFailNextLock(2);  // the bitmap
  EXPECT_EQ(ImgMirror(image.handle(), 1, 1), 0);
  Win32EmuFailNextAlloc(1);  // the row buffer
  EXPECT_EQ(ImgMirror(image.handle(), 1, 1), 0);
  Win32EmuFailNextAlloc(0);
  EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1}));
  EXPECT_EQ(image.bytes(), before);

  TestImage tooShort({.depth = 32, .width = 4, .height = 4, .sizeOverride = 40 + 16 * 3});
  const std::vector<uint8_t> shortBefore = tooShort.bytes();
  EXPECT_EQ(Mirror(tooShort, 1, 1), 0);
  EXPECT_EQ(tooShort.bytes(), shortBefore);
}

}  // namespace
}  // namespace ormi
