// The decorations on hand-computed pictures: the embossed icon, and the tile and gradient fills for
// text (at every vector level, over masks wide enough for the vector bodies).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "support/every_level.h"

namespace ormi {
namespace {

using test::OwnedBitmap;
using test::Picture;
using test::PictureOf;
using test::TestImage;

// A 1-bit mask of the given size with every bit set to `bit`.
OwnedBitmap UniformMask(int width, int height, uint32_t bit) {
  return OwnedBitmap({.depth = 1, .width = width, .height = height}, test::Tiled({bit}, width, height));
}

// --- TavoEmbossIcon

constexpr uint32_t kWhite = 0x00FFFFFF, kBlack = 0x00000000;

struct IconCase {
  const char* name;
  test::BitmapSpec bitmap;
  int threshold;
  Picture before, after;
};

void PrintTo(const IconCase& c, std::ostream* os) { *os << c.name; }

class EmbossIconExamples : public test::MemoryCheckedTest, public ::testing::WithParamInterface<IconCase> {};

TEST_P(EmbossIconExamples, GivesTheHandComputedIndices) {
  const IconCase& c = GetParam();
  TestImage image(c.bitmap, c.before);
  ASSERT_EQ(TavoEmbossIcon(image.handle(), c.threshold, 0x00112233, 0x00445566), 1);
  EXPECT_EQ(PictureOf(image.bitmap()), c.after);
}

// Dark pixels (each index that is not shifted out) move one column right and one row lower in
// memory (index 1) and leave index 2 behind; L is the lightest entry (15 or 255 without a table).
IconCase Icon(const char* name, int depth, std::vector<uint32_t> palette, int threshold, Picture before,
              Picture after) {
  const int width = static_cast<int>(before[0].size()), height = static_cast<int>(before.size());
  return {name,
          {.depth = depth,
           .width = width,
           .height = height,
           .clrUsed = static_cast<uint32_t>(palette.size()),
           .palette = palette},
          threshold,
          before,
          after};
}

// clang-format off
const IconCase kIconCases[] = {
    // Threshold 255 with a short table: every entry is dark and L is not.
    Icon("Threshold255Of4", 4, {kWhite, kWhite, kBlack}, 255, {{0, 1, 2, 0, 1}, {2, 2, 2, 2, 2}, {1, 0, 1, 0, 1}},
         {{0, 1, 1, 1, 1}, {2, 2, 2, 2, 1}, {2, 2, 2, 2, 0}}),
    Icon("Threshold255Of8", 8, {kWhite, kWhite, kBlack}, 255, {{0, 1, 2, 0, 1}, {2, 2, 2, 2, 2}, {1, 0, 1, 0, 1}},
         {{0, 1, 1, 1, 1}, {2, 2, 2, 2, 1}, {2, 2, 2, 2, 0}}),
    // Dark at (0, 1), (3, 2), (4, 1) and (2, 0): (4, 1) is overwritten by the move of (3, 2); (2, 0)
    // by the move of the light (1, 1).
    Icon("DarkPixelsMove4", 4, {kWhite, kBlack, kWhite}, 100, {{0, 0, 1, 0, 0}, {1, 0, 2, 0, 1}, {2, 0, 0, 1, 0}},
         {{0, 1, 0, 0, 0}, {2, 0, 0, 0, 1}, {0, 0, 0, 2, 0}}),
    Icon("DarkPixelsMove8", 8, {kWhite, kBlack, kWhite}, 100, {{0, 0, 1, 0, 0}, {1, 0, 2, 0, 1}, {2, 0, 0, 1, 0}},
         {{0, 1, 0, 0, 0}, {2, 0, 0, 0, 1}, {0, 0, 0, 2, 0}}),
    // Bottom-up: row 2 is the top of the picture.
    Icon("OneDarkPixelAtTheTopLeft", 8, {kWhite, kBlack, kWhite}, 0, {{0, 0, 0, 0}, {0, 0, 0, 0}, {1, 0, 0, 0}},
         {{0, 0, 0, 0}, {0, 1, 0, 0}, {2, 0, 0, 0}}),
    // Sums 2 and 3: means 0 and 1 against the threshold's low byte (0x100 counts as 0). (0, 1) is
    // dark and moves to (1, 0); the moved (1, 1) (index 1, light) lands on (2, 0).
    Icon("DarknessIsTheTruncatedMean", 8, {0x00000002, 0x00010101, kWhite}, 0x100, {{0, 0, 0}, {0, 1, 1}},
         {{0, 1, 0}, {2, 0, 0}}),
    // Every one of 16 entries black: L = 0, itself dark, so the vacated pixels become 1.
    Icon("AllDarkFullTable", 4, {}, 0, {{5, 6, 7}, {8, 9, 10}}, {{1, 1, 1}, {2, 2, 1}}),
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Examples, EmbossIconExamples, ::testing::ValuesIn(kIconCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(EmbossIconTableTest, TakesGreenAndTheTwoColoursButLeavesTheHeaderCopy) {
  TestImage image(
      {.depth = 8, .width = 2, .height = 2, .clrUsed = 4, .palette = {0xAA000000, 0xBB000000, 0xCC000000, 0x00123456}});
  const std::vector<uint8_t> headerCopy = image.headerCopyBytes();
  ASSERT_EQ(TavoEmbossIcon(image.handle(), 10, 0x00332211, 0x00665544), 1);
  std::vector<uint32_t> entries(4);
  std::memcpy(entries.data(), image.bytes().data() + 40, 16);
  // Reserved bytes kept; blue from bits 16..23 of the colours.
  EXPECT_EQ(entries, (std::vector<uint32_t>{0xAA00FF00, 0xBB112233, 0xCC445566, 0x00123456}));
  EXPECT_EQ(image.headerCopyBytes(), headerCopy);
  // An empty picture changes only its table.
  TestImage empty({.depth = 8, .width = 0, .height = 3, .clrUsed = 3, .extraBytes = 4});
  ASSERT_EQ(TavoEmbossIcon(empty.handle(), 0, 0, 0), 1);
  const std::vector<uint8_t> bytes = empty.bytes();
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 40, bytes.begin() + 44), (std::vector<uint8_t>{0, 0xFF, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()), std::vector<uint8_t>(4, 0));
}

// --- TavoTileForText

TEST(TileFillExamples, TheTileRepeatsUnderTheClearBitsOfTheMask) {
  test::AtEveryLevel([] {
    // A one-pixel tile gives its colour and alpha under the text.
    OwnedBitmap mask({.depth = 1, .width = 3, .height = 2}, {{0, 1, 0}, {1, 0, 0}});
    OwnedBitmap pixel({.depth = 32, .width = 1, .height = 1}, {{0x80112233}});
    RECT rect{10, 20, 12, 21};
    OwnedBitmap result(TavoTileForText(nullptr, &rect, mask.handle(), pixel.handle()));
    ASSERT_NE(result.handle(), nullptr);
    EXPECT_EQ(PictureOf(result.handle()), (Picture{{0x80112233, 0, 0x80112233}, {0, 0x80112233, 0x80112233}}));
    const BITMAPINFOHEADER h = result.header();
    EXPECT_EQ((std::vector<int>{int(h.biSize), h.biWidth, h.biHeight, h.biPlanes, h.biBitCount, int(h.biClrUsed)}),
              (std::vector<int>{40, 3, 2, 1, 32, 0}));
    EXPECT_EQ(GlobalSize(result.handle()), 40u + 4 * 6);
    // A wider tile repeats from its first stored row and column on every row; a wider mask is
    // read from its start.
    for (int width : {5, 70}) {
      std::vector<uint32_t> bits(static_cast<size_t>(width));
      for (size_t x = 0; x < bits.size(); ++x) bits[x] = x % 3 == 2;
      OwnedBitmap text({.depth = 1, .width = width + 9, .height = 4}, test::Tiled(bits, width, 4));
      OwnedBitmap tile({.depth = 32, .width = 2, .height = 3}, {{0xA0, 0xA1}, {0xB0, 0xB1}, {0xC0, 0xC1}});
      RECT wide{0, 0, width - 1, 3};
      OwnedBitmap tiled(TavoTileForText(nullptr, &wide, text.handle(), tile.handle()));
      ASSERT_NE(tiled.handle(), nullptr);
      Picture expected(4, std::vector<uint32_t>(static_cast<size_t>(width)));
      const uint32_t rowBase[] = {0xA0, 0xB0, 0xC0, 0xA0};
      for (size_t r = 0; r < 4; ++r) {
        for (size_t x = 0; x < expected[r].size(); ++x) {
          expected[r][x] = x % 3 == 2 ? 0u : rowBase[r] + static_cast<uint32_t>(x % 2);
        }
      }
      EXPECT_EQ(PictureOf(tiled.handle()), expected) << width;
    }
    // A tile too tall to keep all its repeated rows at hand repeats the same way.
    Picture column(2000, std::vector<uint32_t>(1));
    for (size_t r = 0; r < column.size(); ++r) column[r][0] = 0xFF000000u + static_cast<uint32_t>(r);
    OwnedBitmap tall({.depth = 32, .width = 1, .height = 2000}, column);
    OwnedBitmap open = UniformMask(70, 2003, 0);
    RECT high{0, 0, 69, 2002};
    OwnedBitmap repeated(TavoTileForText(nullptr, &high, open.handle(), tall.handle()));
    ASSERT_NE(repeated.handle(), nullptr);
    const Picture tallResult = PictureOf(repeated.handle());
    for (size_t r : {size_t{0}, size_t{2}, size_t{1999}, size_t{2000}, size_t{2002}}) {
      EXPECT_EQ(tallResult[r], std::vector<uint32_t>(70, 0xFF000000u + static_cast<uint32_t>(r % 2000))) << r;
    }
    // A mask with every bit set gives a fully transparent result; no rows a header alone.
    OwnedBitmap all = UniformMask(70, 2, 1);
    RECT allRect{0, 0, 69, 1};
    OwnedBitmap clear(TavoTileForText(nullptr, &allRect, all.handle(), pixel.handle()));
    ASSERT_NE(clear.handle(), nullptr);
    EXPECT_EQ(PictureOf(clear.handle()), test::Tiled({0}, 70, 2));
    RECT none{0, 0, 1, -1};
    OwnedBitmap empty(TavoTileForText(nullptr, &none, mask.handle(), pixel.handle()));
    ASSERT_NE(empty.handle(), nullptr);
    EXPECT_EQ(GlobalSize(empty.handle()), 40u);
  });
}

// --- the gradients

constexpr uint32_t kRed = 0x0000FF;  // COLORREF red 255

// Red 0 to 255 over ten steps: 255 / 9 * 256 = 7253 per step from 32640 - 4.5 * 7253, truncated.
const uint32_t kRamp[10] = {0, 28, 56, 85, 113, 141, 169, 198, 226, 254};

HGLOBAL ForText(RECT rect, uint32_t from, uint32_t to, int degrees, const OwnedBitmap& mask) {
  return TavoGradientForText(nullptr, &rect, static_cast<int>(from), static_cast<int>(to), degrees, mask.handle());
}

TEST(GradientExamples, ForTextRampsUnderTheClearBitsOfTheMask) {
  test::AtEveryLevel([] {
    // Angle 0 runs from the top row down, opaque, the same across any width.
    for (int width : {1, 70}) {
      OwnedBitmap mask = UniformMask(width, 10, 0);
      OwnedBitmap result(ForText({0, 0, width - 1, 9}, 0, kRed, 0, mask));
      ASSERT_NE(result.handle(), nullptr);
      Picture expected;
      for (int r = 9; r >= 0; --r) expected.emplace_back(static_cast<size_t>(width), 0xFF000000u | kRamp[r] << 16);
      EXPECT_EQ(PictureOf(result.handle()), expected) << width;
      EXPECT_EQ(GlobalSize(result.handle()), 40u + 4 * 10 * static_cast<size_t>(width));
    }
    // Angle 90 from red to black across the columns; set mask bits give 0 while the ramp advances.
    OwnedBitmap mask({.depth = 1, .width = 10, .height = 1}, {{1, 0, 1, 0, 1, 0, 1, 0, 1, 0}});
    OwnedBitmap across(ForText({0, 0, 9, 0}, kRed, 0, 90, mask));
    ASSERT_NE(across.handle(), nullptr);
    for (uint32_t x = 0; x < 10; ++x) {
      EXPECT_EQ(across.pixel(static_cast<int>(x), 0), x % 2 ? 0xFF000000u | kRamp[9 - x] << 16 : 0u) << x;
    }
    // A larger mask is read by row and column from its start: only bits (0..1, 0..1) count.
    OwnedBitmap large({.depth = 1, .width = 12, .height = 3}, {{0, 1, 0, 0}, {1, 0, 0, 0}, {1, 1, 1, 1}});
    OwnedBitmap corner(ForText({0, 0, 1, 1}, kRed, kRed, 0, large));
    ASSERT_NE(corner.handle(), nullptr);
    EXPECT_EQ(PictureOf(corner.handle()), (Picture{{0xFFFF0000, 0}, {0, 0xFFFF0000}}));
    // Equal colours fill uniformly; every bit set leaves every byte 0; no rows gives a header alone.
    OwnedBitmap open = UniformMask(70, 4, 0), closed = UniformMask(13, 3, 1), row = UniformMask(3, 1, 0);
    OwnedBitmap uniform(ForText({-2, -2, 67, 1}, 0x00336699, 0x00336699, 0, open));
    ASSERT_NE(uniform.handle(), nullptr);
    EXPECT_EQ(PictureOf(uniform.handle()), test::Tiled({0xFF996633u}, 70, 4));
    OwnedBitmap transparent(ForText({5, 5, 17, 7}, 0x123456, 0xABCDEF, 30, closed));
    ASSERT_NE(transparent.handle(), nullptr);
    EXPECT_EQ(PictureOf(transparent.handle()), test::Tiled({0}, 13, 3));
    OwnedBitmap noRows(ForText({0, 4, 2, 3}, 0, kRed, 0, row));
    ASSERT_NE(noRows.handle(), nullptr);
    EXPECT_EQ(GlobalSize(noRows.handle()), 40u);
    EXPECT_EQ(noRows.header().biWidth, 3);
  });
}

TEST(GradientExamples, AnglesKeepTheMeanAtTheCentreAndFortyFiveAlongAntiDiagonals) {
  test::AtEveryLevel([] {
    // Red (0x0B + 0) / 2 = 5, green (0x0A + 0x10) / 2 = 13, blue (0x65 + 0x10) / 2 = 58, truncated.
    for (int degrees : {0, 17, 90, 135, -60, 400}) {
      OwnedBitmap mask = UniformMask(5, 3, 0);
      OwnedBitmap result(ForText({0, 0, 4, 2}, 0x00650A0B, 0x101000, degrees, mask));
      ASSERT_NE(result.handle(), nullptr);
      EXPECT_EQ(result.pixel(2, 1), 0xFF050D3Au) << degrees;
    }
    // 254 * 256 / 12 per step is far from a whole number, so sin 45 and cos 45 (one unit apart in
    // the last place) truncate to the same step.
    constexpr int kSide = 7;
    OwnedBitmap mask = UniformMask(kSide, kSide, 0);
    OwnedBitmap result(ForText({0, 0, kSide - 1, kSide - 1}, 0, 0xFEFEFE, 45, mask));
    ASSERT_NE(result.handle(), nullptr);
    auto at = [&](int x, int y) { return result.pixel(x, kSide - 1 - y); };  // y from the top
    for (int x = 1; x < kSide; ++x) {
      for (int y = 0; y + 1 < kSide; ++y) EXPECT_EQ(at(x, y), at(x - 1, y + 1)) << x << "," << y;
    }
    EXPECT_LE(at(0, 0) & 0xFF, 2u);
    EXPECT_GE(at(kSide - 1, kSide - 1) & 0xFF, 252u);
    EXPECT_EQ(at(kSide / 2, kSide / 2), 0xFF7F7F7Fu);
  });
}

// TavoGradient paints the same ramp on a device context, at the rectangle, without alpha.
TEST(GradientExamples, PaintsTheRampOnADeviceContextAsTheTextFillComputesIt) {
  constexpr int kWidth = 14, kHeight = 12;
  test::AtEveryLevel([&] {
    HDC dc = Win32EmuCreateMemoryDC(kWidth, kHeight);
    ASSERT_NE(dc, nullptr);
    auto at = [&](int x, int y) { return Win32EmuMemoryDCPixels(dc)[y * kWidth + x]; };
    for (int degrees : {90, -90}) {
      const RECT rect{2, 1, 11, 1};
      ASSERT_EQ(TavoGradient(dc, &rect, static_cast<int>(kRed), 0, degrees), 1);
      for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
          const bool inside = y == 1 && x >= 2 && x <= 11;
          EXPECT_EQ(at(x, y), inside ? kRamp[degrees > 0 ? 11 - x : x - 2] << 16 : 0u)
              << degrees << ": " << x << "," << y;
        }
      }
    }
    // The painter's top row is the DC's row `top`, the text fill's its last row in memory.
    for (int degrees : {0, 30, 90, 135, 200, -45}) {
      const RECT rect{1, 2, 12, 10};  // 12 x 9: odd 24-bit rows need padding
      ASSERT_EQ(TavoGradient(dc, &rect, 0x00102030, 0x00F0E0D0, degrees), 1);
      OwnedBitmap mask = UniformMask(12, 9, 0);
      OwnedBitmap text(ForText(rect, 0x00102030, 0x00F0E0D0, degrees, mask));
      ASSERT_NE(text.handle(), nullptr);
      for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 12; ++x) ASSERT_EQ(at(1 + x, 2 + y), text.pixel(x, 8 - y) & 0xFFFFFF) << degrees;
      }
    }
    Win32EmuDeleteMemoryDC(dc);
  });
  // Only a missing rectangle fails; an empty rectangle or a null context paints nothing.
  HDC dc = Win32EmuCreateMemoryDC(kWidth, kHeight);
  const RECT inverted{3, 0, 0, 3}, empty{0, 0, -1, 3}, rect{0, 0, 3, 3};
  EXPECT_EQ(TavoGradient(dc, nullptr, 0, 0, 0), 0);
  EXPECT_EQ(TavoGradient(dc, &inverted, 0, 0, 0), 0);
  EXPECT_EQ(TavoGradient(nullptr, &rect, static_cast<int>(kRed), 0, 0), 1);
  EXPECT_EQ(TavoGradient(dc, &empty, static_cast<int>(kRed), 0, 0), 1);
  EXPECT_EQ(Win32EmuMemoryDCPixels(dc)[0], 0u);
  Win32EmuDeleteMemoryDC(dc);
}

}  // namespace
}  // namespace ormi
