// The alpha exports on hand-computed pixels at every vector level: the opaque rules, the halo of
// alpha diffusion, painting under a mask, copying and inserting alpha.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/every_level.h"

namespace ormi {
namespace {

using test::Picture;
using test::PictureOf;
using test::TestImage;

constexpr uint32_t kAlphaBit = 0x80000000u;

std::vector<uint32_t> AlphasOf(const TestImage& image) {
  std::vector<uint32_t> alphas;
  for (const std::vector<uint32_t>& row : PictureOf(image.bitmap())) {
    for (uint32_t pixel : row) alphas.push_back(pixel >> 24);
  }
  return alphas;
}

// --- ImgOpaque

struct RuleCase {
  const char* name;
  int level;
  uint32_t color;
  std::optional<uint32_t> record;  // the record's transparent colour before the call, if any
  std::vector<uint32_t> pixels;
  std::vector<uint32_t> alphas;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

class OpaqueRuleExamples : public test::MemoryCheckedTest, public ::testing::WithParamInterface<RuleCase> {};

// Only the alpha bytes change, to the hand-computed values; the record then says that alpha
// carries the transparency.
TEST_P(OpaqueRuleExamples, GivesTheHandComputedAlphas) {
  const RuleCase& c = GetParam();
  std::vector<std::pair<uint32_t, uint32_t>> pixels;
  for (size_t i = 0; i < c.pixels.size(); ++i)
    pixels.push_back({c.pixels[i], (c.pixels[i] & 0xFFFFFF) | c.alphas[i] << 24});
  test::ExpectExample({.depth = 32}, c.record, pixels, [&](HGLOBAL h) {
    const int result = ImgOpaque(h, c.level, static_cast<int>(c.color));
    const ImageRecord r = *static_cast<ImageRecord*>(GlobalLock(h));
    GlobalUnlock(h);
    EXPECT_EQ(r.transparency, 1u);
    EXPECT_TRUE(r.transparentColor & kAlphaBit);
    return result;
  });
}

// Soft key 0x302030 as given (c0 = 0x30, c1 = 0x20, c2 = 0x30) with tol 10: box 0x261626..0x3A2A3A.
// The corner 0x3A2A3A is 30 away: nearness trunc(255 - 30 / 3 + 0.5) = 245; q = (-118/64)^3 + 9 =
// 89533/32768, so 245 / q = 89.67 -> 89. At tol 128, q = 9: 245 / 9 -> 27. At tol 0, q = 1.
// Distance 1 is trunc(255 - 1/3 + 0.5) = 255, not below alpha 0xFF or 0xFE: kept. Distance 2 is
// trunc(254.83) = 254 below 0xFF: 254 / q = 92.96 -> 92.
// clang-format off
const RuleCase kRuleCases[] = {
    {"UniformLevel0", 0, 0x800000FF, {}, {0x00000000, 0x12345678}, {255, 255}},
    {"UniformNegativeLevelKeepsLow8Bits", -1, kAlphaBit, {}, {0x00000000}, {0}},
    {"BlackBecomesTransparent", 55, 0, {}, {0x00000000, 0x7F000000, 0xFF123456, 0x00000001}, {0, 0, 200, 200}},
    {"SoftKeyAbove250Clears", 252, 0x800000FF, {}, {0xFF0000FF, 0xFFFFFFFF}, {0, 0}},
    {"HardKeyLevelBeyond255KeepsLow8Bits", 300, 0, {}, {0x11000000, 0x00000001}, {0, 211}},
    {"NonZeroColourWithoutBit31KeysBlack", 0, 0x000000FF, {}, {0x00FF0000, 0x00000000}, {255, 0}},
    {"SoftKeyOutsideBecomesOpaque", 11, 0x80302030, {}, {0x10000000, 0x80302030, 0x40302131, 0x40FFFFFF},
     {255, 0, 0x40, 255}},
    {"SoftKeyKeepingScalesDown", 11, 0x80302030, 0x0000FF00, {0x10000000, 0xFF3A2A3A, 0xC8302131, 0x80302030},
     {0x10, 89, 200, 0}},
    {"SoftKeyTol128", 129, 0x80302030, 0x0000FF00, {0xFF3A2A3A, 0x05FFFFFF}, {27, 5}},
    {"SoftKeyTol0OnlyTheKey", 1, 0x80302030, 0x0000FF00, {0x77302030, 0x77302031}, {0, 0x77}},
    // The key's byte 0 is compared with the pixel's blue, as given.
    {"SoftKeyNearnessRounds", 11, 0x80302030, 0x0000FF00, {0xFE302031, 0xFF302031, 0xFF302032, 0xFF312030}, {0xFE, 0xFF, 92, 0xFF}},
    // A record key with bit 31 fades every alpha by the level, stopping at 0, keeping the low 8 bits.
    {"Fade", 100, 0, 0x8000FF00, {0x9B000000, 0x05000000, 0xFF123456}, {55, 0, 155}},
    {"FadeBeyond255", 300, 0, 0x8000FF00, {0xFF000000}, {0}},
    {"FadeNegativeWraps", -10, 0, 0x8000FF00, {0xFF000000, 0x10000000}, {9, 0x1A}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rules, OpaqueRuleExamples, ::testing::ValuesIn(kRuleCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(OpaqueExamples, TheRecordKeyIsHonouredOnceThenTheAlphaFades) {
  TestImage image({.depth = 32, .width = 3, .height = 1}, {{0x00FF0000, 0x33FF0000, 0x00FE0000}});
  image.setColorKey(0x000000FF);  // red
  ASSERT_EQ(ImgOpaque(image.handle(), 0, 0), 1);
  EXPECT_EQ(AlphasOf(image), (std::vector<uint32_t>{0, 0, 255}));
  EXPECT_EQ(image.record().transparentColor, 0x000000FFu | kAlphaBit);  // the colour bits stay
  ASSERT_EQ(ImgOpaque(image.handle(), 100, 0), 1);                      // now the fade
  EXPECT_EQ(AlphasOf(image), (std::vector<uint32_t>{0, 0, 155}));
  TestImage topDown({.depth = 32, .width = 1, .height = -2}, {{0x00000000}, {0x00FFFFFF}});
  ASSERT_EQ(ImgOpaque(topDown.handle(), 0, 0), 1);
  EXPECT_EQ(AlphasOf(topDown), (std::vector<uint32_t>{0, 255}));
}

// --- ImgDiff: a border of 2 passes + 1 pixels, then passes k = n..1 giving each alpha-0 pixel the
// first non-zero alpha among right, below, below right, below left, left, above, above left, above
// right (rows in memory order) times k / (k + 1), truncated.

TEST(HaloTest, NoPassGivesTheSourceInABorderOfTheFirstColour) {
  test::AtEveryLevel([] {
    TestImage source({.depth = 32, .width = 2, .height = 1}, {{0x80FF0000, 0x12345678}});
    TestImage result(ImgDiff(source.handle(), 0));
    ASSERT_NE(result.handle(), nullptr);
    const BITMAPINFOHEADER h = result.header();
    EXPECT_EQ((std::vector<int>{int(h.biSize), h.biWidth, h.biHeight, h.biPlanes, h.biBitCount, int(h.biCompression),
                                int(h.biSizeImage), int(h.biClrUsed)}),
              (std::vector<int>{40, 4, 3, 1, 32, 0, 0, 0}));
    EXPECT_EQ(result.bytes().size(), 40u + 4 * 4 * 3);
    const uint32_t b = 0x00FF0000;
    EXPECT_EQ(PictureOf(result.bitmap()), (Picture{{b, b, b, b}, {b, 0x80FF0000, 0x12345678, b}, {b, b, b, b}}));
    // Top-down sources come out upside down.
    TestImage topDown({.depth = 32, .width = 1, .height = -2}, {{0xFF000001}, {0xFF000002}});
    TestImage flipped(ImgDiff(topDown.handle(), 0));
    ASSERT_NE(flipped.handle(), nullptr);
    EXPECT_EQ(flipped.header().biHeight, 4);
    EXPECT_EQ(flipped.pixel(1, 1), 0xFF000001u);
    EXPECT_EQ(flipped.pixel(1, 2), 0xFF000002u);
  });
}

TEST(HaloTest, OpaqueSourceGrowsRingsOf170And85) {
  test::AtEveryLevel([] {
    TestImage source({.depth = 32, .width = 2, .height = 2}, {{0xFFFF0000, 0xFF00FF00}, {0xFF0000FF, 0xFFFFFFFF}});
    source.setColorKey(0x00123456);
    TestImage result(ImgDiff(source.handle(), 2));
    ASSERT_NE(result.handle(), nullptr);
    EXPECT_EQ(result.record().transparentColor, kAlphaBit);
    // Distance from the source square (columns and rows 3..4): 0 -> 255, 1 -> 170, 2 -> 85, 3 -> 0,
    // in the colour of the first stored pixel.
    const uint32_t ring[] = {255, 170, 85, 0};
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) {
        const int dx = x < 3 ? 3 - x : x > 4 ? x - 4 : 0, dy = y < 3 ? 3 - y : y > 4 ? y - 4 : 0;
        const uint32_t pixel = result.pixel(x, y);
        EXPECT_EQ(pixel >> 24, ring[std::max(dx, dy)]) << x << "," << y;
        if (std::max(dx, dy) > 0) {
          EXPECT_EQ(pixel & 0xFFFFFF, 0xFF0000u) << x << "," << y;
        }
      }
    }
    EXPECT_EQ(result.pixel(4, 4), 0xFFFFFFFFu);
  });
}

// A hole amid eight neighbours of odd alphas; the first of them in the order is removed in turn.
// One pass halves (truncating) whichever comes first.
TEST(HaloTest, TheFirstNeighbourInOrderGivesHalfItsAlphaTruncated) {
  // Stored rows: above (row 0), the hole's row, below (row 2). In order: right 11, below 21,
  // below right 31, below left 41, left 51, above 61, above left 71, above right 81.
  const size_t order[8][2] = {{2, 1}, {1, 2}, {2, 2}, {0, 2}, {0, 1}, {1, 0}, {0, 0}, {2, 0}};  // x, row
  test::AtEveryLevel([&] {
    Picture source{{71u << 24, 61u << 24, 81u << 24}, {51u << 24, 0, 11u << 24}, {41u << 24, 21u << 24, 31u << 24}};
    for (int removed = 0; removed <= 8; ++removed) {
      TestImage image({.depth = 32, .width = 3, .height = 3}, source);
      TestImage result(ImgDiff(image.handle(), 1));
      ASSERT_NE(result.handle(), nullptr);
      const uint32_t first = removed < 8 ? source[order[removed][1]][order[removed][0]] >> 24 : 0;
      EXPECT_EQ(result.pixel(3, 3) >> 24, first / 2) << removed << " removed";
      if (removed < 8) source[order[removed][1]][order[removed][0]] = 0;
    }
  });
}

// --- TavoSetAlphaColor, ImgCopyAlpha, ImgInsertAlpha

TEST(AlphaOpsExamples, SetAlphaColorPaintsUnderAlphaZeroAndKeepsPaddingAndAlpha) {
  test::AtEveryLevel([] {
    // Width 3 at 24 bits: rows of 9 pixel bytes and 3 padding bytes.
    TestImage mask({.depth = 32, .width = 3, .height = 2}, {{0x00FFFFFF, 0x01000000, 0x00000000}, {0xFF000000, 0, 0}});
    TestImage target({.depth = 24, .width = 3, .height = 2}, {{0x111111, 0x222222, 0x333333}, {0x444444, 5, 6}});
    test::FillPadding(target.bitmap(), 0xAB);
    ASSERT_EQ(TavoSetAlphaColor(mask.handle(), target.handle(), 0x00FF0000), 1);  // COLORREF blue 255
    EXPECT_EQ(PictureOf(target.bitmap()), (Picture{{0x0000FF, 0x222222, 0x0000FF}, {0x444444, 0x0000FF, 0x0000FF}}));
    EXPECT_TRUE(test::PaddingIs(target.bitmap(), 0xAB));
    // At 32 bits the target keeps its alpha, over a width that reaches the vector bodies.
    const std::vector<uint32_t> maskRow = {0x00000000, 0x80000000, 0x01FFFFFF, 0x00ABCDEF};
    TestImage wideMask({.depth = 32, .width = 37, .height = 2}, test::Tiled(maskRow, 37, 2));
    TestImage wideTarget({.depth = 32, .width = 37, .height = 2}, test::Tiled({0x7F000000, 0x05123456}, 37, 2));
    ASSERT_EQ(TavoSetAlphaColor(wideMask.handle(), wideTarget.handle(), 0x00332211), 1);
    Picture expected = test::Tiled({0x7F000000, 0x05123456}, 37, 2);
    for (auto& r : expected) {
      for (size_t x = 0; x < r.size(); ++x) {
        if ((maskRow[x % 4] >> 24) == 0) r[x] = (r[x] & 0xFF000000) | 0x112233;
      }
    }
    EXPECT_EQ(PictureOf(wideTarget.bitmap()), expected);
    // One image as both mask and target; top-down pictures change every row.
    TestImage both({.depth = 32, .width = 2, .height = -2}, {{0, 0x80000000}, {0, 0}});
    ASSERT_EQ(TavoSetAlphaColor(both.handle(), both.handle(), 0x00332211), 1);
    EXPECT_EQ(PictureOf(both.bitmap()), (Picture{{0x112233, 0x80000000}, {0x112233, 0x112233}}));
  });
}

TEST(AlphaOpsExamples, CopyAlphaTakesTheSourceAlphaAndTransparencyState) {
  test::AtEveryLevel([] {
    const std::vector<uint32_t> colours = {0x11223344, 0xFF000001, 0x00ABCDEF, 0x80808080, 0x00010203};
    const std::vector<uint32_t> alphas = {0x7F999999, 0x00999999, 0xFF000000, 0x01FFFFFF, 0x42000000, 0x10000000};
    for (int width : {5, 37}) {
      TestImage destination({.depth = 32, .width = width, .height = 2}, test::Tiled(colours, width, 2));
      TestImage source({.depth = 32, .width = width, .height = 2}, test::Tiled(alphas, width, 2));
      source.edit([](ImageRecord& r) { r.transparency = 42, r.transparentColor = 0x80123456u; });
      ASSERT_EQ(ImgCopyAlpha(destination.handle(), source.handle()), 1);
      Picture expected = test::Tiled(colours, width, 2);
      for (auto& r : expected) {
        for (size_t x = 0; x < r.size(); ++x) r[x] = (r[x] & 0xFFFFFF) | (alphas[x % alphas.size()] & 0xFF000000);
      }
      EXPECT_EQ(PictureOf(destination.bitmap()), expected) << width;
      EXPECT_EQ(destination.record().transparency, 42u);
      EXPECT_EQ(destination.record().transparentColor, 0x80123456u);
      EXPECT_EQ(PictureOf(source.bitmap()), test::Tiled(alphas, width, 2));
    }
    // Different heights: no pixel changes, yet the transparency fields are copied.
    TestImage destination({.depth = 32, .width = 2, .height = 2}, {{1, 2}, {3, 4}});
    TestImage taller({.depth = 32, .width = 2, .height = 3}, {{0xFF000000, 0xFF000000}});
    taller.setColorKey(0x00FF00FF);
    EXPECT_EQ(ImgCopyAlpha(destination.handle(), taller.handle()), 0);
    EXPECT_EQ(PictureOf(destination.bitmap()), (Picture{{1, 2}, {3, 4}}));
    EXPECT_EQ(destination.record().transparency, taller.record().transparency);
    EXPECT_EQ(destination.record().transparentColor, 0x00FF00FFu);
  });
}

TEST(AlphaOpsExamples, InsertAlphaUsesTheLowByteOnPixelsOfTheColour) {
  // Red 0xFF, green 0x80, blue 0x40: only pixels of that colour (any alpha) take 0xFF.
  test::ExpectExample(
      {.depth = 32}, 0x00000001,
      {{0x00FF8040, 0xFFFF8040}, {0x7FFF8040, 0xFFFF8040}, {0x00FF8041, 0x00FF8041}, {0x12000000, 0x12000000}},
      [](HGLOBAL h) { return ImgInsertAlpha(h, 0x1FF, 0x004080FF); });
  TestImage image({.depth = 32, .width = 1, .height = 2}, {{0}, {0x00FFFFFF}});
  ASSERT_EQ(ImgInsertAlpha(image.handle(), 7, 0), 1);
  EXPECT_EQ(PictureOf(image.bitmap()), (Picture{{0x07000000}, {0x00FFFFFF}}));
  EXPECT_EQ(image.record().transparency, 1u);
  EXPECT_EQ(image.record().transparentColor, kAlphaBit);
  // A record whose alpha already carries the transparency is refused; bit 31 alone does not count.
  image.setAlphaTransparency(0x0000FF);
  EXPECT_EQ(ImgInsertAlpha(image.handle(), 9, 0), 0);
  EXPECT_EQ(image.pixel(0, 0), 0x07000000u);
  image.edit([](ImageRecord& r) { r.transparency = ORMI_NO_TRANSPARENCY; });
  EXPECT_EQ(ImgInsertAlpha(image.handle(), 9, 0), 1);
  EXPECT_EQ(image.pixel(0, 0), 0x09000000u);
  // A 24-bit image fails but its record is marked.
  TestImage rgb({.depth = 24, .width = 1, .height = 1}, {{0}});
  rgb.setColorKey(0x00FFFFFF);
  EXPECT_EQ(ImgInsertAlpha(rgb.handle(), 7, 0), 0);
  EXPECT_EQ(rgb.pixel(0, 0), 0u);
  EXPECT_EQ(rgb.record().transparentColor, kAlphaBit);
}

}  // namespace
}  // namespace ormi
