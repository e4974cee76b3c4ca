// Despeckle's two schedules (whole planes, and the row pipeline): the choice between them by size,
// their working memory, and their failures.
#include <gtest/gtest.h>

#include "filter_test_support.h"
#include "filters/despeckle.h"

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

class DespeckleChoiceTest : public test::FilterTest {};

// Either schedule whose working memory cannot be had leaves the image: the rows take one block,
// the planes four, the last of which fails here. (Their results at every level are compared with
// each other in tests/exports/levels_test.cpp.)
TEST_F(DespeckleChoiceTest, AllocationFailureOfEitherScheduleLeavesTheImage) {
  for (const auto& [schedule, failing] : {std::pair{DespeckleSchedule::Rows, 1}, {DespeckleSchedule::Planes, 4}}) {
    TestImage image(Spec32(70, 61), test::FlatRows(70, 61, Grey(100, 0x30)));
    image.setPixel(40, 30, Grey(200));
    const std::vector<uint8_t> before = image.bytes();
    Win32EmuFailNextAlloc(failing);
    EXPECT_EQ(DespeckleBy(image, schedule), 0);
    Win32EmuFailNextAlloc(0);
    EXPECT_EQ(image.bytes(), before);
  }
}

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
