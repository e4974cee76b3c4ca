#include <gtest/gtest.h>

#include "image/global_memory.h"
#include "support/test_image.h"
#include "tone/adj_contrast.h"
#include "tone/pixel_walk.h"
#include "tone_test_support.h"

namespace ormi {
namespace {

using test::ColorRef;
using test::Grey;
using test::Rgb;
using test::TestImage;

class AdjContrastTest : public test::MemoryCheckedTest {
 protected:
  static int Adjust(const TestImage& image, int mode) {
    return test::CallInPlace(image, [mode](HGLOBAL h) { return ImgAdjContrast(h, mode); });
  }
};

struct GreyCase {
  uint32_t level, raised, lowered;
};
class AdjContrastGreyTest : public AdjContrastTest, public ::testing::WithParamInterface<GreyCase> {};

TEST_P(AdjContrastGreyTest, MovesTheIntensityHalfWayAlongTheCurve) {
  const GreyCase& c = GetParam();
  for (int mode : {1, 0, -3, 7}) {
    TestImage image({.depth = 32, .width = 1, .height = 1}, {{0x5A000000 | Grey(c.level)}});
    ASSERT_EQ(Adjust(image, mode), 1);
    EXPECT_EQ(image.pixel(0, 0), 0x5A000000 | Grey(mode != 0 ? c.raised : c.lowered)) << "mode " << mode;
  }
}

// The curve fixes 0, 1/2 and 1; 128 is 0.502, close enough to stay.
INSTANTIATE_TEST_SUITE_P(Greys, AdjContrastGreyTest,
                         ::testing::Values(GreyCase{64, 51, 77}, GreyCase{192, 205, 179}, GreyCase{0, 0, 0},
                                           GreyCase{255, 255, 255}, GreyCase{128, 128, 128}));

TEST_F(AdjContrastTest, RaisingThenLoweringDoesNotRestore) {
  TestImage image({.depth = 32, .width = 1, .height = 1}, {{Grey(10)}});
  ASSERT_EQ(Adjust(image, 1), 1);
  EXPECT_EQ(image.pixel(0, 0), Grey(5));
  ASSERT_EQ(Adjust(image, 0), 1);
  EXPECT_EQ(image.pixel(0, 0), Grey(7));
}

TEST_F(AdjContrastTest, ASaturatedColourKeepsItsHue) {
  // Red 200: l = 100/255 and s = 1, so red is 2 l' and the others stay 0.
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{Rgb(200, 0, 0), Rgb(0, 0, 255)}});
  ASSERT_EQ(Adjust(image, 1), 1);
  EXPECT_EQ(image.pixel(0, 0), Rgb(185, 0, 0));
  EXPECT_EQ(image.pixel(1, 0), Rgb(0, 0, 255));  // l = 1/2 is fixed
  ASSERT_EQ(Adjust(image, 0), 1);
  EXPECT_EQ(GreenOf(image.pixel(0, 0)), 0);
  EXPECT_EQ(BlueOf(image.pixel(0, 0)), 0);
}

TEST_F(AdjContrastTest, KeyPixelsStayAndTheOthersLoseTheirAlpha) {
  TestImage image({.depth = 32, .width = 3, .height = 1}, {{Grey(64), 0x33000000 | Grey(64), 0xFF000000 | Grey(192)}});
  image.setColorKey(ColorRef(64, 64, 64));
  ASSERT_EQ(Adjust(image, 1), 1);
  EXPECT_EQ(image.pixel(0, 0), Grey(64));
  EXPECT_EQ(image.pixel(1, 0), Grey(51));
  EXPECT_EQ(image.pixel(2, 0), Grey(205));

  image.setAlphaTransparency(ColorRef(51, 51, 51));
  image.setPixel(0, 0, 0x77000000 | Grey(192));
  ASSERT_EQ(Adjust(image, 0), 1);
  EXPECT_EQ(image.pixel(0, 0), 0x77000000 | Grey(179));
}

TEST_F(AdjContrastTest, TopDownRowsAreNotWalked) {
  TestImage image({.depth = 32, .width = 1, .height = -2}, {{Grey(64)}, {Grey(192)}});
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Adjust(image, 1), 1);
  EXPECT_EQ(image.bytes(), before);
  GlobalLockGuard lock(image.bitmap());
  EXPECT_EQ(ImgAdjContrastPixels(lock.block(), 1, std::nullopt), 1);
}

TEST_F(AdjContrastTest, LockedBitmapRoutinesReportWhatTheyRefuse) {
  TestImage wrongDepth({.depth = 24, .width = 1, .height = 1}, {{Grey(64)}});
  EXPECT_EQ(ImgAdjContrastDib(wrongDepth.bitmap(), 1, std::nullopt), 0);
  EXPECT_EQ(wrongDepth.pixel(0, 0), Grey(64));
  EXPECT_EQ(ImgAdjContrastPixels(DibBlock{}, 1, std::nullopt), 0);
  TestImage image({.depth = 32, .width = 1, .height = 1}, {{Grey(64)}});
  Win32EmuFailNextLock(1);
  EXPECT_EQ(ImgAdjContrastDib(image.bitmap(), 1, std::nullopt), 0);
  EXPECT_EQ(ImgAdjContrastDib(image.bitmap(), 1, std::nullopt), 1);
  EXPECT_EQ(image.pixel(0, 0), Grey(51));
  EXPECT_EQ(test::LockCount(image.bitmap()), 0);
}

}  // namespace
}  // namespace ormi
