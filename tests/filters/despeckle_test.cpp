#include <gtest/gtest.h>

#include <array>

#include "filter_test_support.h"
#include "filters/despeckle.h"

namespace ormi {
namespace {

using test::Grey;
using test::Spec32;
using test::TestImage;

class DespeckleTest : public test::FilterTest {
 protected:
  int Despeckle(const TestImage& image) { return Checked(image, ImgDespeckle); }
};

TEST_F(DespeckleTest, FlatFiveByFiveIsLoweredTowardsItsCorners) {
  TestImage image(Spec32(5, 5), test::FlatRows(5, 5, Grey(100, 0x20)));
  ASSERT_EQ(Despeckle(image), 1);
  for (int corner : {0, 4}) {
    for (int other : {0, 4}) EXPECT_EQ(image.pixel(corner, other), Grey(94, 0x20));
    // the cells beside each corner, along both edges
    EXPECT_EQ(image.pixel(corner, 1), Grey(97, 0x20));
    EXPECT_EQ(image.pixel(corner, 3), Grey(97, 0x20));
    EXPECT_EQ(image.pixel(1, corner), Grey(97, 0x20));
    EXPECT_EQ(image.pixel(3, corner), Grey(97, 0x20));
    EXPECT_EQ(image.pixel(corner, 2), Grey(99, 0x20));
    EXPECT_EQ(image.pixel(2, corner), Grey(99, 0x20));
  }
  EXPECT_EQ(image.pixel(2, 2), Grey(100, 0x20));
}

TEST_F(DespeckleTest, FlatWhiteStaysWhiteAwayFromTheBorder) {
  TestImage image(Spec32(9, 9), test::FlatRows(9, 9, Grey(255)));
  ASSERT_EQ(Despeckle(image), 1);
  for (int y = 3; y <= 5; ++y) {
    for (int x = 3; x <= 5; ++x) EXPECT_EQ(image.pixel(x, y), Grey(255)) << x << "," << y;
  }
  EXPECT_LT(image.pixel(0, 0) & 0xFF, 255u);  // the frame's zeros lower the corner
}

// A single pixel in a large flat area of 100, far from the border.
constexpr int kSide = 31, kMid = 15;

TEST_F(DespeckleTest, BrightSpeckleIsLoweredAndItsNeighboursRaised) {
  TestImage image(Spec32(kSide, kSide), test::FlatRows(kSide, kSide, Grey(100)));
  image.setPixel(kMid, kMid, Grey(200));
  ASSERT_EQ(Despeckle(image), 1);
  EXPECT_EQ(image.pixel(kMid, kMid), Grey(184));
  for (auto [dx, dy] : std::array<std::array<int, 2>, 4>{{{1, 0}, {-1, 0}, {0, 1}, {0, -1}}}) {
    EXPECT_EQ(image.pixel(kMid + dx, kMid + dy), Grey(101)) << dx << "," << dy;
  }
  for (auto [dx, dy] : std::array<std::array<int, 2>, 4>{{{1, 1}, {-1, -1}, {1, -1}, {-1, 1}}}) {
    EXPECT_EQ(image.pixel(kMid + dx, kMid + dy), Grey(102)) << dx << "," << dy;
  }
  EXPECT_EQ(image.pixel(kMid + 8, kMid), Grey(100));
}

TEST_F(DespeckleTest, DarkSpeckleIsRaised) {
  TestImage image(Spec32(kSide, kSide), test::FlatRows(kSide, kSide, Grey(100)));
  image.setPixel(kMid, kMid, Grey(20));
  ASSERT_EQ(Despeckle(image), 1);
  EXPECT_EQ(image.pixel(kMid, kMid), Grey(36));
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx == 0 && dy == 0) continue;
      const bool changes = (dx == 1 && dy == -1) || (dx == -1 && dy == 1);
      EXPECT_EQ(image.pixel(kMid + dx, kMid + dy), Grey(changes ? 99 : 100)) << dx << "," << dy;
    }
  }
}

struct SinglePixelCase {
  uint32_t level, expected;
};

class DespeckleSinglePixelTest : public DespeckleTest, public ::testing::WithParamInterface<SinglePixelCase> {};

TEST_P(DespeckleSinglePixelTest, EachLoweringStepTakesALevelInEachPass) {
  TestImage image(Spec32(1, 1), {{Grey(GetParam().level, 0x5A)}});
  ASSERT_EQ(Despeckle(image), 1);
  EXPECT_EQ(image.pixel(0, 0), Grey(GetParam().expected, 0x5A));
}

INSTANTIATE_TEST_SUITE_P(Levels, DespeckleSinglePixelTest,
                         ::testing::Values(SinglePixelCase{100, 84}, SinglePixelCase{2, 1}, SinglePixelCase{1, 1},
                                           SinglePixelCase{0, 0}));

TEST_F(DespeckleTest, ColourKeyPixelsStayButStillTakePart) {
  // The speckle is the key (alpha 0): it stays 200, yet its neighbours rise as without a key.
  TestImage image(Spec32(kSide, kSide), test::FlatRows(kSide, kSide, Grey(100, 0x30)));
  image.setPixel(kMid, kMid, Grey(200, 0));
  image.setColorKey(0x00C8C8C8);
  ASSERT_EQ(Despeckle(image), 1);
  EXPECT_EQ(image.pixel(kMid, kMid), Grey(200, 0));
  EXPECT_EQ(image.pixel(kMid + 1, kMid), Grey(101, 0));
  EXPECT_EQ(image.pixel(kMid + 1, kMid + 1), Grey(102, 0));
  EXPECT_EQ(image.pixel(kMid, kMid + 9), Grey(100, 0));  // every other pixel is written, alpha 0
}

