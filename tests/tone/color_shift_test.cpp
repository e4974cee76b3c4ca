#include <gtest/gtest.h>

#include "support/test_image.h"
#include "tone/color_shift.h"
#include "tone_test_support.h"

namespace ormi {
namespace {

using test::ColorRef;
using test::Grey;
using test::Rgb;
using test::TestImage;

class ColorShiftTest : public test::MemoryCheckedTest {
 protected:
  static int ShiftRgb(const TestImage& image, int red, int green, int blue) {
    return test::CallInPlace(image, [=](HGLOBAL h) { return ImgAdjustColorRGB(h, red, green, blue); });
  }
  static int ShiftHsi(const TestImage& image, double hue, double saturation, double intensity) {
    return test::CallInPlace(image, [=](HGLOBAL h) { return ImgAdjustColorHSI(h, hue, saturation, intensity); });
  }
};

const std::vector<std::vector<uint32_t>> kMixed{{0x80000000 | Rgb(10, 100, 250), Rgb(0, 0, 0)},
                                                {0xFF000000 | Rgb(255, 128, 1), 0x01000000 | Grey(77)}};

TEST_F(ColorShiftTest, RgbShiftsEachChannelByItsOwnAmountAndHolds) {
  TestImage image({.depth = 32, .width = 2, .height = 2}, kMixed);
  ASSERT_EQ(ShiftRgb(image, 10, -50, 6), 1);
  EXPECT_EQ(image.pixel(0, 0), 0x80000000 | Rgb(20, 50, 255));
  EXPECT_EQ(image.pixel(1, 0), Rgb(10, 0, 6));
  EXPECT_EQ(image.pixel(0, 1), 0xFF000000 | Rgb(255, 78, 7));
  EXPECT_EQ(image.pixel(1, 1), 0x01000000 | Rgb(87, 27, 83));
}

TEST_F(ColorShiftTest, RgbShiftsOfThreeHundredSaturate) {
  TestImage image({.depth = 32, .width = 2, .height = 2}, kMixed);
  ASSERT_EQ(ShiftRgb(image, 300, -300, 0), 1);
  EXPECT_EQ(image.pixel(0, 0), 0x80000000 | Rgb(255, 0, 250));
  EXPECT_EQ(image.pixel(1, 1), 0x01000000 | Rgb(255, 0, 77));
}

TEST_F(ColorShiftTest, RgbShiftsAreTheLowSixteenBitsOfTheArguments) {
  TestImage image({.depth = 32, .width = 1, .height = 1}, {{Rgb(100, 100, 100)}});
  ASSERT_EQ(ShiftRgb(image, 0x10000 + 10, 0xFFFF, -0x10000), 1);  // +10, -1, 0
  EXPECT_EQ(image.pixel(0, 0), Rgb(110, 99, 100));
  // The largest shifts saturate rather than wrap round in 16 bits.
  ASSERT_EQ(ShiftRgb(image, 0x7FFF, -0x8000, 0x7FFF), 1);
  EXPECT_EQ(image.pixel(0, 0), Rgb(255, 0, 255));
}

TEST_F(ColorShiftTest, ZeroShiftsChangeNothingWithoutAKeyAndClearAlphaUnderOne) {
  {
    TestImage image({.depth = 32, .width = 2, .height = 2}, kMixed);
    const std::vector<uint8_t> before = image.bytes();
    ASSERT_EQ(ShiftRgb(image, 0, 0, 0), 1);
    EXPECT_EQ(image.bytes(), before);
  }
  {
    TestImage image({.depth = 32, .width = 2, .height = 2}, kMixed);
    image.setColorKey(ColorRef(0, 0, 0));
    ASSERT_EQ(ShiftRgb(image, 0, 0, 0), 1);
    EXPECT_EQ(image.pixel(0, 0), Rgb(10, 100, 250));
    EXPECT_EQ(image.pixel(1, 0), Rgb(0, 0, 0));
    EXPECT_EQ(image.pixel(0, 1), Rgb(255, 128, 1));
    EXPECT_EQ(image.pixel(1, 1), Grey(77));
  }
}

TEST_F(ColorShiftTest, HsiHalfTurnMakesRedCyanAndKeepsAlphaWithoutAKey) {
  TestImage image({.depth = 32, .width = 3, .height = 1},
                  {{0x44000000 | Rgb(255, 0, 0), Rgb(0, 0, 255), 0xFF000000 | Grey(200)}});
  ASSERT_EQ(ShiftHsi(image, 0.5, 0, 0), 1);
  EXPECT_EQ(image.pixel(0, 0), 0x44000000 | Rgb(0, 255, 255));
  EXPECT_EQ(image.pixel(1, 0), Rgb(255, 255, 0));
  EXPECT_EQ(image.pixel(2, 0), 0xFF000000 | Grey(200));  // a grey has no hue to turn
}

TEST_F(ColorShiftTest, HsiWithoutShiftsGivesEveryColourBack) {
  TestImage image({.depth = 32, .width = 2, .height = 2}, kMixed);
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(ShiftHsi(image, 0, 0, 0), 1);
  EXPECT_EQ(image.bytes(), before);
}

TEST_F(ColorShiftTest, HsiSaturationShiftOfMinusOneTurnsEveryPixelGrey) {
  TestImage image({.depth = 32, .width = 2, .height = 2}, kMixed);
  ASSERT_EQ(ShiftHsi(image, 0.2, -1, 0), 1);
  // Grey floor(255 (max + min) / 510 + 0.5): (250 + 10) / 2 = 130, (255 + 1) / 2 = 128.
  EXPECT_EQ(image.pixel(0, 0), 0x80000000 | Grey(130));
  EXPECT_EQ(image.pixel(1, 0), Grey(0));
  EXPECT_EQ(image.pixel(0, 1), 0xFF000000 | Grey(128));
  EXPECT_EQ(image.pixel(1, 1), 0x01000000 | Grey(77));
}

struct KeyCase {
  const char* name;
  bool hsi;
  bool alphaFlag;  // bit 31 of the transparent colour: the colour is not compared
};
class ColorShiftKeyTest : public ColorShiftTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ColorShiftKeyTest, KeyPixelsStayAndTheOthersFollowTheMode) {
  const KeyCase& c = GetParam();
  // Key blue 255: pixel form 0x0000FF; the same colour with alpha 0x20 is not the key.
  TestImage image({.depth = 32, .width = 3, .height = 1},
                  {{Rgb(0, 0, 255), 0x20000000 | Rgb(0, 0, 255), 0x90000000 | Rgb(255, 0, 0)}});
  test::SetTransparentColor(image, ColorRef(0, 0, 255) | (c.alphaFlag ? 0x80000000 : 0));
  ASSERT_EQ(c.hsi ? ShiftHsi(image, 0.5, 0, 0) : ShiftRgb(image, 255, 0, -255), 1);
  // Both shifts turn blue into yellow and red into cyan... or red into red for RGB.
  const uint32_t blueChanged = Rgb(255, 255, 0) & (c.hsi ? 0xFFFFFF : 0xFF0000);
  const uint32_t redChanged = c.hsi ? Rgb(0, 255, 255) : Rgb(255, 0, 0);
  if (c.alphaFlag) {
    EXPECT_EQ(image.pixel(0, 0), blueChanged);
    EXPECT_EQ(image.pixel(1, 0), 0x20000000 | blueChanged);
    EXPECT_EQ(image.pixel(2, 0), 0x90000000 | redChanged);
  } else {
    EXPECT_EQ(image.pixel(0, 0), Rgb(0, 0, 255));
    EXPECT_EQ(image.pixel(1, 0), blueChanged);
    EXPECT_EQ(image.pixel(2, 0), redChanged);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, ColorShiftKeyTest,
                         ::testing::Values(KeyCase{"RgbKey", false, false}, KeyCase{"RgbAlphaFlag", false, true},
                                           KeyCase{"HsiKey", true, false}, KeyCase{"HsiAlphaFlag", true, true}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(ColorShiftTest, TopDownRowsAreNotWalked) {
  TestImage image({.depth = 32, .width = 2, .height = -2}, kMixed);
  const std::vector<uint8_t> before = image.bytes();
  EXPECT_EQ(ShiftRgb(image, 40, 40, 40), 1);
  EXPECT_EQ(ShiftHsi(image, 0.5, 0, 0), 1);
  EXPECT_EQ(image.bytes(), before);
}

TEST_F(ColorShiftTest, LockedBitmapRoutinesRefuseWhatTheyCannotWalk) {
  TestImage wrongDepth({.depth = 24, .width = 2, .height = 1}, {{Grey(1), Grey(2)}});
  EXPECT_EQ(ImgAdjustColorRGBDib(wrongDepth.bitmap(), 1, 1, 1, std::nullopt), 0);
  EXPECT_EQ(ImgAdjustColorHSIDib(wrongDepth.bitmap(), 0.1, 0, 0, std::nullopt), 0);
  TestImage shortBlock({.depth = 32, .width = 2, .height = 3, .sizeOverride = 40 + 16});
  EXPECT_EQ(ImgAdjustColorRGBDib(shortBlock.bitmap(), 1, 1, 1, std::nullopt), 0);
  EXPECT_EQ(ImgAdjustColorHSIDib(shortBlock.bitmap(), 0.1, 0, 0, std::nullopt), 0);
  EXPECT_EQ(ImgAdjustColorRGBPixels(DibBlock{}, 1, 1, 1, std::nullopt), 0);
  EXPECT_EQ(ImgAdjustColorHSIPixels(DibBlock{}, 0.1, 0, 0, std::nullopt), 0);
  EXPECT_EQ(ImgAdjustColorRGBDib(nullptr, 1, 1, 1, std::nullopt), 0);
  EXPECT_EQ(test::LockCount(wrongDepth.bitmap()), 0);
  EXPECT_EQ(test::LockCount(shortBlock.bitmap()), 0);
}

}  // namespace
}  // namespace ormi
