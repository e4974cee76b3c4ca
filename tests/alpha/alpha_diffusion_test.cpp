#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/heap_buffer.h"
#include "support/test_image.h"

namespace ormi {
namespace {

using test::LockState;
using test::LockStateOf;
using test::TestImage;

class AlphaDiffusionTest : public test::MemoryCheckedTest {
 protected:
  // Calls ImgDiff and checks that the source's locks are as they were.
  HGLOBAL Diff(const TestImage& source, int passes) {
    const LockState before = LockStateOf(source);
    HGLOBAL result = ImgDiff(source.handle(), passes);
    EXPECT_EQ(LockStateOf(source), before);
    return result;
  }
  void TearDown() override {
    Win32EmuFailNextHeapAlloc(0);
    MemoryCheckedTest::TearDown();
  }
};

// Every alpha of the result, row by row in memory order.
std::vector<std::vector<int>> AlphaGrid(const TestImage& image) {
  const ImageRecord r = image.record();
  std::vector<std::vector<int>> grid(static_cast<size_t>(r.height), std::vector<int>(static_cast<size_t>(r.width)));
  for (int y = 0; y < r.height; ++y) {
    for (int x = 0; x < r.width; ++x) grid[y][x] = static_cast<int>(image.pixel(x, y) >> 24);
  }
  return grid;
}

TEST_F(AlphaDiffusionTest, NoPassGivesTheSourceInAOnePixelBorder) {
  TestImage source({.depth = 32, .width = 2, .height = 1}, {{0x80FF0000, 0x12345678}});
  TestImage result(Diff(source, 0));
  ASSERT_NE(result.handle(), nullptr);
  const BITMAPINFOHEADER h = result.header();
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 4);
  EXPECT_EQ(h.biHeight, 3);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 32);
  EXPECT_EQ(h.biCompression, 0u);
  EXPECT_EQ(h.biSizeImage, 0u);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(result.bytes().size(), 40u + 4 * 4 * 3);
  const std::vector<std::vector<uint32_t>> expected{{0x00FF0000, 0x00FF0000, 0x00FF0000, 0x00FF0000},
                                                    {0x00FF0000, 0x80FF0000, 0x12345678, 0x00FF0000},
                                                    {0x00FF0000, 0x00FF0000, 0x00FF0000, 0x00FF0000}};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(result.pixel(x, y), expected[y][x]) << x << "," << y;
  }
}

