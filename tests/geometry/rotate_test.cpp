// ImgRotate by angles that are not quarter turns: scan conversion at 32 bits.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "geometry/rotated_polygon.h"
#include "geometry_test_support.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::LockStateOf;
using test::Picture;
using test::PictureOf;
using test::TestImage;

constexpr uint32_t Opaque(uint32_t pixel) { return pixel | 0xFF000000u; }

class RotateTest : public test::MemoryCheckedTest {
 protected:
  HGLOBAL Rotate(const TestImage& image, int degrees, int reserved = 0) {
    const test::LockState before = LockStateOf(image);
    const std::vector<uint8_t> bytes = image.bytes();
    HGLOBAL rotated = ImgRotate(image.handle(), degrees, reserved);
    EXPECT_EQ(LockStateOf(image), before);
    EXPECT_EQ(image.bytes(), bytes);
    return rotated;
  }
};

// s(0,0), s(1,0) in stored row 0 and s(0,1), s(1,1) in row 1, alpha bytes of every kind.
const Picture kTwoByTwo{{0x00112233, 0x40445566}, {0x80778899, 0x01AABBCC}};

TEST_F(RotateTest, TwoByTwoByFortyFiveGivesTheThreeByThreeDiamond) {
  TestImage image({.depth = 32, .width = 2, .height = 2}, kTwoByTwo);
  TestImage rotated(Rotate(image, 45));
  ASSERT_NE(rotated.handle(), nullptr);
  test::ExpectHandedOver(rotated);
  const uint32_t s00 = Opaque(0x00112233), s10 = Opaque(0x40445566), s01 = Opaque(0x80778899), s11 = Opaque(0x01AABBCC);
  EXPECT_EQ(PictureOf(rotated.bitmap()), (Picture{{0, s00, 0}, {s01, s00, s10}, {0, s11, 0}}));
  EXPECT_EQ(rotated.bytes().size(), 40 + 36 + 32u);
  const ImageRecord r = rotated.record();
  EXPECT_EQ(r.transparency, 1u);
  EXPECT_EQ(r.transparentColor, ORMI_ALPHA_TRANSPARENCY);
  EXPECT_EQ(r.width, 3);
  EXPECT_EQ(r.baseWidth, 2);
  EXPECT_EQ(r.baseHeight, 2);
}

TEST_F(RotateTest, ColourKeyPixelsBecomeTransparentAndOthersOpaque) {
  // Key red: COLORREF 0x0000FF. Pixels are red with alpha 0, green with alpha 0x80, red with alpha 0x12.
  TestImage image({.depth = 32, .width = 2, .height = 2}, {{0x00FF0000, 0x12FF0000}, {0x8000FF00, 0x00FF0001}});
  image.setColorKey(0x000000FF);
  TestImage rotated(Rotate(image, 45));
  ASSERT_NE(rotated.handle(), nullptr);
  EXPECT_EQ(PictureOf(rotated.bitmap()), (Picture{{0, 0, 0}, {0xFF00FF00, 0, 0}, {0, 0xFFFF0001, 0}}));
  EXPECT_EQ(rotated.record().transparency, 1u);
  EXPECT_EQ(rotated.record().transparentColor, 0x800000FFu);
}

TEST_F(RotateTest, AlphaTransparencyPassesAlphaThrough) {
  TestImage image({.depth = 32, .width = 2, .height = 2}, kTwoByTwo);
  image.setAlphaTransparency(0x00123456);
  TestImage rotated(Rotate(image, 45));
  ASSERT_NE(rotated.handle(), nullptr);
  EXPECT_EQ(PictureOf(rotated.bitmap()),
            (Picture{{0, 0x00112233, 0}, {0x80778899, 0x00112233, 0x40445566}, {0, 0x01AABBCC, 0}}));
  EXPECT_EQ(rotated.record().transparentColor, 0x80123456u);
}

TEST_F(RotateTest, TheReservedArgumentChangesNothing) {
  TestImage image({.depth = 32, .width = 5, .height = 3});
  test::FillRandomRows(image, 3);
  TestImage first(Rotate(image, 30, 0));
  TestImage second(Rotate(image, 30, -12345));
  ASSERT_NE(first.handle(), nullptr);
  ASSERT_NE(second.handle(), nullptr);
  EXPECT_EQ(first.bytes(), second.bytes());
}

TEST_F(RotateTest, AnglesOffTheQuarterTurnsNeedThirtyTwoBits) {
  TestImage image({.depth = 24, .width = 3, .height = 2}, {{1, 2, 3}, {4, 5, 6}});
  HGDIOBJ gdi = Win32EmuCreateGdiObject();
  image.edit([&](ImageRecord& r) { r.gdiObject = OrmiFieldFromGdiObject(gdi); });
  EXPECT_EQ(Rotate(image, 30), nullptr);
  EXPECT_TRUE(Win32EmuGdiObjectDeleted(gdi));  // deleted before the depth is looked at
  for (int degrees : {30, 1, -90, 360, 450, -180}) EXPECT_EQ(Rotate(image, degrees), nullptr) << degrees;
  TestImage quarter(Rotate(image, 90));
  ASSERT_NE(quarter.handle(), nullptr);
  EXPECT_EQ(quarter.header().biBitCount, 24);
  EXPECT_EQ(PictureOf(quarter.bitmap()), (Picture{{4, 1}, {5, 2}, {6, 3}}));
}