TEST_F(DespeckleTest, AlphaTransparencyWritesEveryPixelKeepingAlpha) {
  TestImage image(Spec32(kSide, kSide), test::FlatRows(kSide, kSide, Grey(100, 0x30)));
  image.setPixel(kMid, kMid, Grey(200, 0));
  image.setAlphaTransparency(0x00C8C8C8);
  ASSERT_EQ(Despeckle(image), 1);
  EXPECT_EQ(image.pixel(kMid, kMid), Grey(184, 0));
  EXPECT_EQ(image.pixel(kMid + 1, kMid), Grey(101, 0x30));
}

TEST_F(DespeckleTest, TopDownAndEmptyBitmapsStayAndAllocateNothing) {
  for (const test::BitmapSpec& shape : {Spec32(3, -3), Spec32(0, 3), Spec32(3, 0)}) {
    TestImage image(shape);
    if (shape.width > 0 && shape.height != 0) image.setPixel(1, 1, Grey(200));
    const std::vector<uint8_t> before = image.bytes();
    const long allocations = Win32EmuAllocCalls();
    ASSERT_EQ(Despeckle(image), 1);
    EXPECT_EQ(Win32EmuAllocCalls(), allocations);
    EXPECT_EQ(image.bytes(), before);
  }
}

TEST(DespeckleStepTest, RaisingFillsAPitByOneLevelInEachPass) {
  // W 3, H 1: a plane of 5 x 3 with its frame of zeros; interior 5 3 5.
  std::array<uint8_t, 15> plane{}, scratch{};
  plane[6] = 5, plane[7] = 3, plane[8] = 5;
  DespeckleStep(1, 0, +1, 3, 1, plane.data(), scratch.data(), SelectHullRows(SimdLevel::Scalar));
  // Pass A: only the 3 has a brighter neighbour at +1 (4); pass B: 4 lies between 5 and 5 (5).
  EXPECT_EQ((std::array<uint8_t, 3>{plane[6], plane[7], plane[8]}), (std::array<uint8_t, 3>{5, 5, 5}));
  EXPECT_EQ((std::array<uint8_t, 3>{scratch[6], scratch[7], scratch[8]}), (std::array<uint8_t, 3>{5, 4, 5}));
  for (int frame : {0, 1, 2, 3, 4, 5, 9, 10, 11, 12, 13, 14}) EXPECT_EQ(plane[frame] | scratch[frame], 0) << frame;
}

TEST(DespeckleStepTest, RaisingSecondPassAcceptsANeighbourAtTheSameLevel) {
  std::array<uint8_t, 15> plane{}, scratch{};
  plane[6] = 5, plane[7] = 4, plane[8] = 6;
  DespeckleStep(1, 0, +1, 3, 1, plane.data(), scratch.data(), SelectHullRows(SimdLevel::Scalar));
  // Pass A gives 5 5 6; in pass B the middle 5 has 5 behind (a + 1 > b holds) and 6 ahead.
  EXPECT_EQ((std::array<uint8_t, 3>{plane[6], plane[7], plane[8]}), (std::array<uint8_t, 3>{5, 6, 6}));
}

TEST(DespeckleStepTest, LoweringNeedsALevelTwoBelowInTheFirstPass) {
  std::array<uint8_t, 15> plane{}, scratch{};
  plane[6] = 5, plane[7] = 7, plane[8] = 5;
  DespeckleStep(1, 0, -1, 3, 1, plane.data(), scratch.data(), SelectHullRows(SimdLevel::Scalar));
  // Pass A: 7 > 5 + 1 gives 6, the last 5 looks at the frame's 0 and gives 4; pass B: 6 sits
  // between 5 and 4 but 5 + 1 < 6 does not hold, so nothing more moves.
  EXPECT_EQ((std::array<uint8_t, 3>{plane[6], plane[7], plane[8]}), (std::array<uint8_t, 3>{5, 6, 4}));
}

TEST(DespeckleStepTest, PlaneSizesAreCheckedAgainstTheAddressSpace) {
  EXPECT_EQ(DespecklePlaneBytes(3, 4), std::optional<size_t>(30));
  constexpr uint64_t k32BitSpace = 0xFFFFFFFFu;
  EXPECT_EQ(DespecklePlaneBytes(65533, 65533, k32BitSpace), std::optional<size_t>(size_t{65535} * 65535));
  EXPECT_EQ(DespecklePlaneBytes(65534, 65534, k32BitSpace), std::nullopt);  // 65536^2 wraps 32 bits
  EXPECT_EQ(DespecklePlaneBytes(0xFFFFFFFFu, 1, k32BitSpace), std::nullopt);
  EXPECT_EQ(DespecklePlaneBytes(0xFFFFFFFFu, 0xFFFFFFFFu), std::nullopt);  // beyond 64 bits as well
}

}  // namespace
}  // namespace ormi
