// Quarter turns (through both rotation exports), the corner geometry, the bit-block transpose,
// and the hand-over of a turned bitmap as a new image.
#include "geometry/rotation_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "geometry_test_support.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::LockStateOf;
using test::Picture;
using test::PictureOf;
using test::TestImage;

TEST(RotatePointTest, TurnsCounterClockwiseWithTheSinglePrecisionConstant) {
  PointF p{1, 0};
  RotatePoint(p, 90);
  EXPECT_NEAR(p.x, 0, 1e-6);
  EXPECT_NEAR(p.y, 1, 1e-6);
  p = {1, 0};
  RotatePoint(p, -90);
  EXPECT_NEAR(p.y, -1, 1e-6);
  p = {0, 2};
  RotatePoint(p, 180);
  EXPECT_NEAR(p.x, 0, 1e-6);
  EXPECT_NEAR(p.y, -2, 1e-6);
  // 360 x 0.017453292f falls 4.87e-8 short of a full turn, which a double pi/180 would not.
  p = {1, 0};
  RotatePoint(p, 360);
  EXPECT_EQ(p.x, 1.0f);
  EXPECT_NEAR(p.y, -4.867e-8, 0.01e-8);
}

TEST(MinMaxOf4Test, ScanFromFourBillionAndClampBeyondIt) {
  EXPECT_EQ(MinOf4(3, -1.5f, 2, 7), -1.5f);
  EXPECT_EQ(MaxOf4(3, -1.5f, 2, 7), 7.0f);
  EXPECT_EQ(MinOf4(5e9f, 6e9f, 7e9f, 8e9f), 4e9f);
  EXPECT_EQ(MaxOf4(-5e9f, -6e9f, -7e9f, -8e9f), -4e9f);
  EXPECT_EQ(MinOf4(-5e9f, 1, 2, 3), -5e9f);
  EXPECT_EQ(MinOf4(NAN, 1, NAN, 2), 1.0f);
}

TEST(TransposeBitBlockTest, RowsBecomeColumns) {
  // Source byte i holds only pixel i (bit 7 - i): output byte j holds bit j of all, that is 1 << j.
  uint8_t diagonal[8], out[8] = {};
  for (int i = 0; i < 8; ++i) diagonal[i] = static_cast<uint8_t>(0x80 >> i);
  TransposeBitBlock(8, diagonal, 1, 8, out, 1);
  for (int j = 0; j < 8; ++j) EXPECT_EQ(out[j], 1 << j) << j;

  // Left half set in rows 0..2 only: output bytes 4..7 (source pixels 3..0) read 1110 0000.
  const uint8_t left[8] = {0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0};
  uint8_t partial[8] = {};
  TransposeBitBlock(3, left, 1, 8, partial, 1);
  const uint8_t expected[8] = {0, 0, 0, 0, 0xE0, 0xE0, 0xE0, 0xE0};
  EXPECT_TRUE(std::equal(partial, partial + 8, expected));
}

TEST(TransposeBitBlockTest, FewOutputRowsWriteTheLastBytesAndStepBothWays) {
  // Source read downwards from the last byte; three outputs (source pixels 2, 1, 0) written upwards.
  const uint8_t source[8] = {0xA0, 0, 0, 0, 0, 0, 0, 0x60};  // byte 7: pixels 1, 2; byte 0: pixels 0, 2
  uint8_t out[7] = {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11};
  TransposeBitBlock(8, source + 7, -1, 3, out + 6, -2);
  EXPECT_EQ(out[6], 0x81);  // pixel 2: source bytes 7 (bit 7) and 0 (bit 0)
  EXPECT_EQ(out[4], 0x80);  // pixel 1: source byte 7 only
  EXPECT_EQ(out[2], 0x01);  // pixel 0: source byte 0 only
  EXPECT_EQ(out[5], 0x11);
  EXPECT_EQ(out[0], 0x11);
}

TEST(TurnedBitmapBytesTest, RefusesSizesThatOverflow) {
  EXPECT_EQ(TurnedBitmapBytes(40, 12, 5), std::optional<size_t>(40 + 60 + 32));
  EXPECT_EQ(TurnedBitmapBytes(40, 0, 5), std::optional<size_t>(72));
  EXPECT_EQ(TurnedBitmapBytes(40, uint64_t{1} << 40, uint64_t{1} << 40), std::nullopt);
  EXPECT_EQ(TurnedBitmapBytes(~uint64_t{0} - 8, 0, 0), std::nullopt);
}