TEST_F(RotateTest, OtherMultiplesOfNinetyTakeTheScanPath) {
  TestImage image({.depth = 32, .width = 3, .height = 2}, {{1, 2, 3}, {4, 5, 6}});
  for (int degrees : {360, -90, 450}) {
    TestImage rotated(Rotate(image, degrees));
    ASSERT_NE(rotated.handle(), nullptr);
    EXPECT_EQ(rotated.record().transparency, 1u) << degrees;  // a quarter turn would copy "none"
  }
}

// Every canvas pixel is the background or some source pixel made opaque, whatever the angle.
TEST_F(RotateTest, EveryPixelIsBackgroundOrASourcePixel) {
  for (int width : {1, 2, 3, 7}) {
    for (int height : {1, 2, 5}) {
      TestImage image({.depth = 32, .width = width, .height = height});
      std::set<uint32_t> allowed{0};
      for (int r = 0; r < height; ++r) {
        for (int x = 0; x < width; ++x) {
          const uint32_t value = static_cast<uint32_t>(0x00010000 * (r + 1) + x + 1);
          image.setPixel(x, r, value);
          allowed.insert(Opaque(value));
        }
      }
      for (int degrees = -725; degrees <= 725; degrees += 17) {
        TestImage rotated(Rotate(image, degrees));
        ASSERT_NE(rotated.handle(), nullptr);
        for (const std::vector<uint32_t>& row : PictureOf(rotated.bitmap())) {
          for (uint32_t pixel : row) EXPECT_TRUE(allowed.count(pixel)) << width << "x" << height << " " << degrees;
        }
      }
    }
  }
}

// Beyond 32767 pixels 32-bit 16.16 positions would overflow; the scan still walks the source.
TEST_F(RotateTest, PicturesWiderThanSixteenBitPositionsTurnCorrectly) {
  constexpr int kWidth = 40000;
  TestImage image({.depth = 32, .width = kWidth, .height = 1});
  std::vector<uint8_t> bytes = image.bytes();
  for (uint32_t x = 0; x < kWidth; ++x) std::memcpy(bytes.data() + 40 + 4 * x, &x, 4);
  test::SetBlockBytes(image.bitmap(), bytes);
  TestImage rotated(Rotate(image, 360));
  ASSERT_NE(rotated.handle(), nullptr);
  EXPECT_EQ(rotated.header().biWidth, kWidth + 1);
  uint32_t highest = 0;
  for (const std::vector<uint32_t>& row : PictureOf(rotated.bitmap())) {
    uint32_t previous = 0;
    for (uint32_t pixel : row) {
      if (pixel == 0) continue;
      ASSERT_EQ(pixel >> 24, 0xFFu);
      const uint32_t column = pixel & 0xFFFFFF;
      ASSERT_LT(column, static_cast<uint32_t>(kWidth));
      EXPECT_GE(column, previous);
      previous = column;
      highest = std::max(highest, column);
    }
  }
  EXPECT_GE(highest, kWidth - 2u);
}

TEST_F(RotateTest, RefusalsGiveZeroAndLeaveNothing) {
  EXPECT_EQ(ImgRotate(nullptr, 45, 0), nullptr);
  auto refused = [&](const TestImage& image) {
    const size_t live = Win32EmuLiveBlocks();
    EXPECT_EQ(Rotate(image, 45), nullptr);
    EXPECT_EQ(Win32EmuLiveBlocks(), live);
  };
  // An empty picture has nothing to sample.
  refused(TestImage({.depth = 32, .width = 0, .height = 3}));
  // A canvas of about 46341 x 46341 pixels cannot be allocated.
  refused(TestImage({.depth = 32, .width = 65536, .height = 1}));
  refused(TestImage({.depth = 32, .width = 2, .height = -2}));
  refused(TestImage({.depth = 32, .width = 2, .height = 2, .sizeOverride = 40 + 12}));

  TestImage image({.depth = 32, .width = 2, .height = 2}, kTwoByTwo);
  image.edit([](ImageRecord& r) { r.flags |= ORMI_FLAG_LOCKED_IMAGE; });
  TestImage flagged(Rotate(image, 45));  // the locked-image flag alone does not refuse
  EXPECT_NE(flagged.handle(), nullptr);
  const uint32_t bitmap = image.record().bitmap;
  image.edit([](ImageRecord& r) { r.bitmap = 0; });
  refused(image);
  image.edit([&](ImageRecord& r) { r.bitmap = bitmap; });
}

