// ImgBlockRotate: the scan of ImgRotate on cells of 2, 4 or 8 pixels.
#include <gtest/gtest.h>

#include <set>

#include "geometry_test_support.h"

namespace ormi {
namespace {

using test::LockStateOf;
using test::Picture;
using test::PictureOf;
using test::TestImage;

constexpr uint32_t Opaque(uint32_t pixel) { return pixel | 0xFF000000u; }

class BlockRotateTest : public test::MemoryCheckedTest {
 protected:
  HGLOBAL BlockRotate(const TestImage& image, int degrees, int level) {
    const test::LockState before = LockStateOf(image);
    const std::vector<uint8_t> bytes = image.bytes();
    const size_t live = Win32EmuLiveBlocks();
    HGLOBAL rotated = ImgBlockRotate(image.handle(), degrees, 99, level);
    EXPECT_EQ(LockStateOf(image), before);
    EXPECT_EQ(image.bytes(), bytes);
    EXPECT_EQ(Win32EmuLiveBlocks(), live + (rotated ? 3 : 0));
    return rotated;
  }
};

// A picture of cells, each value standing for a solid block of B x B pixels.
Picture Blocks(const Picture& cells, size_t b) {
  Picture picture;
  for (const std::vector<uint32_t>& cellRow : cells) {
    std::vector<uint32_t> row;
    for (uint32_t cell : cellRow) row.insert(row.end(), b, cell);
    picture.insert(picture.end(), b, row);
  }
  return picture;
}

TEST_F(BlockRotateTest, FourByFourAtLevelOneByFortyFive) {
  TestImage image({.depth = 32, .width = 4, .height = 4});
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 4; ++x) image.setPixel(x, r, static_cast<uint32_t>(0x10 * r + x));
  }
  TestImage rotated(BlockRotate(image, 45, 1));
  ASSERT_NE(rotated.handle(), nullptr);
  test::ExpectHandedOver(rotated);
  auto s = [](int x, int r) { return Opaque(static_cast<uint32_t>(0x10 * r + x)); };
  // The middle cell samples the source position (1.5, 1.5).
  EXPECT_EQ(PictureOf(rotated.bitmap()), Blocks({{0, s(0, 0), 0}, {s(0, 3), s(1, 1), s(3, 0)}, {0, s(3, 3), 0}}, 2));
  const std::vector<uint8_t> bytes = rotated.bytes();
  ASSERT_EQ(bytes.size(), 40 + 4 * 36 + 32u);
  // The block is not zero-filled, yet the spare bytes must not carry what the memory held before.
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 32, bytes.end()), std::vector<uint8_t>(32, 0));
  EXPECT_EQ(rotated.record().transparency, 1u);
  EXPECT_EQ(rotated.record().transparentColor, ORMI_ALPHA_TRANSPARENCY);
  EXPECT_EQ(rotated.record().baseWidth, 4);
}

TEST_F(BlockRotateTest, LevelsOutsideOneToThreeRefuseAnglesButNotQuarterTurns) {
  TestImage image({.depth = 32, .width = 3, .height = 2}, {{1, 2, 3}, {4, 5, 6}});
  for (int level : {0, 4, -1}) {
    EXPECT_EQ(BlockRotate(image, 45, level), nullptr) << level;
    TestImage quarter(BlockRotate(image, 90, level));
    ASSERT_NE(quarter.handle(), nullptr);
    EXPECT_EQ(PictureOf(quarter.bitmap()), (Picture{{4, 1}, {5, 2}, {6, 3}}));
  }
}

TEST_F(BlockRotateTest, TwentyFourBitsRefuseEveryAngleAtEveryLevel) {
  TestImage image({.depth = 24, .width = 4, .height = 4});
  for (int level = 0; level <= 4; ++level) EXPECT_EQ(BlockRotate(image, 45, level), nullptr) << level;
}

