#include <gtest/gtest.h>

#include "support/test_image.h"
#include "tone/histogram.h"
#include "tone_test_support.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::Grey;
using test::Repeated;
using test::Rgb;
using test::RowsOf;
using test::TestImage;

class HistogramTest : public test::MemoryCheckedTest {
 protected:
  static int Equalise(const TestImage& image) { return test::CallInPlace(image, ImgEqualise); }
  static int Normalise(const TestImage& image) { return test::CallInPlace(image, ImgNormalise); }

  // Runs the normalise routine on a locked bitmap, as the emboss and edge filters do.
  static int NormaliseLocked(const TestImage& image, const TransparencyArg& transparency) {
    HGLOBAL bitmap = image.bitmap();
    auto* data = static_cast<uint8_t*>(GlobalLock(bitmap));
    const int result = ImgNormalisePixels(DibBlock{data, GlobalSize(bitmap)}, transparency);
    GlobalUnlock(bitmap);
    return result;
  }

  static std::vector<uint32_t> Pixels(const TestImage& image) {
    std::vector<uint32_t> pixels;
    const BITMAPINFOHEADER header = image.header();
    const int rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    for (int r = 0; r < rows; ++r) {
      for (int x = 0; x < header.biWidth; ++x) pixels.push_back(image.pixel(x, r));
    }
    return pixels;
  }
};

// --- normalisation ---

TEST_F(HistogramTest, NormaliseStretchesFortyAndSixtyPercentGreysOntoTheRange) {
  // 100 pixels: 40 at level 50, 59 at 200 and one at 125; 1 % clips one pixel at each end.
  TestImage image({.depth = 32, .width = 10, .height = 10},
                  RowsOf(10, 10, Repeated({{Grey(50), 40}, {Grey(125), 1}, {Grey(200), 59}})));
  ASSERT_EQ(Normalise(image), 1);
  EXPECT_EQ(image.pixel(0, 0), Grey(0));
  EXPECT_EQ(image.pixel(0, 4), Grey(127));
  EXPECT_EQ(image.pixel(1, 4), Grey(254));
  EXPECT_EQ(image.pixel(9, 9), Grey(254));
}

TEST_F(HistogramTest, NormaliseClipsOnePercentAtEachEnd) {
  // One black and one white pixel in 100 lie inside the clip: the stretch runs from 100 to 150.
  TestImage image({.depth = 32, .width = 10, .height = 10},
                  RowsOf(10, 10, Repeated({{Grey(0), 1}, {Grey(100), 49}, {Grey(150), 49}, {Grey(255), 1}})));
  ASSERT_EQ(Normalise(image), 1);
  EXPECT_EQ(image.pixel(0, 0), Grey(0));
  EXPECT_EQ(image.pixel(1, 0), Grey(0));
  EXPECT_EQ(image.pixel(0, 5), Grey(254));
  EXPECT_EQ(image.pixel(9, 9), Grey(254));
}

TEST_F(HistogramTest, NormaliseFallsBackToTheOccupiedRangeWhenTheClipMeetsItself) {
  // Clipping one pixel leaves only level 100; the second search takes 30 and 100.
  TestImage image({.depth = 32, .width = 10, .height = 10}, RowsOf(10, 10, Repeated({{Grey(30), 1}, {Grey(100), 99}})));
  ASSERT_EQ(Normalise(image), 1);
  EXPECT_EQ(image.pixel(0, 0), Grey(0));
  EXPECT_EQ(image.pixel(5, 5), Grey(254));
}

TEST_F(HistogramTest, NormaliseOfFewerThanAHundredPixelsUsesTheOccupiedRange) {
  TestImage image({.depth = 32, .width = 3, .height = 1}, {{Grey(10), Grey(20), Grey(110)}});
  ASSERT_EQ(Normalise(image), 1);
  EXPECT_EQ(image.pixel(0, 0), Grey(0));
  EXPECT_EQ(image.pixel(1, 0), Grey(25));  // 10 * 254 / 100
  EXPECT_EQ(image.pixel(2, 0), Grey(254));
}

TEST_F(HistogramTest, NormaliseWeighsTheChannelsIntoLuminance) {
  // Pure green is level (150 * 255) >> 8 = 149, so the range is 0..149 and grey 100 maps to 170.
  TestImage image({.depth = 32, .width = 3, .height = 1}, {{Rgb(0, 255, 0), Grey(100), Grey(0)}});
  ASSERT_EQ(Normalise(image), 1);
  EXPECT_EQ(image.pixel(0, 0), Rgb(0, 254, 0));
  EXPECT_EQ(image.pixel(1, 0), Grey(170));
  EXPECT_EQ(image.pixel(2, 0), Grey(0));
}

TEST_F(HistogramTest, NormaliseLeavesAFlatImageAndStillReportsSuccess) {
  TestImage image({.depth = 32, .width = 4, .height = 4}, RowsOf(4, 4, Repeated({{0x80000000 | Grey(90), 16}})));
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Normalise(image), 1);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(NormaliseLocked(image, std::nullopt), 0);
}

