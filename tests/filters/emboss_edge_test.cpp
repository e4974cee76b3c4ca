#include <gtest/gtest.h>

#include <random>

#include "filter_test_support.h"
#include "filters/emboss_edge.h"
#include "image/global_memory.h"

namespace ormi {
namespace {

using test::Grey;
using test::Spec32;
using test::TestImage;

class EmbossEdgeTest : public test::FilterTest {
 protected:
  // Runs a routine on the image's locked bitmap, as its bitmap-handle layer would.
  template <class Routine>
  static int OnBitmap(const TestImage& image, Routine routine) {
    GlobalLockGuard lock(image.bitmap());
    return routine(lock.block());
  }
  static int EmbossOnly(const TestImage& image, const TransparencyArg& t = std::nullopt) {
    return OnBitmap(image, [&](DibBlock b) { return EmbossWindows(b, t); });
  }
  static int EdgeOnly(const TestImage& image, double amount, const TransparencyArg& t = std::nullopt) {
    return OnBitmap(image, [&](DibBlock b) { return EdgeWindows(b, amount, t); });
  }

  // Rows of `width` pixels whose level is first + step * row, alpha as given.
  static std::vector<std::vector<uint32_t>> Rising(int width, int height, int first, int step, uint32_t alpha) {
    std::vector<std::vector<uint32_t>> rows;
    for (int y = 0; y < height; ++y) {
      rows.emplace_back(static_cast<size_t>(width), Grey(static_cast<uint32_t>(first + step * y), alpha));
    }
    return rows;
  }
};

TEST_F(EmbossEdgeTest, EmbossOfAFlatImageIsZeroInsideItsBorder) {
  TestImage image(Spec32(5, 4), test::FlatRows(5, 4, Grey(90, 0x44)));
  ASSERT_EQ(EmbossOnly(image), 1);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) {
      const bool border = x == 0 || y == 0 || x == 4 || y == 3;
      EXPECT_EQ(image.pixel(x, y), Grey(border ? 90 : 0, 0x44)) << x << "," << y;
    }
  }
}

TEST_F(EmbossEdgeTest, EmbossFollowsTheStoredRowOrder) {
  // Rising by 10 per stored row: -(v-10) - 2(v-10) - 2v + 2v + 2(v+10) + (v+10) = 60.
  TestImage rising(Spec32(5, 5), Rising(5, 5, 30, 10, 0xFF));
  ASSERT_EQ(EmbossOnly(rising), 1);
  // Falling: -60, clamped to 0.
  TestImage falling(Spec32(5, 5), Rising(5, 5, 200, -10, 0xFF));
  ASSERT_EQ(EmbossOnly(falling), 1);
  for (int y = 1; y <= 3; ++y) {
    for (int x = 1; x <= 3; ++x) {
      EXPECT_EQ(rising.pixel(x, y), Grey(60, 0xFF)) << x << "," << y;
      EXPECT_EQ(falling.pixel(x, y), Grey(0, 0xFF)) << x << "," << y;
    }
  }
  EXPECT_EQ(rising.pixel(2, 4), Grey(70, 0xFF));
}

TEST_F(EmbossEdgeTest, EmbossExportNormalisesTheWholeBitmap) {
  // Rows 50 60 70 80 90; the middle column of rows 1-3 becomes 60. Fifteen pixels clip nothing,
  // so 50..90 stretches onto 0..254: 60 -> 63, 70 -> 127, 80 -> 190 (integer division).
  TestImage image(Spec32(3, 5), Rising(3, 5, 50, 10, 0xFF));
  ASSERT_EQ(Checked(image, ImgEmboss), 1);
  const uint32_t expected[5][3] = {{0, 0, 0}, {63, 63, 63}, {127, 63, 127}, {190, 63, 190}, {254, 254, 254}};
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(image.pixel(x, y), Grey(expected[y][x], 0xFF)) << x << "," << y;
  }
}

TEST_F(EmbossEdgeTest, EmbossColourKeyHoldsThroughTheNormalisation) {
  // The same image with the centre of row 2 in the key colour (grey 70, alpha 0): neither the
  // kernel nor the normalisation changes it; every other pixel ends with alpha 0.
  TestImage image(Spec32(3, 5), Rising(3, 5, 50, 10, 0xFF));
  image.setPixel(1, 2, Grey(70, 0));
  image.setColorKey(0x00464646);
  ASSERT_EQ(Checked(image, ImgEmboss), 1);
  const uint32_t expected[5][3] = {{0, 0, 0}, {63, 63, 63}, {127, 70, 127}, {190, 63, 190}, {254, 254, 254}};
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(image.pixel(x, y), Grey(expected[y][x], 0)) << x << "," << y;
  }
}

TEST_F(EmbossEdgeTest, EmbossAlphaKeySkipsTransparentPixels) {
  TestImage image(Spec32(4, 5), Rising(4, 5, 30, 10, 0x80));
  image.setPixel(1, 2, Grey(50, 0));
  image.setPixel(2, 2, Grey(50, 0x01));
  ASSERT_EQ(EmbossOnly(image, 0x80000000u), 1);
  EXPECT_EQ(image.pixel(1, 2), Grey(50, 0));
  EXPECT_EQ(image.pixel(2, 2), Grey(60, 0x01));
  EXPECT_EQ(image.pixel(1, 1), Grey(60, 0x80));
}