TEST_F(AlphaDiffusionTest, OpaqueSourceGrowsRingsOf170And85) {
  // The first stored pixel is red: the whole border, halo included, is red.
  TestImage source({.depth = 32, .width = 2, .height = 2}, {{0xFFFF0000, 0xFF00FF00}, {0xFF0000FF, 0xFFFFFFFF}});
  source.setColorKey(0x00123456);
  TestImage result(Diff(source, 2));
  ASSERT_NE(result.handle(), nullptr);
  const ImageRecord r = result.record();
  EXPECT_EQ(r.width, 8);
  EXPECT_EQ(r.height, 8);
  EXPECT_EQ(r.transparency, 1u);
  EXPECT_EQ(r.transparentColor, 0x80000000u);
  EXPECT_EQ(LockStateOf(result), (LockState{0, 0, 1}));
  // Distance from the source square (columns and rows 3..4): 0 -> 255, 1 -> 170, 2 -> 85, 3 -> 0.
  const int ring[] = {255, 170, 85, 0};
  const std::vector<std::vector<int>> grid = AlphaGrid(result);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int dx = x < 3 ? 3 - x : x > 4 ? x - 4 : 0, dy = y < 3 ? 3 - y : y > 4 ? y - 4 : 0;
      EXPECT_EQ(grid[y][x], ring[std::max(dx, dy)]) << x << "," << y;
      if (std::max(dx, dy) > 0) {
        EXPECT_EQ(result.pixel(x, y) & 0xFFFFFF, 0xFF0000u) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(result.pixel(4, 4), 0xFFFFFFFFu);
}

TEST_F(AlphaDiffusionTest, NeighbourOrderDecidesBetweenUnequalNeighbours) {
  // One pass (k = 1: half the neighbour's alpha). The source sits at columns 2..4, rows 2..3.
  // (2, 2) has 100 to its right and 200 in the next row: the right one comes first, 50.
  // (3, 3) has 200 on its left (fifth in the order) and 100 above (sixth): 100.
  // (4, 3) finds only 100 above left (seventh): 50. Every value comes from the previous pass.
  TestImage source({.depth = 32, .width = 3, .height = 2}, {{0x00000000, 0x64000000, 0x00000000}, {0xC8000000, 0, 0}});
  TestImage result(Diff(source, 1));
  ASSERT_NE(result.handle(), nullptr);
  const std::vector<std::vector<int>> grid = AlphaGrid(result);
  const std::vector<std::vector<int>> expected{{0, 0, 0, 0, 0, 0, 0},       {0, 0, 50, 50, 50, 0, 0},
                                               {0, 100, 50, 100, 50, 0, 0}, {0, 100, 200, 100, 50, 0, 0},
                                               {0, 100, 100, 100, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(grid, expected);
}

TEST_F(AlphaDiffusionTest, TopDownSourcesComeOutUpsideDown) {
  TestImage source({.depth = 32, .width = 1, .height = -2}, {{0xFF000001}, {0xFF000002}});
  TestImage result(Diff(source, 0));
  ASSERT_NE(result.handle(), nullptr);
  EXPECT_EQ(result.header().biHeight, 4);
  EXPECT_EQ(result.pixel(1, 1), 0xFF000001u);
  EXPECT_EQ(result.pixel(1, 2), 0xFF000002u);
}

struct DiffRefusal {
  const char* name;
  test::BitmapSpec bitmapSpec;
  int passes;
  int recordWidth;  // 0: as created
};

class AlphaDiffusionRefusalTest : public AlphaDiffusionTest, public ::testing::WithParamInterface<DiffRefusal> {};

TEST_P(AlphaDiffusionRefusalTest, ReturnsNullAndAllocatesNothing) {
  const DiffRefusal& c = GetParam();
  TestImage source(c.bitmapSpec);
  if (c.recordWidth != 0) source.edit([&](ImageRecord& r) { r.width = c.recordWidth; });
  const size_t live = Win32EmuLiveBlocks();
  const long allocs = Win32EmuAllocCalls();
  EXPECT_EQ(Diff(source, c.passes), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), live);
  EXPECT_EQ(Win32EmuAllocCalls(), allocs);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, AlphaDiffusionRefusalTest,
    ::testing::Values(DiffRefusal{"TwentyFourBits", {.depth = 24, .width = 2, .height = 2}, 1, 0},
                      DiffRefusal{"EightBits", {.depth = 8, .width = 4, .height = 2}, 1, 0},
                      DiffRefusal{"NegativePasses", {.depth = 32, .width = 2, .height = 2}, -1, 0},
                      DiffRefusal{"SideOverflows", {.depth = 32, .width = 2, .height = 2}, INT_MAX / 2, 0},
                      DiffRefusal{"RecordWiderThanBitmap", {.depth = 32, .width = 2, .height = 2}, 1, 3},
                      DiffRefusal{"EmptySource", {.depth = 32, .width = 0, .height = 2}, 1, 0},
                      DiffRefusal{"ShortBlock", {.depth = 32, .width = 2, .height = 9, .sizeOverride = 48}, 1, 0}),
    [](const ::testing::TestParamInfo<DiffRefusal>& param) { return param.param.name; });

TEST_F(AlphaDiffusionTest, AHaloTooLargeForMemoryFailsCleanly) {
  TestImage source({.depth = 32, .width = 2, .height = 2});
  const size_t live = Win32EmuLiveBlocks();
  EXPECT_EQ(Diff(source, INT_MAX / 4), nullptr);  // 2^30 pixels a side
  EXPECT_EQ(Win32EmuLiveBlocks(), live);
}

TEST_F(AlphaDiffusionTest, InvalidHandlesAreRefused) {
  EXPECT_EQ(ImgDiff(nullptr, 1), nullptr);
  TestImage source({.depth = 32, .width = 1, .height = 1});
  source.edit([](ImageRecord& r) { r.magic[2] = '3'; });
  EXPECT_EQ(Diff(source, 1), nullptr);
  source.edit([](ImageRecord& r) { r.magic[2] = '2'; });
  const uint32_t bitmap = source.record().bitmap;
  source.edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(Diff(source, 1), nullptr);
  source.edit([&](ImageRecord& r) { r.bitmap = bitmap; });
}

// Every allocation and every lock of a successful call, failed in turn: null, and nothing left
// allocated or locked.
TEST_F(AlphaDiffusionTest, EveryFailureReleasesWhatWasObtained) {
  TestImage source({.depth = 32, .width = 2, .height = 2}, {{0xFF000000, 0}, {0, 0}});
  const long allocsBefore = Win32EmuAllocCalls(), locksBefore = Win32EmuLockCalls();
  {
    TestImage reference(ImgDiff(source.handle(), 2));
    ASSERT_NE(reference.handle(), nullptr);
  }
  const long allocs = Win32EmuAllocCalls() - allocsBefore;
  // Locks taken by the library alone (the TestImage destructor takes one of the record).
  const long locks = Win32EmuLockCalls() - locksBefore - 1;
  ASSERT_GE(allocs, 3);
  ASSERT_GE(locks, 4);
  const size_t live = Win32EmuLiveBlocks();
  for (long n = 1; n <= allocs; ++n) {
    Win32EmuFailNextAlloc(n);
    EXPECT_EQ(ImgDiff(source.handle(), 2), nullptr) << "allocation " << n;
    Win32EmuFailNextAlloc(0);
    EXPECT_EQ(Win32EmuLiveBlocks(), live) << "allocation " << n;
  }
  for (long n = 1; n <= locks; ++n) {
    Win32EmuFailNextLock(n);
    EXPECT_EQ(ImgDiff(source.handle(), 2), nullptr) << "lock " << n;
    Win32EmuFailNextLock(0);
    EXPECT_EQ(Win32EmuLiveBlocks(), live) << "lock " << n;
    EXPECT_EQ(LockStateOf(source), (LockState{0, 0, 1})) << "lock " << n;
  }
  for (long n = 1; n <= 2; ++n) {  // the two row buffers
    Win32EmuFailNextHeapAlloc(n);
    EXPECT_EQ(ImgDiff(source.handle(), 2), nullptr) << "row buffer " << n;
    Win32EmuFailNextHeapAlloc(0);
    EXPECT_EQ(Win32EmuLiveBlocks(), live);
  }
}

}  // namespace
}  // namespace ormi
