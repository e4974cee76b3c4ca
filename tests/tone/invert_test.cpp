#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/test_image.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::LockStateOf;
using test::TestImage;

class InvertTest : public test::MemoryCheckedTest {
 protected:
  // Calls ImgInvert and checks that it left every lock as it found it.
  int Invert(const TestImage& image) {
    const test::LockState before = LockStateOf(image);
    const int result = ImgInvert(image.handle());
    EXPECT_EQ(LockStateOf(image), before);
    return result;
  }
};

uint32_t Entry(const TestImage& image, int i) {
  const std::vector<uint8_t> bytes = image.bytes();
  uint32_t value;
  std::memcpy(&value, bytes.data() + 40 + 4 * i, 4);
  return value;
}

TEST_F(InvertTest, PaletteImagesChangeOnlyTheColourTableAndItsCopy) {
  TestImage image({.depth = 8, .width = 3, .height = 2, .clrUsed = 3, .palette = {0x00102030, 0x00FFFFFF, 0x00000000}},
                  {{0, 1, 2}, {2, 1, 0}});
  ASSERT_EQ(Invert(image), 1);
  EXPECT_EQ(Entry(image, 0), 0xFFEFDFCFu);  // the reserved byte is complemented too
  EXPECT_EQ(Entry(image, 1), 0xFF000000u);
  EXPECT_EQ(Entry(image, 2), 0xFFFFFFFFu);
  EXPECT_EQ(image.pixel(0, 0), 0u);
  EXPECT_EQ(image.pixel(2, 0), 2u);
  EXPECT_EQ(image.pixel(0, 1), 2u);
  const std::vector<uint8_t> copy = image.headerCopyBytes(), bits = image.bytes();
  EXPECT_TRUE(std::equal(copy.begin(), copy.end(), bits.begin()));
}

TEST_F(InvertTest, PaletteEntriesInTheTransparentColourStayAtEveryIndex) {
  // COLORREF red 0x10, green 0x20, blue 0x30 is the table entry 0x00102030.
  TestImage image(
      {.depth = 4, .width = 2, .height = 1, .clrUsed = 4, .palette = {0x00102030, 0x00AABBCC, 0x00102030, 0x01102030}});
  image.setColorKey(0x00302010);
  ASSERT_EQ(Invert(image), 1);
  EXPECT_EQ(Entry(image, 0), 0x00102030u);
  EXPECT_EQ(Entry(image, 1), 0xFF554433u);
  EXPECT_EQ(Entry(image, 2), 0x00102030u);
  EXPECT_EQ(Entry(image, 3), 0xFEEFDFCFu);  // a different reserved byte does not match
}

TEST_F(InvertTest, ThirtyTwoBitsWithoutTransparencyComplementEveryByte) {
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{0x00000000, 0x80FF1020}});
  ASSERT_EQ(Invert(image), 1);
  EXPECT_EQ(image.pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(image.pixel(1, 0), 0x7F00EFDFu);
}

TEST_F(InvertTest, ThirtyTwoBitColourKeyMatchesOnlyWithAlphaZero) {
  // Key red: COLORREF 0x0000FF, pixel form 0x00FF0000.
  TestImage image({.depth = 32, .width = 3, .height = 1}, {{0x00FF0000, 0x80FF0000, 0xFF123456}});
  image.setColorKey(0x000000FF);
  ASSERT_EQ(Invert(image), 1);
  EXPECT_EQ(image.pixel(0, 0), 0x00FF0000u);
  EXPECT_EQ(image.pixel(1, 0), 0x0000FFFFu);
  EXPECT_EQ(image.pixel(2, 0), 0x00EDCBA9u);
}

TEST_F(InvertTest, ThirtyTwoBitAlphaTransparencyKeepsAlphaAndComparesNothing) {
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{0x00FF0000, 0x7F000000}});
  image.setAlphaTransparency(0x000000FF);
  ASSERT_EQ(Invert(image), 1);
  EXPECT_EQ(image.pixel(0, 0), 0x0000FFFFu);
  EXPECT_EQ(image.pixel(1, 0), 0x7FFFFFFFu);
}

