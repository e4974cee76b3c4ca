#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "decor/gradient.h"
#include "decor_test_support.h"
#include "image/heap_buffer.h"

namespace ormi {
namespace {

using test::LockCount;
using test::OwnedBitmap;
using test::UniformMask;

constexpr uint32_t kRed = 0x0000FF;  // COLORREF red 255

class GradientTest : public test::MemoryCheckedTest {
 protected:
  void TearDown() override {
    Win32EmuFailNextHeapAlloc(0);
    MemoryCheckedTest::TearDown();
  }
  // TavoGradientForText with the mask's lock count checked; the result is owned by the caller.
  HGLOBAL ForText(const RECT& rect, uint32_t from, uint32_t to, int degrees, HGLOBAL mask) {
    const int before = mask ? LockCount(mask) : 0;
    HGLOBAL result = TavoGradientForText(nullptr, &rect, static_cast<int>(from), static_cast<int>(to), degrees, mask);
    if (mask) {
      EXPECT_EQ(LockCount(mask), before);
    }
    if (result) {
      EXPECT_EQ(LockCount(result), 0);
    }
    return result;
  }
};

// Red values of a one-column or one-row result, from the top row or the left column on.
std::vector<int> RedsDown(const OwnedBitmap& bitmap, int height) {
  std::vector<int> reds;
  for (int r = height - 1; r >= 0; --r) reds.push_back(static_cast<int>((bitmap.pixel(0, r) >> 16) & 0xFF));
  return reds;
}

TEST(GradientRampTest, OneColumnFromBlackToRed) {
  const GradientSteps steps = GradientRamp(1, 10, 0, kRed, 0);
  EXPECT_EQ(steps.stepY[0], 7253);  // 255 / 9 * 256
  EXPECT_EQ(steps.start[0], 1);     // 32640 - 4.5 * 7253 = 1.5
  EXPECT_EQ(steps.stepX[0], 0);
  for (int c = 1; c < 3; ++c) {
    EXPECT_EQ(steps.start[c], 0);
    EXPECT_EQ(steps.stepX[c], 0);
    EXPECT_EQ(steps.stepY[c], 0);
  }
}

TEST(GradientRampTest, NoExtentAlongTheRampTakesTheFirstColour) {
  // One row at 0 degrees, one column at 90 or 180, a single pixel at any angle.
  for (const auto& [width, height, degrees] :
       std::vector<std::tuple<int, int, int>>{{4, 1, 0}, {1, 5, 90}, {7, 1, 180}, {1, 1, 33}, {1, 3, -90}}) {
    const GradientSteps steps = GradientRamp(width, height, 0x00302010, 0x00FFFFFF, degrees);
    EXPECT_EQ(steps.start, (std::array<int32_t, 3>{0x10 * 256, 0x20 * 256, 0x30 * 256})) << degrees;
    EXPECT_EQ(steps.stepX, (std::array<int32_t, 3>{})) << degrees;
    EXPECT_EQ(steps.stepY, (std::array<int32_t, 3>{})) << degrees;
  }
}

TEST_F(GradientTest, ForTextRunsFromTheTopRowDown) {
  OwnedBitmap mask = UniformMask(1, 10, 0);
  OwnedBitmap result(ForText(RECT{0, 0, 0, 9}, 0, kRed, 0, mask.handle()));
  ASSERT_NE(result.handle(), nullptr);
  EXPECT_EQ(RedsDown(result, 10), (std::vector<int>{0, 28, 56, 85, 113, 141, 169, 198, 226, 254}));
  for (int r = 0; r < 10; ++r) EXPECT_EQ(result.pixel(0, r) & 0xFF00FFFF, 0xFF000000u);  // opaque, no green or blue
  const BITMAPINFOHEADER h = result.header();
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 1);
  EXPECT_EQ(h.biHeight, 10);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 32);
  EXPECT_EQ(h.biCompression, 0u);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(GlobalSize(result.handle()), 40u + 4 * 10);
}

