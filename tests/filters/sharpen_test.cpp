#include <gtest/gtest.h>

#include "filter_test_support.h"

namespace ormi {
namespace {

using test::Grey;
using test::Spec32;
using test::TestImage;

class SharpenTest : public test::FilterTest {
 protected:
  int Sharpen(const TestImage& image, double amount) {
    return Checked(image, [&](HGLOBAL h) { return ImgSharpen(h, amount); });
  }
};

struct CentreCase {
  double amount;
  uint32_t centre, neighbours, expected;
};

class SharpenCentreTest : public SharpenTest, public ::testing::WithParamInterface<CentreCase> {};

TEST_P(SharpenCentreTest, CentreIsPushedAwayFromItsNeighbours) {
  const CentreCase& c = GetParam();
  TestImage image(Spec32(3, 3), test::FlatRows(3, 3, Grey(c.neighbours, 0x33)));
  image.setPixel(1, 1, Grey(c.centre, 0x99));
  ASSERT_EQ(Sharpen(image, c.amount), 1);
  EXPECT_EQ(image.pixel(1, 1), Grey(c.expected, 0x99));
  EXPECT_EQ(image.pixel(2, 2), Grey(c.neighbours, 0x33));
}

INSTANTIATE_TEST_SUITE_P(Amounts, SharpenCentreTest,
                         ::testing::Values(CentreCase{0, 100, 100, 100},    // c 63, d 51: (51 * 100 + 25) / 51
                                           CentreCase{0, 255, 0, 255},      // S = 16065 > 255 * 51: clamped
                                           CentreCase{100, 200, 100, 255},  // c 13, d 1: S = 1400
                                           CentreCase{100, 50, 100, 0},     // S = 650 - 1200 < 0
                                           CentreCase{50, 100, 90, 105},    // c 38, d 26: (3800 - 1080 + 13) / 26
                                           CentreCase{74, 20, 0, 37},       // c 26, d 14: (520 + 7) / 14
                                           CentreCase{75, 20, 0, 38},  // 25.5 truncates to c 25, d 13: (500 + 6) / 13
                                           CentreCase{99, 100, 100, 100},   // c 13: the weights sum to d = 1
                                           CentreCase{101, 100, 100, 0},    // c 12: the weights sum to 0
                                           CentreCase{104, 100, 100, 0}));  // c 11: S < 0

TEST_F(SharpenTest, ColourKeyLeavesKeyPixelsAndClearsAlphaOfChangedOnes) {
  // Key grey 200: COLORREF 0xC8C8C8, pixel form 0x00C8C8C8.
  TestImage image(Spec32(4, 3), test::FlatRows(4, 3, Grey(100, 0x55)));
  image.setPixel(1, 1, Grey(200, 0));
  image.setPixel(2, 1, Grey(200, 1));
  image.setColorKey(0x00C8C8C8);
  ASSERT_EQ(Sharpen(image, 100), 1);
  EXPECT_EQ(image.pixel(1, 1), Grey(200, 0));
  // 13 * 200 - (400 + 2 * 500) = 1200, the key pixel counting as a neighbour: clamped to 255, alpha cleared.
  EXPECT_EQ(image.pixel(2, 1), Grey(255, 0));
  EXPECT_EQ(image.pixel(3, 1), Grey(100, 0x55));
}

TEST_F(SharpenTest, AlphaKeyLeavesTransparentPixelsAndKeepsAlpha) {
  TestImage image(Spec32(4, 3), test::FlatRows(4, 3, Grey(100, 0)));
  image.setPixel(1, 1, Grey(50, 0));
  image.setPixel(2, 1, Grey(50, 0xEE));
  image.setAlphaTransparency();
  ASSERT_EQ(Sharpen(image, 100), 1);
  EXPECT_EQ(image.pixel(1, 1), Grey(50, 0));
  EXPECT_EQ(image.pixel(2, 1), Grey(0, 0xEE));
}

}  // namespace
}  // namespace ormi