TEST_F(EmbossEdgeTest, EmbossColourKeySkipsKeyPixelsAndClearsAlpha) {
  TestImage image(Spec32(4, 5), Rising(4, 5, 30, 10, 0x80));
  image.setPixel(1, 2, Grey(50, 0));
  image.setPixel(2, 2, Grey(50, 0x01));
  ASSERT_EQ(EmbossOnly(image, 0x00323232u), 1);
  EXPECT_EQ(image.pixel(1, 2), Grey(50, 0));
  EXPECT_EQ(image.pixel(2, 2), Grey(60, 0));
  EXPECT_EQ(image.pixel(1, 1), Grey(60, 0));
}

struct EdgeCase {
  double amount;
  uint32_t centre, diagonals, expected;
};

class EdgeValueTest : public EmbossEdgeTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(EdgeValueTest, EachProductIsTruncatedOnItsOwn) {
  const EdgeCase& c = GetParam();
  // The four neighbours that share an edge with the centre are 255 and must not count.
  TestImage image(Spec32(3, 3), test::FlatRows(3, 3, Grey(255, 0x66)));
  for (int y : {0, 2}) {
    for (int x : {0, 2}) image.setPixel(x, y, Grey(c.diagonals, 0x66));
  }
  image.setPixel(1, 1, Grey(c.centre, 0x66));
  ASSERT_EQ(EdgeOnly(image, c.amount), 1);
  EXPECT_EQ(image.pixel(1, 1), Grey(c.expected, 0x66));
}

INSTANTIATE_TEST_SUITE_P(Gains, EdgeValueTest,
                         ::testing::Values(EdgeCase{50, 100, 100, 0},   // k 4: 400 - 4 * 100
                                           EdgeCase{0, 101, 101, 0},    // k 6.5: 656 - 4 * 164
                                           EdgeCase{0, 7, 7, 1},        // 45 - 4 * 11
                                           EdgeCase{100, 100, 100, 2},  // k 1.5: 150 - 4 * 37
                                           EdgeCase{50, 100, 0, 255},   // 400: clamped
                                           EdgeCase{50, 0, 100, 0},     // -400: clamped
                                           EdgeCase{140, 0, 200,
                                                    100}));  // k -0.5: the signs flip, 4 * trunc(0.125 * 200)

TEST_F(EmbossEdgeTest, EdgeExportNormalisesTheWholeBitmap) {
  // Flat 7 at amount 0: the centre becomes 1; levels 1 and 7 stretch onto 0 and 254.
  TestImage image(Spec32(3, 3), test::FlatRows(3, 3, Grey(7, 0x12)));
  ASSERT_EQ(Checked(image, [](HGLOBAL h) { return ImgEdge(h, 0); }), 1);
  EXPECT_EQ(image.pixel(1, 1), Grey(0, 0x12));
  EXPECT_EQ(image.pixel(0, 0), Grey(254, 0x12));
  EXPECT_EQ(image.pixel(2, 1), Grey(254, 0x12));
}

TEST_F(EmbossEdgeTest, EdgeHasNoAlphaKey) {
  // Bit 31: every interior pixel is filtered, alpha 0 or not, and keeps its alpha.
  TestImage image(Spec32(4, 3), test::FlatRows(4, 3, Grey(7, 0)));
  image.setPixel(2, 1, Grey(7, 0x9A));
  ASSERT_EQ(EdgeOnly(image, 0, 0x80000000u), 1);
  EXPECT_EQ(image.pixel(1, 1), Grey(1, 0));
  EXPECT_EQ(image.pixel(2, 1), Grey(1, 0x9A));
}

TEST_F(EmbossEdgeTest, EdgeColourKeySkipsKeyPixelsAndClearsAlpha) {
  TestImage image(Spec32(4, 3), test::FlatRows(4, 3, Grey(7, 0x30)));
  image.setPixel(1, 1, Grey(7, 0));
  image.setPixel(2, 1, Grey(7, 0x9A));
  ASSERT_EQ(EdgeOnly(image, 0, 0x00070707u), 1);
  EXPECT_EQ(image.pixel(1, 1), Grey(7, 0));
  EXPECT_EQ(image.pixel(2, 1), Grey(1, 0));
}

TEST_F(EmbossEdgeTest, TheBorderNeverChangesBeforeTheNormalisation) {
  TestImage image(Spec32(7, 6)), source(Spec32(7, 6));
  std::mt19937 random(11);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 7; ++x) {
      const uint32_t value = static_cast<uint32_t>(random());
      image.setPixel(x, y, value);
      source.setPixel(x, y, value);
    }
  }
  ASSERT_EQ(EmbossOnly(image), 1);
  ASSERT_EQ(EdgeOnly(image, 30), 1);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 7; ++x) {
      if (x == 0 || y == 0 || x == 6 || y == 5) {
        EXPECT_EQ(image.pixel(x, y), source.pixel(x, y)) << x << "," << y;
      }
    }
  }
}

TEST_F(EmbossEdgeTest, NothingToStretchStillCountsAsFiltered) {
  // Flat black stays black: the normalisation finds one level and declines; the worker says 1.
  TestImage image(Spec32(4, 4), test::FlatRows(4, 4, Grey(0, 0x10)));
  EXPECT_EQ(OnBitmap(image, [](DibBlock b) { return ImgEmbossPixels(b, std::nullopt); }), 1);
  EXPECT_EQ(OnBitmap(image, [](DibBlock b) { return ImgEdgePixels(b, 50, std::nullopt); }), 1);
  EXPECT_EQ(image.bytes(), TestImage(Spec32(4, 4), test::FlatRows(4, 4, Grey(0, 0x10))).bytes());
}

}  // namespace
}  // namespace ormi