TEST_F(InvertTest, TwentyFourBitKeyLeavesMatchesAndPadding) {
  TestImage image({.depth = 24, .width = 5, .height = 2},
                  {{0x102030, 0x000000, 0x102030, 0xFFFFFF, 0x0000FF}, {1, 2, 3, 4, 5}});
  image.setColorKey(0x00102030);  // red 0x30, green 0x20, blue 0x10: the pixel 0x302010 in our 0xRRGGBB
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Invert(image), 1);
  EXPECT_EQ(image.pixel(0, 0), 0xEFDFCFu);
  EXPECT_EQ(image.pixel(1, 0), 0xFFFFFFu);
  EXPECT_EQ(image.pixel(3, 0), 0x000000u);
  EXPECT_EQ(image.pixel(4, 1), 0xFFFFFAu);
  // The one padding byte of each 16-byte row is skipped.
  const std::vector<uint8_t> after = image.bytes();
  EXPECT_EQ(after[40 + 15], before[40 + 15]);
  EXPECT_EQ(after[40 + 31], before[40 + 31]);

  TestImage keyed({.depth = 24, .width = 2, .height = 1}, {{0x302010, 0x302011}});
  keyed.setColorKey(0x00102030);
  ASSERT_EQ(Invert(keyed), 1);
  EXPECT_EQ(keyed.pixel(0, 0), 0x302010u);
  EXPECT_EQ(keyed.pixel(1, 0), 0xCFDFEEu);
}

TEST_F(InvertTest, TwentyFourBitKeyWalksThreeBytePaddingLikeAPixel) {
  // A row of 3 pixels has 3 padding bytes, which the 3-byte walk reaches.
  TestImage image({.depth = 24, .width = 3, .height = 1}, {{1, 2, 3}});
  image.setColorKey(0x00FFFFFF);
  ASSERT_EQ(Invert(image), 1);
  const std::vector<uint8_t> bytes = image.bytes();
  EXPECT_EQ(bytes[40 + 9], 0xFF);
  EXPECT_EQ(bytes[40 + 11], 0xFF);
}

struct Key16Case {
  uint32_t compression;
  std::array<uint32_t, 3> masks;
  uint32_t colorref;
  uint16_t keyPixel;
};

class Invert16Test : public InvertTest, public ::testing::WithParamInterface<Key16Case> {};

TEST_P(Invert16Test, KeyFollowsTheFieldLayoutAndOddRowsSkipPadding) {
  const Key16Case& c = GetParam();
  for (int width : {2, 3}) {
    TestImage image({.depth = 16, .width = width, .height = 2, .compression = c.compression, .masks = c.masks});
    for (int r = 0; r < 2; ++r) {
      for (int x = 0; x < width; ++x) image.setPixel(x, r, x == 1 ? c.keyPixel : 0x1234u + x);
    }
    image.setColorKey(c.colorref);
    const std::vector<uint8_t> before = image.bytes();
    ASSERT_EQ(Invert(image), 1);
    for (int r = 0; r < 2; ++r) {
      EXPECT_EQ(image.pixel(1, r), c.keyPixel);
      EXPECT_EQ(image.pixel(0, r), static_cast<uint16_t>(~0x1234u));
      if (width == 3) {
        EXPECT_EQ(image.pixel(2, r), static_cast<uint16_t>(~0x1236u));
      }
    }
    if (width == 3) {  // rows are 8 bytes: 6 of pixels, 2 of padding
      const std::vector<uint8_t> after = image.bytes();
      const size_t offset = test::BitsOffsetOf({.depth = 16, .compression = c.compression});
      EXPECT_EQ(after[offset + 6], before[offset + 6]);
      EXPECT_EQ(after[offset + 15], before[offset + 15]);
    }
  }
}

// Red 0xFF, green 0x84, blue 0x08: 5-6-5 keeps six bits of green (0x21), 5-5-5 five (0x10).
INSTANTIATE_TEST_SUITE_P(
    Layouts, Invert16Test,
    ::testing::Values(
        Key16Case{BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 0x000884FF, static_cast<uint16_t>(31 << 11 | 0x21 << 5 | 1)},
        Key16Case{BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}, 0x000884FF, static_cast<uint16_t>(31 << 10 | 0x10 << 5 | 1)},
        Key16Case{BI_RGB, {}, 0x000884FF, static_cast<uint16_t>(31 << 10 | 0x10 << 5 | 1)}));

TEST_F(InvertTest, OneBitImagesInvertWithoutKeyAndStayWithOne) {
  TestImage image({.depth = 1, .width = 9, .height = 1, .palette = {0, 0xFFFFFF}});
  image.setPixel(0, 0, 1);
  ASSERT_EQ(Invert(image), 1);
  EXPECT_EQ(image.pixel(0, 0), 0u);
  EXPECT_EQ(image.pixel(8, 0), 1u);
  EXPECT_EQ(Entry(image, 1), 0x00FFFFFFu);  // the colour table is not touched

  image.setColorKey(0);
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Invert(image), 1);
  EXPECT_EQ(image.bytes(), before);
}