// The bitmap is not zero-filled: every pixel must be written, each cell solid, each value the
// background or a source pixel made opaque.
TEST_F(BlockRotateTest, EveryPixelIsWrittenAndEveryCellIsSolid) {
  TestImage image({.depth = 32, .width = 7, .height = 5});
  std::set<uint32_t> allowed{0};
  for (int r = 0; r < 5; ++r) {
    for (int x = 0; x < 7; ++x) {
      image.setPixel(x, r, static_cast<uint32_t>(0x01000000 * (r + 1) + x + 1));
      allowed.insert(Opaque(static_cast<uint32_t>(0x01000000 * (r + 1) + x + 1)));
    }
  }
  for (int level = 1; level <= 3; ++level) {
    const size_t b = size_t{1} << level;
    for (int degrees = -400; degrees <= 400; degrees += 23) {
      TestImage rotated(BlockRotate(image, degrees, level));
      ASSERT_NE(rotated.handle(), nullptr);
      const Picture picture = PictureOf(rotated.bitmap());
      ASSERT_EQ(picture.size() % b, 0u);
      ASSERT_EQ(picture[0].size() % b, 0u);
      for (size_t r = 0; r < picture.size(); ++r) {
        for (size_t x = 0; x < picture[r].size(); ++x) {
          ASSERT_TRUE(allowed.count(picture[r][x])) << level << " " << degrees;
          ASSERT_EQ(picture[r][x], picture[r - r % b][x - x % b]) << level << " " << degrees;
        }
      }
    }
  }
}

// Cells of 4 pixels on a 32 x 2 picture: the grid is one cell row, which runs from the leftmost
// corner to the rightmost, sampling columns 3.875 apart.
TEST_F(BlockRotateTest, ASingleCellRowShowsThePicture) {
  TestImage image({.depth = 32, .width = 32, .height = 2});
  for (int x = 0; x < 32; ++x) {
    image.setPixel(x, 0, static_cast<uint32_t>(x));
    image.setPixel(x, 1, static_cast<uint32_t>(0x100 + x));
  }
  TestImage rotated(BlockRotate(image, 360, 2));
  ASSERT_NE(rotated.handle(), nullptr);
  std::vector<uint32_t> cells;
  for (uint32_t column : {0, 3, 7, 11, 15, 19, 23, 27, 31}) cells.push_back(Opaque(column));
  EXPECT_EQ(PictureOf(rotated.bitmap()), Blocks({cells}, 4));
}

TEST_F(BlockRotateTest, ColourKeyAppliesToEveryCell) {
  TestImage image({.depth = 32, .width = 4, .height = 4});
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 4; ++x) image.setPixel(x, r, 0x0000FF00);  // green
  }
  image.setPixel(1, 1, 0x7F00FF01);
  image.setColorKey(0x0000FF00);  // COLORREF green
  TestImage rotated(BlockRotate(image, 45, 1));
  ASSERT_NE(rotated.handle(), nullptr);
  EXPECT_EQ(PictureOf(rotated.bitmap()), Blocks({{0, 0, 0}, {0, 0xFF00FF01, 0}, {0, 0, 0}}, 2));
  EXPECT_EQ(rotated.record().transparentColor, 0x8000FF00u);
}

TEST_F(BlockRotateTest, RefusalsAndFailuresGiveZeroAndLeaveNothing) {
  EXPECT_EQ(ImgBlockRotate(nullptr, 45, 0, 1), nullptr);
  TestImage image({.depth = 32, .width = 4, .height = 3});
  test::FillRandomRows(image, 4);
  const uint32_t bitmap = image.record().bitmap;
  image.edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(BlockRotate(image, 45, 1), nullptr);
  image.edit([&](ImageRecord& r) { r.bitmap = bitmap; });

  const long locks = Win32EmuLockCalls(), allocs = Win32EmuAllocCalls();
  HGLOBAL done = ImgBlockRotate(image.handle(), 45, 0, 3);
  const long lockCount = Win32EmuLockCalls() - locks, allocCount = Win32EmuAllocCalls() - allocs;
  ASSERT_NE(done, nullptr);
  { TestImage turned(done); }
  ASSERT_EQ(lockCount, 6);
  ASSERT_EQ(allocCount, 3);
  const size_t live = Win32EmuLiveBlocks();
  const std::vector<uint8_t> bytes = image.bytes();
  for (long n = 1; n <= lockCount; ++n) {
    Win32EmuFailNextLock(n);
    EXPECT_EQ(ImgBlockRotate(image.handle(), 45, 0, 3), nullptr) << "lock " << n;
    Win32EmuFailNextLock(0);
    EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1})) << "lock " << n;
    EXPECT_EQ(Win32EmuLiveBlocks(), live) << "lock " << n;
  }
  for (long n = 1; n <= allocCount; ++n) {
    Win32EmuFailNextAlloc(n);
    EXPECT_EQ(ImgBlockRotate(image.handle(), 45, 0, 3), nullptr) << "allocation " << n;
    Win32EmuFailNextAlloc(0);
    EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1})) << "allocation " << n;
    EXPECT_EQ(Win32EmuLiveBlocks(), live) << "allocation " << n;
  }
  EXPECT_EQ(image.bytes(), bytes);
}

}  // namespace
}  // namespace ormi
