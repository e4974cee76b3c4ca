#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "filter_test_support.h"

namespace ormi {
namespace {

using test::Grey;
using test::Rgb;
using test::Spec32;
using test::TestImage;

class BlurTest : public test::FilterTest {
 protected:
  int Blur(const TestImage& image, double amount) {
    return Checked(image, [&](HGLOBAL h) { return ImgBlur(h, amount); });
  }
};

// One centre among eight equal neighbours, every channel alike.
struct CentreCase {
  double amount;
  uint32_t centre, neighbours, expected;
};

class BlurCentreTest : public BlurTest, public ::testing::WithParamInterface<CentreCase> {};

TEST_P(BlurCentreTest, CentreTakesTheWeightOfTheAmount) {
  const CentreCase& c = GetParam();
  TestImage image(Spec32(3, 3), test::FlatRows(3, 3, Grey(c.neighbours)));
  image.setPixel(1, 1, Grey(c.centre, 0x80));
  ASSERT_EQ(Blur(image, c.amount), 1);
  EXPECT_EQ(image.pixel(1, 1), Grey(c.expected, 0x80));
  EXPECT_EQ(image.pixel(0, 0), Grey(c.neighbours));
}

INSTANTIATE_TEST_SUITE_P(Amounts, BlurCentreTest,
                         ::testing::Values(CentreCase{0, 255, 0, 193},    // c 37, d 49: (37 * 255 + 24) / 49
                                           CentreCase{0, 100, 100, 100},  // flat stays
                                           CentreCase{50, 240, 0, 120},   // c 12, d 24: (2880 + 12) / 24
                                           CentreCase{74, 255, 12,
                                                      12},  // c 0, d 12: (144 + 6) / 12, the centre ignored
                                           CentreCase{75, 255, 12, 12},    // (100 - 75) / 2 - 13 = -0.5 truncates to 0
                                           CentreCase{76, 0, 11, 12},      // c -1, d 11: (132 + 5) / 11
                                           CentreCase{90, 100, 100, 100},  // c -8, d 4: the weights still sum to d
                                           CentreCase{96, 100, 100, 100},  // c -11, d 1
                                           CentreCase{97, 100, 100, 100},  // -11.5 truncates to -11
                                           CentreCase{98, 100, 100, 0},    // c -12: the weights sum to 0
                                           CentreCase{99, 100, 100, 0},
                                           CentreCase{100, 100, 100, 100},  // S = -100: out of range, the value stays
                                           CentreCase{200, 1, 6, 9}));      // c -63, d 1: -63 + 12 * 6

TEST_F(BlurTest, NegativeQuotientsTruncateTowardZero) {
  // Amount 90: c -8, d 4. S = -8 + 2 * 2 = -4 and (-4 + 2) / 4 is 0, not -1.
  TestImage image(Spec32(3, 3), test::FlatRows(3, 3, Grey(0)));
  image.setPixel(1, 1, Grey(1));
  image.setPixel(1, 0, Grey(2));
  ASSERT_EQ(Blur(image, 90), 1);
  EXPECT_EQ(image.pixel(1, 1), Grey(0));
}

TEST_F(BlurTest, AmountHundredChangesOnlyTheChannelsThatStayInRange) {
  // Red: -13 * 18 + 12 * 20 = 6; green and blue: -1300 + 1200 < 0, so they keep 100.
  TestImage image(Spec32(3, 3), test::FlatRows(3, 3, Rgb(20, 100, 100)));
  image.setPixel(1, 1, Rgb(18, 100, 100));
  ASSERT_EQ(Blur(image, 100), 1);
  EXPECT_EQ(image.pixel(1, 1), Rgb(6, 100, 100));
}

TEST_F(BlurTest, AmountNinetyEightTurnsAFlatAreaBlackButNotItsBorder) {
  TestImage image(Spec32(5, 4), test::FlatRows(5, 4, Grey(100, 0xFF)));
  ASSERT_EQ(Blur(image, 98), 1);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      const bool border = x == 0 || y == 0 || x == 4 || y == 3;
      EXPECT_EQ(image.pixel(x, y), border ? Grey(100, 0xFF) : Grey(0, 0xFF)) << x << "," << y;
    }
  }
}

TEST_F(BlurTest, EveryWindowReadsUnfilteredValues) {
  // Two white pixels side by side, amount 74: each gets (2 * 255 + 6) / 12 from the other's
  // unfiltered value, whichever is written first.
  TestImage image(Spec32(4, 3), test::FlatRows(4, 3, Grey(0)));
  image.setPixel(1, 1, Grey(255));
  image.setPixel(2, 1, Grey(255));
  ASSERT_EQ(Blur(image, 74), 1);
  EXPECT_EQ(image.pixel(1, 1), Grey(43));
  EXPECT_EQ(image.pixel(2, 1), Grey(43));

  // Down the rows too: the ring keeps the unfiltered row above.
  TestImage column(Spec32(3, 4), test::FlatRows(3, 4, Grey(0)));
  column.setPixel(1, 1, Grey(255));
  column.setPixel(1, 2, Grey(255));
  ASSERT_EQ(Blur(column, 74), 1);
  EXPECT_EQ(column.pixel(1, 1), Grey(43));
  EXPECT_EQ(column.pixel(1, 2), Grey(43));
}

TEST_F(BlurTest, ColourKeyLeavesKeyPixelsAndClearsAlphaOfChangedOnes) {
  // Key white: COLORREF 0xFFFFFF, pixel form 0x00FFFFFF.
  TestImage keyed(Spec32(4, 3), test::FlatRows(4, 3, Grey(0, 0x40)));
  keyed.setPixel(1, 1, Grey(255, 0));     // the key itself: stays
  keyed.setPixel(2, 1, Grey(255, 0x10));  // key colour with alpha: filtered like any other
  keyed.setColorKey(0x00FFFFFF);
  ASSERT_EQ(Blur(keyed, 74), 1);
  EXPECT_EQ(keyed.pixel(1, 1), Grey(255, 0));
  EXPECT_EQ(keyed.pixel(2, 1), Grey(43, 0));  // the key pixel counts as a neighbour
  EXPECT_EQ(keyed.pixel(0, 1), Grey(0, 0x40));
}

TEST_F(BlurTest, AlphaKeyLeavesTransparentPixelsAndKeepsAlpha) {
  TestImage image(Spec32(4, 3), test::FlatRows(4, 3, Grey(0, 0)));
  image.setPixel(1, 1, Grey(255, 0));
  image.setPixel(2, 1, Grey(255, 0x7F));
  image.setAlphaTransparency(0x00FFFFFF);  // the colour is not compared
  ASSERT_EQ(Blur(image, 74), 1);
  EXPECT_EQ(image.pixel(1, 1), Grey(255, 0));
  EXPECT_EQ(image.pixel(2, 1), Grey(43, 0x7F));
}

TEST_F(BlurTest, AmountsBeyondEveryIntegerAreDefined) {
  // No 32-bit centre weight exists for these; the conversion gives INT32_MIN and the sums wrap,
  // which on a flat area of 100 leaves every channel out of range, so nothing changes.
  for (double amount : {std::numeric_limits<double>::quiet_NaN(), 1e300, -1e300,
                        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    TestImage image(Spec32(4, 4), test::FlatRows(4, 4, Grey(100, 0x22)));
    const std::vector<uint8_t> before = image.bytes();
    ASSERT_EQ(Blur(image, amount), 1) << amount;
    EXPECT_EQ(image.bytes(), before) << amount;
  }
}

}  // namespace
}  // namespace ormi