class QuarterTurnTest : public test::MemoryCheckedTest {
 protected:
  // Turns through ImgRotate (or ImgBlockRotate, whose level then does not matter), checking the
  // source's locks, pixels and bytes are as they were.
  HGLOBAL Turn(const TestImage& image, int degrees, bool block = false) {
    const test::LockState before = LockStateOf(image);
    const std::vector<uint8_t> bytes = image.bytes();
    HGLOBAL turned = block ? ImgBlockRotate(image.handle(), degrees, 0, 0) : ImgRotate(image.handle(), degrees, 0);
    EXPECT_EQ(LockStateOf(image), before);
    EXPECT_EQ(image.bytes(), bytes);
    return turned;
  }
};

TEST_F(QuarterTurnTest, EightBitImageByNinety) {
  TestImage image({.depth = 8, .width = 3, .height = 2}, {{1, 2, 3}, {4, 5, 6}});
  TestImage turned(Turn(image, 90));
  ASSERT_NE(turned.handle(), nullptr);
  test::ExpectHandedOver(turned);
  // Pixel (x, r) lands at (H-1-r, x): stored row 0 is source (0,1), source (0,0).
  EXPECT_EQ(PictureOf(turned.bitmap()), (Picture{{4, 1}, {5, 2}, {6, 3}}));
  EXPECT_EQ(turned.header().biWidth, 2);
  EXPECT_EQ(turned.header().biHeight, 3);
  EXPECT_EQ(turned.bytes().size(), 1064 + 3 * 4 + 32u);
}

TEST_F(QuarterTurnTest, TwentyFourBitImageKeepsPaddingZeroAndSizeImage) {
  TestImage image({.depth = 24, .width = 5, .height = 3});
  test::FillRandomRows(image, 5);
  // biSizeImage as a host writes it, in the bitmap and its header copy.
  const DWORD sizeImage = 48;
  std::vector<uint8_t> bytes = image.bytes();
  std::memcpy(bytes.data() + 20, &sizeImage, 4);
  test::SetBlockBytes(image.bitmap(), bytes);
  std::memcpy(static_cast<uint8_t*>(OrmiPointerFromField(image.record().header)) + 20, &sizeImage, 4);

  TestImage turned(Turn(image, 90));
  ASSERT_NE(turned.handle(), nullptr);
  const BITMAPINFOHEADER header = turned.header();
  EXPECT_EQ(header.biWidth, 3);
  EXPECT_EQ(header.biHeight, 5);
  EXPECT_EQ(header.biSizeImage, sizeImage);
  EXPECT_EQ(turned.bytes().size(), 40 + 5 * 12 + 32u);  // rows of 3 pixels and 3 padding bytes
  const std::vector<uint8_t> out = turned.bytes();
  for (int r = 0; r < 5; ++r) {
    EXPECT_EQ(out[40 + 12 * r + 9], 0);
    EXPECT_EQ(out[40 + 12 * r + 11], 0);
  }
  const Picture source = PictureOf(image.bitmap()), result = PictureOf(turned.bitmap());
  EXPECT_EQ(result[0][0], source[2][0]);  // (0, 2) -> (0, 0)
  EXPECT_EQ(result[4][2], source[0][4]);  // (4, 0) -> (2, 4)
}

// What the quarter-turn mapping says the turned picture is.
Picture Expected(const Picture& source, int degrees) {
  const size_t h = source.size(), w = h ? source[0].size() : 0;
  const bool swaps = degrees != 180;
  Picture turned(swaps ? w : h, std::vector<uint32_t>(swaps ? h : w));
  for (size_t r = 0; r < h; ++r) {
    for (size_t x = 0; x < w; ++x) {
      if (degrees == 90) turned[x][h - 1 - r] = source[r][x];
      if (degrees == 180) turned[h - 1 - r][w - 1 - x] = source[r][x];
      if (degrees == 270) turned[w - 1 - x][r] = source[r][x];
    }
  }
  return turned;
}

class QuarterTurnMappingTest : public QuarterTurnTest, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(QuarterTurnMappingTest, EveryPixelFollowsTheMappingAndPaddingStaysZero) {
  const auto [depth, width] = GetParam();
  for (int height : {1, 3, 9, 17}) {
    TestImage image({.depth = depth, .width = width, .height = height});
    test::FillRandomRows(image, static_cast<unsigned>(depth * 1000 + width * 10 + height));
    const Picture source = PictureOf(image.bitmap());
    for (int degrees : {90, 180, 270}) {
      SCOPED_TRACE(::testing::Message() << depth << "-bit " << width << "x" << height << " by " << degrees);
      TestImage turned(Turn(image, degrees));
      ASSERT_NE(turned.handle(), nullptr);
      test::ExpectHandedOver(turned);
      EXPECT_EQ(PictureOf(turned.bitmap()), Expected(source, degrees));
      EXPECT_TRUE(test::PaddingIsZero(turned.bitmap()));
    }
  }
}