TEST_F(HistogramTest, NormaliseOfTopDownRowsWalksTheAbsoluteHeight) {
  TestImage image({.depth = 32, .width = 2, .height = -2}, {{Grey(10), Grey(20)}, {Grey(30), Grey(60)}});
  ASSERT_EQ(Normalise(image), 1);
  EXPECT_EQ(Pixels(image), (std::vector<uint32_t>{Grey(0), Grey(50), Grey(101), Grey(254)}));
}

// --- equalisation ---

TEST_F(HistogramTest, EqualiseTurnsAFlatGreyWhite) {
  TestImage image({.depth = 32, .width = 5, .height = 5}, RowsOf(5, 5, Repeated({{Grey(77), 25}})));
  ASSERT_EQ(Equalise(image), 1);
  EXPECT_EQ(Pixels(image), std::vector<uint32_t>(25, Grey(255)));
}

TEST_F(HistogramTest, EqualiseMapsBlackToZeroAndTruncates) {
  // C[0] = 5, d = 20: level 100 maps to 255 * 10 / 20 = 127.5, truncated.
  TestImage image({.depth = 32, .width = 5, .height = 5},
                  RowsOf(5, 5, Repeated({{Grey(0), 5}, {Grey(100), 10}, {Grey(200), 10}})));
  ASSERT_EQ(Equalise(image), 1);
  EXPECT_EQ(Pixels(image), Repeated({{Grey(0), 5}, {Grey(127), 10}, {Grey(255), 10}}));
}

TEST_F(HistogramTest, EqualiseWithoutBlackStartsAboveZero) {
  // d = N = 25: the lowest occupied level maps to 255 * 10 / 25 = 102.
  TestImage image({.depth = 32, .width = 5, .height = 5}, RowsOf(5, 5, Repeated({{Grey(50), 10}, {Grey(150), 15}})));
  ASSERT_EQ(Equalise(image), 1);
  EXPECT_EQ(Pixels(image), Repeated({{Grey(102), 10}, {Grey(255), 15}}));
}

TEST_F(HistogramTest, EqualiseSendsEachChannelThroughTheLuminanceTable) {
  // Levels: 12 black, 12 at 100, and pure red at 76. C: 12 at 0, 13 from 76, 25 from 100; d = 13.
  TestImage image({.depth = 32, .width = 5, .height = 5},
                  RowsOf(5, 5, Repeated({{Grey(0), 12}, {Rgb(255, 0, 0), 1}, {Grey(100), 12}})));
  ASSERT_EQ(Equalise(image), 1);
  // Red 255 maps through T[255] = 255, its zero channels through T[0] = 0; grey 100 through
  // T[100] = 255 * 13 / 13.
  EXPECT_EQ(image.pixel(2, 2), Rgb(255, 0, 0));
  EXPECT_EQ(image.pixel(3, 2), Grey(255));
  EXPECT_EQ(image.pixel(0, 0), Grey(0));
}

TEST_F(HistogramTest, EqualiseWithASpreadOfOneOrLessDividesByOne) {
  TestImage image({.depth = 32, .width = 5, .height = 5}, RowsOf(5, 5, Repeated({{Grey(0), 24}, {Grey(10), 1}})));
  ASSERT_EQ(Equalise(image), 1);
  EXPECT_EQ(image.pixel(4, 4), Grey(255));
  EXPECT_EQ(image.pixel(0, 0), Grey(0));
}

struct SmallCase {
  int width, height;
};
class EqualiseRefusalTest : public HistogramTest, public ::testing::WithParamInterface<SmallCase> {};

TEST_P(EqualiseRefusalTest, SmallOrTopDownImagesStayAndTheExportReportsSuccess) {
  const SmallCase c = GetParam();
  TestImage image({.depth = 32, .width = c.width, .height = c.height});
  for (int r = 0; r < std::abs(c.height); ++r) {
    for (int x = 0; x < c.width; ++x) image.setPixel(x, r, Grey(static_cast<uint32_t>(10 * x + r)));
  }
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Equalise(image), 1);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(ImgEqualiseDib(image.bitmap(), std::nullopt), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EqualiseRefusalTest,
                         ::testing::Values(SmallCase{4, 100}, SmallCase{100, 4}, SmallCase{5, -5}, SmallCase{0, 5}));

// --- the transparency argument, shared by both ---