TEST_F(GradientTest, MaskedPixelsAreZeroWhileTheRampAdvances) {
  // Angle 90, red 255 to black across 10 columns: 254, 226, 198, 169, 141, 113, 85, 56, 28, 0.
  OwnedBitmap mask({.depth = 1, .width = 10, .height = 1}, {{1, 0, 1, 0, 1, 0, 1, 0, 1, 0}});
  OwnedBitmap result(ForText(RECT{0, 0, 9, 0}, kRed, 0, 90, mask.handle()));
  ASSERT_NE(result.handle(), nullptr);
  const int reds[] = {254, 226, 198, 169, 141, 113, 85, 56, 28, 0};
  for (int x = 0; x < 10; ++x) {
    const uint32_t expected = x % 2 ? 0xFF000000u | static_cast<uint32_t>(reds[x]) << 16 : 0u;
    EXPECT_EQ(result.pixel(x, 0), expected) << x;
  }
}

TEST_F(GradientTest, AllSetMaskGivesAFullyTransparentBitmap) {
  OwnedBitmap mask = UniformMask(13, 3, 1);
  OwnedBitmap result(ForText(RECT{5, 5, 17, 7}, 0x123456, 0xABCDEF, 30, mask.handle()));
  ASSERT_NE(result.handle(), nullptr);
  const std::vector<uint8_t> bytes = test::BlockBytes(result.handle());
  EXPECT_TRUE(std::all_of(bytes.begin() + 40, bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(GradientTest, ALargerMaskIsReadByRowAndColumnFromItsStart) {
  // A 12 x 3 mask for a 2 x 2 rectangle: only bits (0..1, 0..1) count.
  OwnedBitmap mask({.depth = 1, .width = 12, .height = 3}, {{0, 1, 0, 0}, {1, 0, 0, 0}, {1, 1, 1, 1}});
  OwnedBitmap result(ForText(RECT{0, 0, 1, 1}, kRed, kRed, 0, mask.handle()));
  ASSERT_NE(result.handle(), nullptr);
  EXPECT_EQ(result.pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(result.pixel(1, 0), 0u);
  EXPECT_EQ(result.pixel(0, 1), 0u);
  EXPECT_EQ(result.pixel(1, 1), 0xFFFF0000u);
}

TEST_F(GradientTest, FortyFiveDegreesIsConstantAlongAntiDiagonals) {
  constexpr int kSide = 7;
  OwnedBitmap mask = UniformMask(kSide, kSide, 0);
  // 254 * 256 / 12 per step is far from a whole number, so sin 45 and cos 45 (one unit apart in
  // the last place) truncate to the same step.
  OwnedBitmap result(ForText(RECT{0, 0, kSide - 1, kSide - 1}, 0x000000, 0xFEFEFE, 45, mask.handle()));
  ASSERT_NE(result.handle(), nullptr);
  auto at = [&](int x, int y) { return result.pixel(x, kSide - 1 - y); };  // y from the top
  for (int x = 0; x < kSide; ++x) {
    for (int y = 0; y < kSide; ++y) {
      if (x > 0 && y + 1 < kSide) {
        EXPECT_EQ(at(x, y), at(x - 1, y + 1)) << x << "," << y;
      }
      const uint32_t c = at(x, y);
      EXPECT_TRUE((c & 0xFF) == ((c >> 8) & 0xFF) && (c & 0xFF) == ((c >> 16) & 0xFF)) << std::hex << c;
    }
  }
  EXPECT_LE(at(0, 0) & 0xFF, 2u);                    // the first colour, within the truncation
  EXPECT_GE(at(kSide - 1, kSide - 1) & 0xFF, 252u);  // the second
  EXPECT_EQ(at(kSide / 2, kSide / 2), 0xFF7F7F7Fu);  // the mean of 0 and 254
}

TEST_F(GradientTest, CentreOfAnOddRectangleHasTheTruncatedMean) {
  for (int degrees : {0, 17, 90, 135, -60, 400}) {
    OwnedBitmap mask = UniformMask(5, 3, 0);
    OwnedBitmap result(ForText(RECT{0, 0, 4, 2}, 0x00650A0B, 0x00000000 | 0x101000, degrees, mask.handle()));
    ASSERT_NE(result.handle(), nullptr);
    // red (0x0B + 0x00) / 2 = 5, green (0x0A + 0x10) / 2 = 13, blue (0x65 + 0x10) / 2 = 58
    EXPECT_EQ(result.pixel(2, 1), 0xFF050D3Au) << degrees;
  }
}

TEST_F(GradientTest, EqualColoursGiveAUniformFill) {
  OwnedBitmap mask = UniformMask(4, 4, 0);
  OwnedBitmap result(ForText(RECT{-2, -2, 1, 1}, 0x00336699, 0x00336699, 0, mask.handle()));
  ASSERT_NE(result.handle(), nullptr);
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(result.pixel(x, r), 0xFF996633u);
  }
}

TEST_F(GradientTest, NoRowsGiveAHeaderOnlyBitmap) {
  OwnedBitmap mask = UniformMask(3, 1, 0);
  OwnedBitmap result(ForText(RECT{0, 4, 2, 3}, 0, kRed, 0, mask.handle()));
  ASSERT_NE(result.handle(), nullptr);
  EXPECT_EQ(GlobalSize(result.handle()), 40u);
  EXPECT_EQ(result.header().biHeight, 0);
  EXPECT_EQ(result.header().biWidth, 3);
}

struct ForTextRefusal {
  const char* name;
  test::BitmapSpec mask;
  RECT rect;
};

class GradientForTextRefusalTest : public GradientTest, public ::testing::WithParamInterface<ForTextRefusal> {};

TEST_P(GradientForTextRefusalTest, ReturnsNullLeavingTheMaskUnlocked) {
  OwnedBitmap mask(GetParam().mask);
  const size_t live = Win32EmuLiveBlocks();
  EXPECT_EQ(ForText(GetParam().rect, 0, kRed, 0, mask.handle()), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), live);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, GradientForTextRefusalTest,
    ::testing::Values(
        ForTextRefusal{"EightBitMask", {.depth = 8, .width = 4, .height = 4}, {0, 0, 3, 3}},
        ForTextRefusal{"MaskNarrower", {.depth = 1, .width = 3, .height = 4}, {0, 0, 3, 3}},
        ForTextRefusal{"MaskShorter", {.depth = 1, .width = 4, .height = 3}, {0, 0, 3, 3}},
        ForTextRefusal{"TopDownMaskShorter", {.depth = 1, .width = 4, .height = -3}, {0, 0, 3, 3}},
        ForTextRefusal{"MaskBlockShort", {.depth = 1, .width = 4, .height = 4, .sizeOverride = 52}, {0, 0, 3, 3}},
        ForTextRefusal{"InvertedWidth", {.depth = 1, .width = 4, .height = 4}, {3, 0, 1, 3}},
        ForTextRefusal{"InvertedHeight", {.depth = 1, .width = 4, .height = 4}, {0, 3, 3, 1}},
        ForTextRefusal{"WidthBeyond32Bits", {.depth = 1, .width = 4, .height = 4}, {INT_MIN, 0, INT_MAX, 0}}),
    [](const ::testing::TestParamInfo<ForTextRefusal>& param) { return param.param.name; });

TEST_F(GradientTest, ForTextRefusesMissingArgumentsAndFailures) {
  OwnedBitmap mask = UniformMask(4, 4, 0);
  const RECT rect{0, 0, 3, 3};
  EXPECT_EQ(ForText(rect, 0, kRed, 0, nullptr), nullptr);
  EXPECT_EQ(TavoGradientForText(nullptr, nullptr, 0, 0, 0, mask.handle()), nullptr);
  EXPECT_EQ(LockCount(mask.handle()), 0);
  const size_t live = Win32EmuLiveBlocks();
  for (long n = 1; n <= 2; ++n) {  // the mask, the result
    Win32EmuFailNextLock(n);
    EXPECT_EQ(ForText(rect, 0, kRed, 0, mask.handle()), nullptr) << n;
    EXPECT_EQ(Win32EmuLiveBlocks(), live);
  }
  Win32EmuFailNextLock(0);
  Win32EmuFailNextAlloc(1);
  EXPECT_EQ(ForText(rect, 0, kRed, 0, mask.handle()), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), live);
}

// --- TavoGradient on a memory device context

class PaintGradientTest : public GradientTest {
 protected:
  void SetUp() override {
    GradientTest::SetUp();
    dc_ = Win32EmuCreateMemoryDC(kWidth, kHeight);
    ASSERT_NE(dc_, nullptr);
  }
  void TearDown() override {
    Win32EmuDeleteMemoryDC(dc_);
    GradientTest::TearDown();
  }
  uint32_t at(int x, int y) const { return Win32EmuMemoryDCPixels(dc_)[y * kWidth + x]; }

  static constexpr int kWidth = 14, kHeight = 12;
  HDC dc_ = nullptr;
};

TEST_F(PaintGradientTest, PaintsTheRampAtTheRectangle) {
  const RECT rect{2, 1, 11, 1};
  ASSERT_EQ(TavoGradient(dc_, &rect, static_cast<int>(kRed), 0, 90), 1);
  const uint32_t reds[] = {254, 226, 198, 169, 141, 113, 85, 56, 28, 0};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool inside = y == 1 && x >= 2 && x <= 11;
      EXPECT_EQ(at(x, y), inside ? reds[x - 2] << 16 : 0u) << x << "," << y;
    }
  }
}