TEST_P(QuarterTurnMappingTest, FourQuarterTurnsAndTwoHalfTurnsGiveTheSourceBack) {
  const auto [depth, width] = GetParam();
  TestImage image({.depth = depth, .width = width, .height = 5});
  test::FillRandomRows(image, static_cast<unsigned>(depth + width));
  const Picture source = PictureOf(image.bitmap());
  TestImage once(Turn(image, 90));
  TestImage twice(Turn(once, 90));
  TestImage thrice(Turn(twice, 90, true));
  TestImage back(Turn(thrice, 90, true));
  ASSERT_NE(back.handle(), nullptr);
  EXPECT_EQ(PictureOf(back.bitmap()), source);
  TestImage half(Turn(image, 180));
  TestImage full(Turn(half, 180));
  ASSERT_NE(full.handle(), nullptr);
  EXPECT_EQ(PictureOf(full.bitmap()), source);
  // The host's base size rides along with every turn.
  EXPECT_EQ(back.record().baseWidth, width);
  EXPECT_EQ(back.record().baseHeight, 5);
  EXPECT_EQ(thrice.record().width, 5);
  EXPECT_EQ(thrice.record().height, width);
}

INSTANTIATE_TEST_SUITE_P(Depths, QuarterTurnMappingTest,
                         ::testing::Values(std::tuple{1, 1}, std::tuple{1, 7}, std::tuple{1, 8}, std::tuple{1, 9},
                                           std::tuple{1, 16}, std::tuple{1, 24}, std::tuple{1, 33}, std::tuple{4, 1},
                                           std::tuple{4, 3}, std::tuple{4, 5}, std::tuple{4, 8}, std::tuple{8, 1},
                                           std::tuple{8, 5}, std::tuple{16, 1}, std::tuple{16, 3}, std::tuple{24, 1},
                                           std::tuple{24, 5}, std::tuple{32, 1}, std::tuple{32, 3}));

TEST_F(QuarterTurnTest, SixteenBitMasksAndPaletteTravelWithTheHeader) {
  TestImage image({.depth = 16, .width = 3, .height = 2, .compression = BI_BITFIELDS, .masks = {0xF800, 0x07E0, 0x1F}},
                  {{1, 2, 3}, {4, 5, 6}});
  TestImage turned(Turn(image, 270));
  ASSERT_NE(turned.handle(), nullptr);
  const std::vector<uint8_t> source = image.bytes(), out = turned.bytes();
  EXPECT_TRUE(std::equal(source.begin() + 24, source.begin() + 52, out.begin() + 24));  // masks and the rest
  EXPECT_EQ(PictureOf(turned.bitmap()), (Picture{{3, 6}, {2, 5}, {1, 4}}));
}

TEST_F(QuarterTurnTest, AngleZeroGivesACopyOfThePixels) {
  TestImage image({.depth = 4, .width = 5, .height = 2, .clrUsed = 16}, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
  image.setColorKey(0x00010203);
  for (bool block : {false, true}) {
    TestImage copy(Turn(image, 0, block));
    ASSERT_NE(copy.handle(), nullptr);
    test::ExpectHandedOver(copy);
    EXPECT_EQ(PictureOf(copy.bitmap()), PictureOf(image.bitmap()));
    EXPECT_EQ(copy.record().transparency, image.record().transparency);
    EXPECT_EQ(copy.record().transparentColor, 0x00010203u);
  }
}

TEST_F(QuarterTurnTest, HandOverCarriesHostFieldsAndTransparencyAndDeletesTheGdiObject) {
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{0x11223344, 0x55667788}});
  HGDIOBJ gdi = Win32EmuCreateGdiObject();
  image.edit([&](ImageRecord& r) {
    r.host84 = 84, r.host88 = 88, r.host92 = 92, r.host96 = 96, r.host100 = 100, r.host101 = 101;
    r.host112 = 112, r.host28 = 28, r.host44 = 44, r.rasterOp = 0x00EE0086;
    r.baseWidth = 640, r.baseHeight = 480;
    r.transparency = 7, r.transparentColor = 0x80ABCDEF;
    r.gdiObject = OrmiFieldFromGdiObject(gdi);
  });
  TestImage turned(Turn(image, 270));
  ASSERT_NE(turned.handle(), nullptr);
  EXPECT_TRUE(Win32EmuGdiObjectDeleted(gdi));
  EXPECT_EQ(image.record().gdiObject, 0u);
  const ImageRecord r = turned.record();
  EXPECT_EQ(r.host84, 84u);
  EXPECT_EQ(r.host88, 88u);
  EXPECT_EQ(r.host92, 92u);
  EXPECT_EQ(r.host96, 96u);
  EXPECT_EQ(r.host100, 100);
  EXPECT_EQ(r.host101, 101);
  EXPECT_EQ(r.host112, 112u);
  EXPECT_EQ(r.baseWidth, 640);
  EXPECT_EQ(r.baseHeight, 480);
  EXPECT_EQ(r.transparency, 7u);
  EXPECT_EQ(r.transparentColor, 0x80ABCDEFu);
  // Fields that are not carried over keep the values of a new record.
  EXPECT_EQ(r.host28, 0u);
  EXPECT_EQ(r.host44, 0u);
  EXPECT_EQ(r.rasterOp, static_cast<uint32_t>(SRCCOPY));
  EXPECT_EQ(r.flags, 16u);
  EXPECT_EQ(r.gdiObject, 0u);
  EXPECT_EQ(r.width, 1);
  EXPECT_EQ(r.height, 2);
}