struct KeyCase {
  bool equalise;
  std::optional<uint32_t> transparentColor;  // none: no transparency
  bool keyed;                                // pixels in the colour stay, changed ones get alpha 0
};
class HistogramKeyTest : public HistogramTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(HistogramKeyTest, KeyPixelsStayAndChangedPixelsFollowTheMode) {
  const KeyCase c = GetParam();
  // Key COLORREF 0x00000064 is red 100: pixel form 0x00640000.
  const uint32_t keyPixel = Rgb(100, 0, 0);
  TestImage image(
      {.depth = 32, .width = 5, .height = 5},
      RowsOf(
          5, 5,
          Repeated(
              {{keyPixel, 2}, {0x40000000 | keyPixel, 1}, {0x80000000 | Grey(0), 11}, {0xFF000000 | Grey(200), 11}})));
  if (c.transparentColor) {
    image.edit([&](ImageRecord& r) {
      r.transparency = 0;
      r.transparentColor = *c.transparentColor;
    });
  }
  ASSERT_EQ(c.equalise ? Equalise(image) : Normalise(image), 1);
  // Both tables map 0 to 0 and 200 to their top; red 100 (level 30) moves under either.
  const uint32_t top = c.equalise ? 255 : 254;
  const uint32_t keepOrZero = c.keyed ? 0 : 1;
  if (c.keyed) {
    EXPECT_EQ(image.pixel(0, 0), keyPixel);
    EXPECT_EQ(image.pixel(1, 0), keyPixel);
  } else {
    EXPECT_NE(image.pixel(0, 0) & 0xFFFFFF, keyPixel);
  }
  // A pixel of the key colour with alpha 0x40 is not the key: it changes.
  EXPECT_NE(image.pixel(2, 0) & 0xFFFFFF, keyPixel);
  EXPECT_EQ(image.pixel(2, 0) >> 24, keepOrZero * 0x40);
  EXPECT_EQ(image.pixel(3, 0), keepOrZero * 0x80000000u | Grey(0));
  EXPECT_EQ(image.pixel(4, 4), keepOrZero * 0xFF000000u | Grey(top));
}

INSTANTIATE_TEST_SUITE_P(Modes, HistogramKeyTest,
                         ::testing::Values(KeyCase{true, std::nullopt, false}, KeyCase{true, 0x00000064, true},
                                           KeyCase{true, 0x80000064, false}, KeyCase{false, std::nullopt, false},
                                           KeyCase{false, 0x00000064, true}, KeyCase{false, 0x80000064, false}));

TEST_F(HistogramTest, NormaliseOnALockedBitmapTakesTheTransparencyArgument) {
  TestImage image({.depth = 32, .width = 3, .height = 1}, {{Rgb(0, 0, 0), 0x11000000 | Grey(40), Grey(80)}});
  ASSERT_EQ(NormaliseLocked(image, TransparencyArg{0x00000000}), 1);  // black is the key
  EXPECT_EQ(image.pixel(0, 0), 0u);
  EXPECT_EQ(image.pixel(1, 0), Grey(127));  // 40 * 254 / 80, alpha cleared under the key
  EXPECT_EQ(image.pixel(2, 0), Grey(254));
}

// --- the bitmap must hold what its header claims ---

TEST_F(HistogramTest, BitmapsThatClaimMoreThanTheirBlockAreLeftAlone) {
  for (bool equalise : {true, false}) {
    TestImage image({.depth = 32, .width = 10, .height = 10, .sizeOverride = 40 + 4 * 10 * 9});
    image.setPixel(0, 0, Grey(10));
    image.setPixel(1, 0, Grey(20));
    const std::vector<uint8_t> before = image.bytes();
    ASSERT_EQ(equalise ? Equalise(image) : Normalise(image), 1);
    EXPECT_EQ(image.bytes(), before);
    EXPECT_EQ(NormaliseLocked(image, std::nullopt), 0);
  }
}

TEST_F(HistogramTest, NormaliseOnALockedBitmapRefusesOtherDepthsAndNull) {
  TestImage image({.depth = 24, .width = 4, .height = 1}, {{0x000000, 0x101010, 0x808080, 0xFFFFFF}});
  const std::vector<uint8_t> before = image.bytes();
  EXPECT_EQ(NormaliseLocked(image, std::nullopt), 0);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(ImgNormalisePixels(DibBlock{}, std::nullopt), 0);
  EXPECT_EQ(ImgEqualisePixels(DibBlock{}, std::nullopt), 0);
}

TEST_F(HistogramTest, DibRoutinesReportALockFailure) {
  TestImage image({.depth = 32, .width = 5, .height = 5}, RowsOf(5, 5, Repeated({{Grey(3), 20}, {Grey(9), 5}})));
  Win32EmuFailNextLock(1);
  EXPECT_EQ(ImgNormaliseDib(image.bitmap(), std::nullopt), 0);
  Win32EmuFailNextLock(1);
  EXPECT_EQ(ImgEqualiseDib(image.bitmap(), std::nullopt), 0);
  EXPECT_EQ(ImgNormaliseDib(nullptr, std::nullopt), 0);
  EXPECT_EQ(ImgNormaliseDib(image.bitmap(), std::nullopt), 1);
  EXPECT_EQ(test::LockCount(image.bitmap()), 0);
}

}  // namespace
}  // namespace ormi