TEST_F(PaintGradientTest, NegativeAnglesReverseTheDirection) {
  const RECT rect{0, 0, 9, 0};
  ASSERT_EQ(TavoGradient(dc_, &rect, static_cast<int>(kRed), 0, -90), 1);
  const uint32_t reds[] = {0, 28, 56, 85, 113, 141, 169, 198, 226, 254};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(at(x, 0), reds[x] << 16) << x;
}

// The painter and the text fill compute the same ramp; the painter's top row is the DC's row
// `top`, the text fill's is its last row in memory.
TEST_F(PaintGradientTest, MatchesTheTextFillPixelForPixel) {
  for (int degrees : {0, 30, 90, 135, 200, -45}) {
    const RECT rect{1, 2, 12, 10};  // 12 x 9, odd 24-bit rows need padding
    ASSERT_EQ(TavoGradient(dc_, &rect, 0x00102030, 0x00F0E0D0, degrees), 1);
    OwnedBitmap mask = UniformMask(12, 9, 0);
    OwnedBitmap text(ForText(rect, 0x00102030, 0x00F0E0D0, degrees, mask.handle()));
    ASSERT_NE(text.handle(), nullptr);
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < 12; ++x) {
        ASSERT_EQ(at(1 + x, 2 + y), text.pixel(x, 8 - y) & 0xFFFFFF) << degrees << ": " << x << "," << y;
      }
    }
  }
}

TEST_F(PaintGradientTest, OnlyAMissingRectangleOrMemoryFails) {
  const RECT rect{0, 0, 3, 3};
  EXPECT_EQ(TavoGradient(dc_, nullptr, 0, 0, 0), 0);
  const RECT inverted{3, 0, 0, 3};
  EXPECT_EQ(TavoGradient(dc_, &inverted, 0, 0, 0), 0);
  Win32EmuFailNextHeapAlloc(1);
  EXPECT_EQ(TavoGradient(dc_, &rect, static_cast<int>(kRed), 0, 0), 0);
  EXPECT_EQ(at(0, 0), 0u);
  // A device context that takes no painting is not detected.
  EXPECT_EQ(TavoGradient(nullptr, &rect, static_cast<int>(kRed), 0, 0), 1);
  const RECT empty{0, 0, -1, 3};
  EXPECT_EQ(TavoGradient(dc_, &empty, static_cast<int>(kRed), 0, 0), 1);
  EXPECT_EQ(at(0, 0), 0u);
}

}  // namespace
}  // namespace ormi