TEST_F(InvertTest, BytesBehindTheLastRowAreInvertedWithinTheBlock) {
  TestImage image({.depth = 32, .width = 1, .height = 1, .extraBytes = 3}, {{0}});
  ASSERT_EQ(Invert(image), 1);
  const std::vector<uint8_t> bytes = image.bytes();
  ASSERT_EQ(bytes.size(), 47u);
  EXPECT_EQ(bytes[44], 0xFF);
  EXPECT_EQ(bytes[46], 0xFF);
}

TEST_F(InvertTest, HeaderClaimsBeyondTheBlockStayInsideIt) {
  // The header claims 100 rows; the block holds one. The walk is bounded by the block.
  TestImage image({.depth = 24, .width = 4, .height = 100, .sizeOverride = 40 + 12});
  image.setColorKey(0x00FFFFFF);
  ASSERT_EQ(Invert(image), 1);
  EXPECT_EQ(image.pixel(0, 0), 0xFFFFFFu);
  // Tables that leave the block: refused like an unlockable bitmap, nothing changed.
  TestImage tables({.depth = 8, .width = 4, .height = 1, .sizeOverride = 200});
  const std::vector<uint8_t> before = tables.bytes();
  ASSERT_EQ(Invert(tables), 1);
  EXPECT_EQ(tables.bytes(), before);
}

TEST_F(InvertTest, BlockNoLargerThanTheTablesVisitsNothing) {
  TestImage image({.depth = 32, .width = 4, .height = 4, .sizeOverride = 40});
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Invert(image), 1);
  EXPECT_EQ(image.bytes(), before);
}

TEST_F(InvertTest, RefusalsReturnZeroAndChangeNothing) {
  EXPECT_EQ(ImgInvert(nullptr), 0);
  TestImage image({.depth = 32, .width = 2, .height = 2}, {{1, 2}, {3, 4}});
  const std::vector<uint8_t> before = image.bytes();

  image.edit([](ImageRecord& r) { r.magic[3] = '1'; });
  EXPECT_EQ(Invert(image), 0);
  image.edit([](ImageRecord& r) { r.magic[3] = '0'; });

  const uint32_t bitmap = image.record().bitmap;
  image.edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(Invert(image), 0);
  image.edit([&](ImageRecord& r) { r.bitmap = bitmap; });

  Win32EmuFailNextLock(1);  // the record
  EXPECT_EQ(ImgInvert(image.handle()), 0);
  Win32EmuFailNextLock(2);  // the bitmap: nothing changed, still 1
  EXPECT_EQ(ImgInvert(image.handle()), 1);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1}));
}

TEST_F(InvertTest, WorksWithoutAHeaderCopy) {
  TestImage image({.depth = 8, .width = 1, .height = 1, .clrUsed = 1, .palette = {0x00010203}});
  const uint32_t header = image.record().header;
  image.edit([](ImageRecord& r) { r.header = 0; });
  ASSERT_EQ(ImgInvert(image.handle()), 1);
  EXPECT_EQ(Entry(image, 0), 0xFFFEFDFCu);
  image.edit([&](ImageRecord& r) { r.header = header; });
}

// Inverting twice gives the source back, at every depth, with and without a key.
class InvertTwiceTest : public InvertTest, public ::testing::WithParamInterface<std::tuple<int, int, bool>> {};

TEST_P(InvertTwiceTest, GivesTheSourceBack) {
  const auto [depth, width, keyed] = GetParam();
  TestImage image({.depth = depth, .width = width, .height = 3});
  std::mt19937 random(static_cast<unsigned>(depth * 100 + width));
  std::vector<uint8_t> bytes = image.bytes();
  for (size_t i = 40; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random());
  // A colour key clears the alpha of changed 32-bit pixels, so start from alpha 0.
  if (depth == 32 && keyed) {
    for (size_t i = 43; i < bytes.size(); i += 4) bytes[i] = 0;
  }
  test::SetBlockBytes(image.bitmap(), bytes);
  if (keyed) image.setColorKey(0x00123456);
  ASSERT_EQ(Invert(image), 1);
  if (depth == 1 && keyed) {
    EXPECT_EQ(image.bytes(), bytes);  // a key cannot be honoured at 1 bit
  } else {
    EXPECT_NE(image.bytes(), bytes);
  }
  ASSERT_EQ(Invert(image), 1);
  EXPECT_EQ(image.bytes(), bytes);
}

INSTANTIATE_TEST_SUITE_P(Depths, InvertTwiceTest,
                         ::testing::Combine(::testing::Values(1, 4, 8, 16, 24, 32), ::testing::Values(1, 2, 3, 7, 33),
                                            ::testing::Bool()));

}  // namespace
}  // namespace ormi