// Every way the source can be unfit: 0, its locks and bytes as they were, nothing left allocated.
TEST_F(QuarterTurnTest, RefusesSourcesItCannotTurnSafely) {
  EXPECT_EQ(ImgRotate(nullptr, 90, 0), nullptr);
  struct Case {
    const char* what;
    BitmapSpec bitmapSpec;
    void (*change)(TestImage&);
  };
  const Case cases[] = {
      {"no bitmap",
       {.depth = 8, .width = 2, .height = 2},
       [](TestImage& i) { i.edit([](ImageRecord& r) { r.bitmap = 0; }); }},
      {"locked-image flag without bitmap",
       {.depth = 8, .width = 2, .height = 2},
       [](TestImage& i) { i.edit([](ImageRecord& r) { r.bitmap = 0, r.flags |= ORMI_FLAG_LOCKED_IMAGE; }); }},
      {"no header copy",
       {.depth = 8, .width = 2, .height = 2},
       [](TestImage& i) { i.edit([](ImageRecord& r) { r.header = 0; }); }},
      {"top-down rows", {.depth = 8, .width = 2, .height = -2}, [](TestImage&) {}},
      {"2-bit depth", {.depth = 2, .width = 4, .height = 2}, [](TestImage&) {}},
      {"rows beyond the block", {.depth = 32, .width = 4, .height = 4, .sizeOverride = 40 + 16 * 3}, [](TestImage&) {}},
      {"header copy of another size",
       {.depth = 8, .width = 2, .height = 2},
       [](TestImage& i) { static_cast<BITMAPINFOHEADER*>(OrmiPointerFromField(i.record().header))->biHeight = 1; }},
      {"header copy of another depth",
       {.depth = 32, .width = 2, .height = 2},
       [](TestImage& i) { static_cast<BITMAPINFOHEADER*>(OrmiPointerFromField(i.record().header))->biBitCount = 24; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestImage image(c.bitmapSpec);
    const uint32_t header = image.record().header, bitmap = image.record().bitmap;
    c.change(image);
    const size_t live = Win32EmuLiveBlocks();
    for (int degrees : {0, 90, 180, 270}) {
      EXPECT_EQ(Turn(image, degrees), nullptr);
      EXPECT_EQ(Turn(image, degrees, true), nullptr);
    }
    EXPECT_EQ(Win32EmuLiveBlocks(), live);
    image.edit([&](ImageRecord& r) { r.header = header, r.bitmap = bitmap; });
  }
}

TEST_F(QuarterTurnTest, EveryFailedLockOrAllocationGivesZeroAndLeavesNothing) {
  TestImage image({.depth = 1, .width = 9, .height = 3});
  test::FillRandomRows(image, 1);
  const long locks = Win32EmuLockCalls(), allocs = Win32EmuAllocCalls();
  HGLOBAL done = ImgRotate(image.handle(), 90, 0);
  const long lockCount = Win32EmuLockCalls() - locks, allocCount = Win32EmuAllocCalls() - allocs;
  ASSERT_NE(done, nullptr);
  { TestImage turned(done); }
  ASSERT_EQ(lockCount, 6);   // record, source, new bitmap; then the bitmap, record and header copy of the new image
  ASSERT_EQ(allocCount, 3);  // new bitmap, record, header copy
  const size_t live = Win32EmuLiveBlocks();
  for (long n = 1; n <= lockCount; ++n) {
    SCOPED_TRACE(::testing::Message() << "lock " << n);
    const test::LockState before = LockStateOf(image);
    Win32EmuFailNextLock(n);
    EXPECT_EQ(ImgRotate(image.handle(), 90, 0), nullptr);
    Win32EmuFailNextLock(0);
    EXPECT_EQ(LockStateOf(image), before);
    EXPECT_EQ(Win32EmuLiveBlocks(), live);
  }
  for (long n = 1; n <= allocCount; ++n) {
    SCOPED_TRACE(::testing::Message() << "allocation " << n);
    Win32EmuFailNextAlloc(n);
    EXPECT_EQ(Turn(image, 270), nullptr);
    Win32EmuFailNextAlloc(0);
    EXPECT_EQ(Win32EmuLiveBlocks(), live);
  }
}

}  // namespace
}  // namespace ormi
