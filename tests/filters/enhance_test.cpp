#include <gtest/gtest.h>

#include "filter_test_support.h"

namespace ormi {
namespace {

using test::Grey;
using test::Rgb;
using test::Spec32;
using test::TestImage;

class EnhanceTest : public test::FilterTest {
 protected:
  int Enhance(const TestImage& image) { return Checked(image, ImgEnhance); }

  // A 5x5 image: the centre, its eight nearest neighbours, and the outer sixteen.
  static void Fill(TestImage& image, uint32_t centre, uint32_t inner, uint32_t outer) {
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 5; ++x) {
        const bool isInner = x >= 1 && x <= 3 && y >= 1 && y <= 3;
        image.setPixel(x, y, isInner ? inner : outer);
      }
    }
    image.setPixel(2, 2, centre);
  }
};

struct RingCase {
  uint32_t inner, outer, expected;
};

class EnhanceRingTest : public EnhanceTest, public ::testing::WithParamInterface<RingCase> {};

TEST_P(EnhanceRingTest, CloseNeighboursTakePartAndFarOnesDoNot) {
  const RingCase& c = GetParam();
  TestImage image(Spec32(5, 5));
  Fill(image, Grey(100, 0xA0), Grey(c.inner), Grey(c.outer));
  ASSERT_EQ(Enhance(image), 1);
  EXPECT_EQ(image.pixel(2, 2), Grey(c.expected, 0xA0));
  EXPECT_EQ(image.pixel(1, 1), Grey(c.inner));  // the two outer rows and columns stay
  EXPECT_EQ(image.pixel(0, 2), Grey(c.outer));
}

INSTANTIATE_TEST_SUITE_P(Neighbourhoods, EnhanceRingTest,
                         ::testing::Values(RingCase{100, 100, 100},    // flat: (444 * 100 + 221) / 444
                                           RingCase{120, 120, 116},    // D = 1200: (8000 + 364 * 120 + 221) / 444
                                           RingCase{160, 160, 100},    // D = 10800: only the centre
                                           RingCase{120, 200, 115}));  // SW 320: (8000 + 240 * 120 + 159) / 320

TEST_F(EnhanceTest, AnExactHalfRoundsDown) {
  // Left and right 101 (weight 40 each), the rest 0: SW 160, (16080 + 79) / 160 = 100.
  TestImage image(Spec32(5, 5), test::FlatRows(5, 5, Grey(0)));
  image.setPixel(2, 2, Grey(100));
  image.setPixel(1, 2, Grey(101));
  image.setPixel(3, 2, Grey(101));
  ASSERT_EQ(Enhance(image), 1);
  EXPECT_EQ(image.pixel(2, 2), Grey(100));
}

struct ThresholdCase {
  uint32_t neighbour, expected;
};

class EnhanceThresholdTest : public EnhanceTest, public ::testing::WithParamInterface<ThresholdCase> {};

TEST_P(EnhanceThresholdTest, DistanceMustStayBelowFifty) {
  // Only the right neighbour (weight 40) can be close; the rest are black.
  TestImage image(Spec32(5, 5), test::FlatRows(5, 5, Grey(0)));
  image.setPixel(2, 2, Grey(100));
  image.setPixel(3, 2, GetParam().neighbour);
  ASSERT_EQ(Enhance(image), 1);
  EXPECT_EQ(image.pixel(2, 2), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Distances, EnhanceThresholdTest,
    ::testing::Values(
        ThresholdCase{Rgb(150, 100, 100),
                      Grey(100)},  // D 2500: left out
                                   // D 2401: SW 120, red (8000 + 5960 + 59) / 120, the others (12000 + 59) / 120
        ThresholdCase{Rgb(149, 100, 100), Rgb(116, 100, 100)}, ThresholdCase{Grey(129), Grey(100)},  // D 2523: left out
        ThresholdCase{Grey(128), Grey(109)},                    // D 2352: (8000 + 5120 + 59) / 120
        ThresholdCase{Rgb(100, 100, 51), Rgb(100, 100, 84)}));  // D 2401 in blue

TEST_F(EnhanceTest, ColourKeyAndAlphaTransparency) {
  // Grey 100 among 120 becomes 116; as the key it stays.
  TestImage keyed(Spec32(5, 5), test::FlatRows(5, 5, Grey(120)));
  keyed.setPixel(2, 2, Grey(100, 0));
  keyed.setColorKey(0x00646464);
  ASSERT_EQ(Enhance(keyed), 1);
  EXPECT_EQ(keyed.pixel(2, 2), Grey(100, 0));

  TestImage notKey(Spec32(5, 5), test::FlatRows(5, 5, Grey(120)));
  notKey.setPixel(2, 2, Grey(100, 0x44));  // key colour, but its alpha differs
  notKey.setColorKey(0x00646464);
  ASSERT_EQ(Enhance(notKey), 1);
  EXPECT_EQ(notKey.pixel(2, 2), Grey(116, 0));

  // Bit 31: no alpha key here, every interior pixel is filtered and keeps its alpha.
  TestImage alpha(Spec32(5, 5), test::FlatRows(5, 5, Grey(120)));
  alpha.setPixel(2, 2, Grey(100, 0));
  alpha.setAlphaTransparency(0x00646464);
  ASSERT_EQ(Enhance(alpha), 1);
  EXPECT_EQ(alpha.pixel(2, 2), Grey(116, 0));
}

TEST_F(EnhanceTest, TheBorderIsTwoPixelsWide) {
  // A 6x6 image of 120 with four centre pixels of 100: only those four are written.
  TestImage image(Spec32(6, 6), test::FlatRows(6, 6, Grey(120, 0x11)));
  for (int y = 2; y <= 3; ++y) {
    for (int x = 2; x <= 3; ++x) image.setPixel(x, y, Grey(100, 0x11));
  }
  // Each sees itself (80) and the other three of 100 (40, 40 and 20) among 120s, all close:
  // S = 100 * 180 + 120 * 264 = 49680, and (49680 + 221) / 444 = 112, from unfiltered values.
  ASSERT_EQ(Enhance(image), 1);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool inner = x >= 2 && x <= 3 && y >= 2 && y <= 3;
      EXPECT_EQ(image.pixel(x, y), inner ? Grey(112, 0x11) : Grey(120, 0x11)) << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace ormi