TEST_F(RotateTest, EveryFailedLockOrAllocationGivesZeroAndLeavesNothing) {
  TestImage image({.depth = 32, .width = 3, .height = 2});
  test::FillRandomRows(image, 2);
  HGDIOBJ gdi = Win32EmuCreateGdiObject();
  image.edit([&](ImageRecord& r) { r.gdiObject = OrmiFieldFromGdiObject(gdi); });
  const long locks = Win32EmuLockCalls(), allocs = Win32EmuAllocCalls();
  HGLOBAL done = ImgRotate(image.handle(), 30, 0);
  const long lockCount = Win32EmuLockCalls() - locks, allocCount = Win32EmuAllocCalls() - allocs;
  ASSERT_NE(done, nullptr);
  { TestImage turned(done); }
  EXPECT_TRUE(Win32EmuGdiObjectDeleted(gdi));
  ASSERT_EQ(lockCount, 6);
  ASSERT_EQ(allocCount, 3);
  const size_t live = Win32EmuLiveBlocks();
  for (long n = 1; n <= lockCount; ++n) {
    Win32EmuFailNextLock(n);
    EXPECT_EQ(ImgRotate(image.handle(), 30, 0), nullptr) << "lock " << n;
    Win32EmuFailNextLock(0);
    EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1})) << "lock " << n;
    EXPECT_EQ(Win32EmuLiveBlocks(), live) << "lock " << n;
  }
  for (long n = 1; n <= allocCount; ++n) {
    Win32EmuFailNextAlloc(n);
    EXPECT_EQ(Rotate(image, 30), nullptr) << "allocation " << n;
    Win32EmuFailNextAlloc(0);
    EXPECT_EQ(Win32EmuLiveBlocks(), live) << "allocation " << n;
  }
}

// The scan keeps its state in the call: turns of different images may run at the same time.
TEST_F(RotateTest, TurnsOfDifferentImagesRunAtTheSameTime) {
  TestImage first({.depth = 32, .width = 37, .height = 23}), second({.depth = 32, .width = 19, .height = 41});
  test::FillRandomRows(first, 11);
  test::FillRandomRows(second, 12);
  auto expected = [](const TestImage& image, int degrees, int level) {
    TestImage turned(level ? ImgBlockRotate(image.handle(), degrees, 0, level) : ImgRotate(image.handle(), degrees, 0));
    return turned.bytes();
  };
  const std::vector<uint8_t> firstBytes = expected(first, 33, 0), secondBytes = expected(second, -71, 2);
  int mismatches = 0;
  std::thread other([&] {
    for (int i = 0; i < 40; ++i) mismatches += expected(second, -71, 2) != secondBytes;
  });
  for (int i = 0; i < 40; ++i) mismatches += expected(first, 33, 0) != firstBytes;
  other.join();
  EXPECT_EQ(mismatches, 0);
}

// A canvas of a single row (every corner on row 0) is drawn from the leftmost corner to the
// rightmost: here a 4 x 1 picture turned half round.
TEST(FillRotatedPolygonTest, SingleRowRunsFromTheLeftmostToTheRightmostCorner) {
  const uint32_t source[4] = {10, 11, 12, 13};
  RotatedPolygon polygon{};
  const int64_t columns[4] = {3, 0, 0, 3}, u[4] = {0, 3 * 65536, 3 * 65536, 0};
  for (int i = 0; i < 4; ++i) polygon.column[i] = columns[i], polygon.u[i] = u[i];
  polygon.lastColumn = 3;
  std::vector<uint8_t> canvas(16, 0xCD);
  FillRotatedPolygon(polygon, {reinterpret_cast<const uint8_t*>(source), 4, 1}, canvas.data(), 1, {});
  uint32_t out[4];
  std::memcpy(out, canvas.data(), 16);
  EXPECT_EQ(out[0], Opaque(13));
  EXPECT_EQ(out[1], Opaque(12));
  EXPECT_EQ(out[2], Opaque(11));
  EXPECT_EQ(out[3], Opaque(10));
}

TEST(RotateCornersTest, TwoByTwoByFortyFiveIsTheDiamond) {
  const std::optional<RotatedPolygon> p = RotateCorners(2, 2, 45, 1);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->lastColumn, 2);
  EXPECT_EQ(p->lastRow, 2);
  const int64_t columns[4] = {1, 2, 1, 0}, rows[4] = {0, 1, 2, 1};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(p->column[i], columns[i]) << i;
    EXPECT_EQ(p->row[i], rows[i]) << i;
  }
  EXPECT_EQ(p->u[2], 65536);
  EXPECT_EQ(p->v[3], 65536);
  // A small angle gives a canvas of about (W + 1) x (H + 1).
  const std::optional<RotatedPolygon> small = RotateCorners(10, 4, 1, 1);
  ASSERT_TRUE(small);
  EXPECT_EQ(small->lastColumn, 10);
  EXPECT_EQ(small->lastRow, 4);
}

}  // namespace
}  // namespace ormi
