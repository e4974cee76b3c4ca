// Despeckle's two schedules (whole planes, and the row pipeline) on the hand-worked images at every
// vector level, the choice between them by size, their working memory, and their failures.
#include <gtest/gtest.h>

#include <tuple>

#include "filter_test_support.h"
#include "filters/despeckle.h"
#include "reference/differential.h"

namespace ormi {
namespace {

using test::Grey;
using test::Spec32;
using test::TestImage;

// The worker with a chosen schedule on the image's locked bitmap, under the image's transparency.
int DespeckleBy(const TestImage& image, DespeckleSchedule schedule) {
  HGLOBAL bitmap = image.bitmap();
  const DibBlock block{static_cast<uint8_t*>(GlobalLock(bitmap)), GlobalSize(bitmap)};
  const int result = ImgDespecklePixels(block, TransparencyArgOf(image.record()), schedule);
  GlobalUnlock(bitmap);
  return result;
}

class DespeckleScheduleTest : public test::FilterTest,
                              public ::testing::WithParamInterface<std::tuple<DespeckleSchedule, SimdLevel>> {
 protected:
  void SetUp() override {
    FilterTest::SetUp();
    if (std::get<1>(GetParam()) > DetectedSimdLevel()) GTEST_SKIP() << "level not on this processor";
    forced_.emplace(std::get<1>(GetParam()));
  }
  void TearDown() override {
    forced_.reset();
    FilterTest::TearDown();
  }
  int Despeckle(const TestImage& image) { return DespeckleBy(image, std::get<0>(GetParam())); }

 private:
  std::optional<test::ScopedSimdLevel> forced_;
};

TEST_P(DespeckleScheduleTest, FlatFiveByFiveIsLoweredTowardsItsCorners) {
  TestImage image(Spec32(5, 5), test::FlatRows(5, 5, Grey(100, 0x20)));
  ASSERT_EQ(Despeckle(image), 1);
  for (int corner : {0, 4}) {
    for (int other : {0, 4}) EXPECT_EQ(image.pixel(corner, other), Grey(94, 0x20));
    for (int beside : {1, 3}) {
      EXPECT_EQ(image.pixel(corner, beside), Grey(97, 0x20));
      EXPECT_EQ(image.pixel(beside, corner), Grey(97, 0x20));
    }
    EXPECT_EQ(image.pixel(corner, 2), Grey(99, 0x20));
    EXPECT_EQ(image.pixel(2, corner), Grey(99, 0x20));
  }
  EXPECT_EQ(image.pixel(2, 2), Grey(100, 0x20));
}

// Speckles in a flat area of 100, far from every border, in an image wide and tall enough for
// whole vector registers.
constexpr int kWide = 70, kTall = 61, kX = 40, kY = 30;

TEST_P(DespeckleScheduleTest, BrightSpeckleEndsAt184WithItsNeighboursRaised) {
  TestImage image(Spec32(kWide, kTall), test::FlatRows(kWide, kTall, Grey(100)));
  image.setPixel(kX, kY, Grey(200));
  ASSERT_EQ(Despeckle(image), 1);
  EXPECT_EQ(image.pixel(kX, kY), Grey(184));
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx == 0 && dy == 0) continue;
      EXPECT_EQ(image.pixel(kX + dx, kY + dy), Grey(dx != 0 && dy != 0 ? 102 : 101)) << dx << "," << dy;
    }
  }
  EXPECT_EQ(image.pixel(kX + 8, kY), Grey(100));
  EXPECT_EQ(image.pixel(kX, kY + 8), Grey(100));
}

TEST_P(DespeckleScheduleTest, DarkSpeckleEndsAt36AndMovesOnlyTwoDiagonalNeighbours) {
  TestImage image(Spec32(kWide, kTall), test::FlatRows(kWide, kTall, Grey(100)));
  image.setPixel(kX, kY, Grey(20));
  ASSERT_EQ(Despeckle(image), 1);
  EXPECT_EQ(image.pixel(kX, kY), Grey(36));
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx == 0 && dy == 0) continue;
      const bool changes = (dx == 1 && dy == -1) || (dx == -1 && dy == 1);
      EXPECT_EQ(image.pixel(kX + dx, kY + dy), Grey(changes ? 99 : 100)) << dx << "," << dy;
    }
  }
}

TEST_P(DespeckleScheduleTest, SinglePixelLosesALevelInEachLoweringPass) {
  for (const auto& [level, expected] : {std::pair{100u, 84u}, {2u, 1u}, {1u, 1u}, {255u, 239u}}) {
    TestImage image(Spec32(1, 1), {{Grey(level, 0x5A)}});
    ASSERT_EQ(Despeckle(image), 1);
    EXPECT_EQ(image.pixel(0, 0), Grey(expected, 0x5A)) << level;
  }
}

TEST_P(DespeckleScheduleTest, ColourKeyPixelStaysAndOthersLoseTheirAlpha) {
  TestImage image(Spec32(kWide, kTall), test::FlatRows(kWide, kTall, Grey(100, 0x30)));
  image.setPixel(kX, kY, Grey(200, 0));
  image.setColorKey(0x00C8C8C8);
  ASSERT_EQ(Despeckle(image), 1);
  EXPECT_EQ(image.pixel(kX, kY), Grey(200, 0));
  EXPECT_EQ(image.pixel(kX + 1, kY), Grey(101, 0));
  EXPECT_EQ(image.pixel(kX + 1, kY + 1), Grey(102, 0));
  EXPECT_EQ(image.pixel(kX, kY + 9), Grey(100, 0));
}

TEST_P(DespeckleScheduleTest, AllocationFailureLeavesTheImage) {
  TestImage image(Spec32(kWide, kTall), test::FlatRows(kWide, kTall, Grey(100, 0x30)));
  image.setPixel(kX, kY, Grey(200));
  const std::vector<uint8_t> before = image.bytes();
  // The rows take one block; the planes four, the last of which fails here.
  Win32EmuFailNextAlloc(std::get<0>(GetParam()) == DespeckleSchedule::Rows ? 1 : 4);
  EXPECT_EQ(Despeckle(image), 0);
  Win32EmuFailNextAlloc(0);
  EXPECT_EQ(image.bytes(), before);
}

INSTANTIATE_TEST_SUITE_P(SchedulesAndLevels, DespeckleScheduleTest,
                         ::testing::Combine(::testing::Values(DespeckleSchedule::Planes, DespeckleSchedule::Rows),
                                            ::testing::Values(SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2)),
                         [](const auto& caseInfo) {
                           return std::string(std::get<0>(caseInfo.param) == DespeckleSchedule::Rows ? "Rows"
                                                                                                     : "Planes") +
                                  "_" + test::SimdLevelName(std::get<1>(caseInfo.param));
                         });

class DespeckleChoiceTest : public test::FilterTest {};

TEST_F(DespeckleChoiceTest, RowsServeFromTheHeightWhereTheirRingsAreNoLargerThanThePlanes) {
  // Width 126: rings of 236 rows of 192 bytes (45312) against planes of 4 (H + 2) 128 bytes,
  // rows from H = 87. Width 254: 236 x 320 = 75520 against 4 (H + 2) 256, rows from H = 72.
  const std::array<std::array<int, 3>, 6> cases{
      {{126, 86, 4}, {126, 87, 1}, {254, 71, 4}, {254, 72, 1}, {126, 1, 4}, {3, 300, 4}}};
  for (const auto& [width, height, blocks] : cases) {
    TestImage image(Spec32(width, height), test::FlatRows(width, height, Grey(100)));
    const long allocations = Win32EmuAllocCalls();
    ASSERT_EQ(Checked(image, ImgDespeckle), 1);
    EXPECT_EQ(Win32EmuAllocCalls() - allocations, blocks) << width << "x" << height;
  }
}

TEST_F(DespeckleChoiceTest, RowsAllocationFailureThroughTheExportLeavesTheImageAndReportsOne) {
  TestImage image(Spec32(126, 90), test::FlatRows(126, 90, Grey(100, 0x30)));
  const std::vector<uint8_t> before = image.bytes();
  Win32EmuFailNextAlloc(1);
  EXPECT_EQ(Checked(image, ImgDespeckle), 1);
  Win32EmuFailNextAlloc(0);
  EXPECT_EQ(image.bytes(), before);
}

TEST(DespeckleRingBytesTest, RingRowsKeepClearOfFourKibibyteStridesAndFitTheAddressSpace) {
  // W + 2 rounded up to 128, and 64 more.
  EXPECT_EQ(DespeckleRingBytes(3), std::optional<size_t>(236 * 192));
  EXPECT_EQ(DespeckleRingBytes(126), std::optional<size_t>(236 * 192));
  EXPECT_EQ(DespeckleRingBytes(127), std::optional<size_t>(236 * 320));
  EXPECT_EQ(DespeckleRingBytes(4096), std::optional<size_t>(236 * 4288));
  constexpr uint64_t k32BitSpace = 0xFFFFFFFFu;
  // 236 x 18198976 = 4294958336 fits; the next width needs a row of 18199104.
  EXPECT_EQ(DespeckleRingBytes(18198910, k32BitSpace), std::optional<size_t>(size_t{4294958336u}));
  EXPECT_EQ(DespeckleRingBytes(18198911, k32BitSpace), std::nullopt);
  EXPECT_EQ(DespeckleRingBytes(0xFFFFFFFFu, k32BitSpace), std::nullopt);
}

}  // namespace
}  // namespace ormi
