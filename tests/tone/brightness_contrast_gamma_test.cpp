#include <gtest/gtest.h>

#include <climits>

#include "image/global_memory.h"
#include "support/test_image.h"
#include "tone/brightness_contrast_gamma.h"
#include "tone/gamma_presets.h"
#include "tone_test_support.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::ColorRef;
using test::Grey;
using test::PaletteEntry;
using test::Rgb;
using test::TestImage;

class ToneMapTest : public test::MemoryCheckedTest {
 protected:
  static int Brightness(const TestImage& image, int delta) {
    return test::CallInPlace(image, [delta](HGLOBAL h) { return ImgBrightness(h, delta); });
  }
  static int Gamma(const TestImage& image, int level) {
    return test::CallInPlace(image, [level](HGLOBAL h) { return ImgGamma(h, level); });
  }
  static int Contrast(const TestImage& image, int amount) {
    return test::CallInPlace(image, [amount](HGLOBAL h) { return ImgContrast(h, amount); });
  }
};

// --- the maps ---

TEST_F(ToneMapTest, BrightnessAddsAndSaturates) {
  struct Case {
    int delta;
    uint32_t low, high;  // what 0x0A1464 (10, 20, 100) and 0xC8E6FF (200, 230, 255) become
  };
  for (const Case& c :
       {Case{0, Rgb(10, 20, 100), Rgb(200, 230, 255)}, Case{40, Rgb(50, 60, 140), Rgb(240, 255, 255)},
        Case{-15, Rgb(0, 5, 85), Rgb(185, 215, 240)}, Case{300, Grey(255), Grey(255)}, Case{-300, Grey(0), Grey(0)},
        Case{INT_MAX, Grey(255), Grey(255)}, Case{INT_MIN, Grey(0), Grey(0)}}) {
    TestImage image({.depth = 24, .width = 2, .height = 1}, {{Rgb(10, 20, 100), Rgb(200, 230, 255)}});
    ASSERT_EQ(Brightness(image, c.delta), 1);
    EXPECT_EQ(image.pixel(0, 0), c.low) << "delta " << c.delta;
    EXPECT_EQ(image.pixel(1, 0), c.high) << "delta " << c.delta;
  }
}

TEST_F(ToneMapTest, GammaLevelSeventeenMapsGrey128To169) {
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{0x7F000000 | Grey(128), Rgb(0, 64, 255)}});
  ASSERT_EQ(Gamma(image, 17), 1);
  EXPECT_EQ(image.pixel(0, 0), 0x7F000000 | Grey(169));
  // (4 * 128 + 6 * 101 + 5) div 10 = 112 for 64.
  EXPECT_EQ(image.pixel(1, 0), Rgb(0, 112, 255));
}

TEST_F(ToneMapTest, GammaAtOrBelowTenChangesNothingAndThirtyUpIsTheLastCurve) {
  for (int level : {10, 0, -7}) {
    TestImage image({.depth = 24, .width = 3, .height = 1}, {{Rgb(1, 2, 3), Rgb(64, 128, 254), Grey(200)}});
    const std::vector<uint8_t> before = image.bytes();
    ASSERT_EQ(Gamma(image, level), 1);
    EXPECT_EQ(image.bytes(), before) << "level " << level;
  }
  for (int level : {30, 1000}) {
    TestImage image({.depth = 24, .width = 3, .height = 1}, {{Rgb(1, 2, 3), Rgb(64, 128, 254), Grey(0)}});
    ASSERT_EQ(Gamma(image, level), 1);
    EXPECT_EQ(image.pixel(0, 0), Rgb(40, 51, 58)) << "level " << level;
    EXPECT_EQ(image.pixel(1, 0), Rgb(161, 203, 255)) << "level " << level;
    EXPECT_EQ(image.pixel(2, 0), Grey(0)) << "level " << level;
  }
}

TEST_F(ToneMapTest, GammaFifteenOnAPaletteGivesTheFirstCurveInTableAndCopy) {
  TestImage image({.depth = 8, .width = 2, .height = 1, .clrUsed = 2, .palette = {0x5A010204, 0x0080FF40}}, {{1, 0}});
  ASSERT_EQ(Gamma(image, 15), 1);
  EXPECT_EQ(PaletteEntry(image, 0), 0x5A060A10u);  // reserved byte kept
  EXPECT_EQ(PaletteEntry(image, 1), 0x00A1FF65u);  // 128 -> 161, 255 -> 255, 64 -> 101
  EXPECT_EQ(image.pixel(0, 0), 1u);                // indices untouched
  EXPECT_TRUE(test::HeaderCopyMatches(image, 48));
}

// ContrastLevel on its own, about the pivot 109.25 (the mean of the image in the next test).
struct LevelCase {
  int component, amount, expected;
};
class ContrastLevelTest : public ::testing::TestWithParam<LevelCase> {};

TEST_P(ContrastLevelTest, FollowsTheFourCasesAndTruncates) {
  const LevelCase& c = GetParam();
  EXPECT_EQ(ContrastLevel(c.component, c.amount, 109.25), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ContrastLevelTest,
                         ::testing::Values(LevelCase{0, -100, 109}, LevelCase{255, -100, 109}, LevelCase{37, 0, 37},
                                           LevelCase{100, -50, 104},  // 100 + (-9.25 / 100) * -50 = 104.625
                                           LevelCase{0, -50, 54},     // 54.625
                                           LevelCase{200, -50, 154},  // 154.625
                                           LevelCase{100, 50, 45},    // 100 - 1.0925 * 50 = 45.375
                                           LevelCase{50, 50, 0},      // -4.625, clamped
                                           LevelCase{150, 50, 222},   // 150 + 1.4575 * 50 = 222.875
                                           LevelCase{200, 50, 255},   // 272.875, clamped
                                           LevelCase{109, 100, 0},    // at or below the pivot: 109 - 109.25
                                           LevelCase{110, 100, 255},  // above it: 110 + 145.75
                                           LevelCase{255, -200, 0},   // 255 + 1.4575 * -200 = -36.5, clamped
                                           LevelCase{0, INT_MAX, 0}, LevelCase{255, INT_MAX, 255},
                                           LevelCase{0, INT_MIN, 255}, LevelCase{255, INT_MIN, 0}));

TEST_F(ToneMapTest, ContrastPivotsOnTheWeightedMeanColour) {
  // Mean red 150, green 100, blue 50: pivot 0.299 * 150 + 0.587 * 100 + 0.114 * 50 = 109.25.
  for (const auto& [amount, first, second] :
       {std::tuple{-100, Grey(109), Grey(109)}, std::tuple{50, Rgb(45, 0, 0), Rgb(255, 222, 45)},
        std::tuple{-50, Rgb(104, 79, 54), Rgb(154, 129, 104)}, std::tuple{0, Rgb(100, 50, 0), Rgb(200, 150, 100)}}) {
    TestImage image({.depth = 24, .width = 2, .height = 1}, {{Rgb(100, 50, 0), Rgb(200, 150, 100)}});
    ASSERT_EQ(Contrast(image, amount), 1);
    EXPECT_EQ(image.pixel(0, 0), first) << "amount " << amount;
    EXPECT_EQ(image.pixel(1, 0), second) << "amount " << amount;
  }
}

TEST_F(ToneMapTest, ContrastOfAHundredSplitsAboutThePivot) {
  TestImage image({.depth = 32, .width = 4, .height = 1},
                  {{0xFF000000 | Grey(10), Grey(99), Grey(101), 0x01000000 | Grey(190)}});  // pivot 100
  ASSERT_EQ(Contrast(image, 100), 1);
  EXPECT_EQ(image.pixel(0, 0), 0xFF000000 | Grey(0));
  EXPECT_EQ(image.pixel(1, 0), Grey(0));
  EXPECT_EQ(image.pixel(2, 0), Grey(255));
  EXPECT_EQ(image.pixel(3, 0), 0x01000000 | Grey(255));
}

// --- the mean colour ---

struct MeanCase {
  const char* name;
  BitmapSpec bitmap;
  std::vector<std::vector<uint32_t>> rows;
  double red, green, blue;
};
class DibMeanColorTest : public test::MemoryCheckedTest, public ::testing::WithParamInterface<MeanCase> {};

TEST_P(DibMeanColorTest, AveragesEveryPixel) {
  const MeanCase& c = GetParam();
  TestImage image(c.bitmap, c.rows);
  GlobalLockGuard lock(image.bitmap());
  const std::optional<DibView> view = ViewDib(lock.block());
  ASSERT_TRUE(view);
  const MeanColor mean = DibMeanColor(*view);
  EXPECT_DOUBLE_EQ(mean.red, c.red);
  EXPECT_DOUBLE_EQ(mean.green, c.green);
  EXPECT_DOUBLE_EQ(mean.blue, c.blue);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, DibMeanColorTest,
    ::testing::Values(
        // High nibble first: the row 0, 1, 1 is the bytes 0x01 0x10.
        MeanCase{"FourBits", {.depth = 4, .width = 3, .height = 1, .palette = {0, 0x00FF0000}}, {{0, 1, 1}}, 170, 0, 0},
        // An index beyond a 2-entry table reads as black.
        MeanCase{"EightBits",
                 {.depth = 8, .width = 2, .height = 2, .clrUsed = 2, .palette = {0x00102030, 0x00FFFFFF}},
                 {{0, 1}, {1, 200}},
                 (16 + 255 + 255) / 4.0,
                 (32 + 255 + 255) / 4.0,
                 (48 + 255 + 255) / 4.0},
        // 5-6-5: red 31 -> 255, green 32 -> 130, blue 1 -> 8.
        MeanCase{"SixteenBits",
                 {.depth = 16, .width = 2, .height = 1, .compression = BI_BITFIELDS, .masks = {0xF800, 0x07E0, 0x001F}},
                 {{31u << 11 | 32u << 5 | 1u, 0}},
                 127.5,
                 65,
                 4},
        MeanCase{"TwentyFourBitsTopDown",
                 {.depth = 24, .width = 1, .height = -2},
                 {{Rgb(1, 2, 3)}, {Rgb(3, 4, 6)}},
                 2,
                 3,
                 4.5},
        MeanCase{"ThirtyTwoBits", {.depth = 32, .width = 2, .height = 1}, {{0xFF0A0B0C, Rgb(0, 1, 2)}}, 5, 6, 7}),
    [](const auto& param) { return std::string(param.param.name); });

// --- the component pass ---

TEST_F(ToneMapTest, PaletteEntriesInTheTransparentColourStayWhateverTheirReservedByte) {
  TestImage image(
      {.depth = 4, .width = 1, .height = 1, .clrUsed = 4, .palette = {0x00102030, 0x7F102030, 0x00102031, 0x00102030}});
  image.setColorKey(ColorRef(0x10, 0x20, 0x30));
  ASSERT_EQ(Brightness(image, 10), 1);
  EXPECT_EQ(PaletteEntry(image, 0), 0x00102030u);
  EXPECT_EQ(PaletteEntry(image, 1), 0x7F102030u);
  EXPECT_EQ(PaletteEntry(image, 2), 0x001A2A3Bu);
  EXPECT_EQ(PaletteEntry(image, 3), 0x00102030u);
  EXPECT_TRUE(test::HeaderCopyMatches(image, 40 + 16));
}

TEST_F(ToneMapTest, OneBitImagesGoThroughTheColourTableForBrightnessAndGamma) {
  TestImage image({.depth = 1, .width = 9, .height = 1, .palette = {0x00000000, 0x00404040}});
  ASSERT_EQ(Brightness(image, 16), 1);
  EXPECT_EQ(PaletteEntry(image, 0), 0x00101010u);
  EXPECT_EQ(PaletteEntry(image, 1), 0x00505050u);
  ASSERT_EQ(Gamma(image, 20), 1);
  EXPECT_EQ(PaletteEntry(image, 0), 0x00404040u);  // T20[16] = 64
  EXPECT_TRUE(test::HeaderCopyMatches(image, 48));
}

TEST_F(ToneMapTest, TwentyFourBitKeyPixelsAndPaddingStay) {
  TestImage image({.depth = 24, .width = 3, .height = 2}, {{Rgb(1, 2, 3), Rgb(9, 9, 9), Rgb(1, 2, 4)}, {0, 0, 0}});
  std::vector<uint8_t> bytes = image.bytes();
  for (size_t i : {40 + 9, 40 + 10, 40 + 11, 40 + 23}) bytes[i] = 0x11;  // padding
  test::SetBlockBytes(image.bitmap(), bytes);
  test::SetTransparentColor(image, ColorRef(1, 2, 3) | 0x80000000);  // bit 31 matters only at 32 bits
  ASSERT_EQ(Brightness(image, 100), 1);
  EXPECT_EQ(image.pixel(0, 0), Rgb(1, 2, 3));
  EXPECT_EQ(image.pixel(1, 0), Grey(109));
  EXPECT_EQ(image.pixel(2, 0), Rgb(101, 102, 104));
  EXPECT_EQ(image.pixel(2, 1), Grey(100));
  const std::vector<uint8_t> after = image.bytes();
  for (size_t i : {40 + 9, 40 + 10, 40 + 11, 40 + 23}) EXPECT_EQ(after[i], 0x11) << i;
}

TEST_F(ToneMapTest, ThirtyTwoBitKeyComparesColourOnlyAndAlphaNeverChanges) {
  const std::vector<std::vector<uint32_t>> rows{{Rgb(1, 2, 3), 0xAB000000 | Rgb(1, 2, 3), 0x33000000 | Grey(7)}};
  {
    TestImage image({.depth = 32, .width = 3, .height = 1}, rows);
    image.setColorKey(ColorRef(1, 2, 3));
    ASSERT_EQ(Brightness(image, 10), 1);
    EXPECT_EQ(image.pixel(0, 0), Rgb(1, 2, 3));
    EXPECT_EQ(image.pixel(1, 0), 0xAB000000 | Rgb(1, 2, 3));
    EXPECT_EQ(image.pixel(2, 0), 0x33000000 | Grey(17));
  }
  {
    TestImage image({.depth = 32, .width = 3, .height = 1}, rows);
    image.setAlphaTransparency(ColorRef(1, 2, 3));
    ASSERT_EQ(Brightness(image, 10), 1);
    EXPECT_EQ(image.pixel(0, 0), Rgb(11, 12, 13));
    EXPECT_EQ(image.pixel(1, 0), 0xAB000000 | Rgb(11, 12, 13));
  }
}

struct Layout16Case {
  const char* name;
  uint32_t compression;
  std::array<uint32_t, 3> masks;
  uint16_t source, keyed, expected;  // after brightness 40
  uint32_t keyColor;                 // COLORREF whose top bits are `keyed`
  uint16_t fullRed, flat38;          // red field at its top; every field holding 38
};
class Tone16Test : public ToneMapTest, public ::testing::WithParamInterface<Layout16Case> {};

TEST_P(Tone16Test, FieldsAreWidenedMappedAndNarrowed) {
  const Layout16Case& c = GetParam();
  TestImage image({.depth = 16, .width = 3, .height = 1, .compression = c.compression, .masks = c.masks},
                  {{c.source, c.keyed, c.keyed}});
  std::vector<uint8_t> bytes = image.bytes();
  const size_t offset = test::BitsOffsetOf({.depth = 16, .compression = c.compression});
  bytes[offset + 6] = 0x5A;  // padding of the 3-pixel row
  test::SetBlockBytes(image.bitmap(), bytes);
  image.setColorKey(c.keyColor);
  ASSERT_EQ(Brightness(image, 40), 1);
  EXPECT_EQ(image.pixel(0, 0), c.expected);
  EXPECT_EQ(image.pixel(1, 0), c.keyed);
  EXPECT_EQ(image.bytes()[offset + 6], 0x5A);
}

TEST_P(Tone16Test, ContrastPivotsOnTheWidenedMeanAndGammaUsesTheWidenedFields) {
  const Layout16Case& c = GetParam();
  // Red 31 widens to 255: mean red 127.5, pivot 0.299 * 127.5 = 38.1225, and -100 flattens to 38.
  TestImage image({.depth = 16, .width = 2, .height = 1, .compression = c.compression, .masks = c.masks},
                  {{c.fullRed, 0}});
  ASSERT_EQ(Contrast(image, -100), 1);
  EXPECT_EQ(image.pixel(0, 0), c.flat38);
  EXPECT_EQ(image.pixel(1, 0), c.flat38);
  // Gamma 2 on the fields 4 (and six-bit 9): widened to 33 (36), T20 gives 92 (96), narrowed to 11 (24).
  image.setPixel(1, 0, 0);
  ASSERT_EQ(Gamma(image, 20), 1);
  const bool sixBitGreen = c.masks[0] == 0xF800;
  EXPECT_EQ(image.pixel(0, 0), sixBitGreen ? 11u << 11 | 24u << 5 | 11u : 11u << 10 | 11u << 5 | 11u);
  EXPECT_EQ(image.pixel(1, 0), 0u);
}

// Red 16 -> 132 -> 172 -> 21, blue 8 -> 66 -> 106 -> 13; green 32 of six bits -> 130 -> 170 -> 42,
// green 16 of five bits -> 132 -> 172 -> 21. The top bit of a 5-5-5 pixel is cleared.
INSTANTIATE_TEST_SUITE_P(Layouts, Tone16Test,
                         ::testing::Values(Layout16Case{"Plain555",
                                                        BI_RGB,
                                                        {},
                                                        0x8000 | 16 << 10 | 16 << 5 | 8,
                                                        0x8000 | 31 << 10 | 3,
                                                        21 << 10 | 21 << 5 | 13,
                                                        ColorRef(0xF8, 0x07, 0x1F),
                                                        31 << 10,
                                                        4 << 10 | 4 << 5 | 4},
                                           Layout16Case{"Bitfields555",
                                                        BI_BITFIELDS,
                                                        {0x7C00, 0x03E0, 0x001F},
                                                        16 << 10 | 16 << 5 | 8,
                                                        31 << 10 | 3,
                                                        21 << 10 | 21 << 5 | 13,
                                                        ColorRef(0xFF, 0x00, 0x18),
                                                        31 << 10,
                                                        4 << 10 | 4 << 5 | 4},
                                           Layout16Case{"Bitfields565",
                                                        BI_BITFIELDS,
                                                        {0xF800, 0x07E0, 0x001F},
                                                        16 << 11 | 32 << 5 | 8,
                                                        31 << 11 | 1 << 5 | 3,
                                                        21 << 11 | 42 << 5 | 13,
                                                        ColorRef(0xF8, 0x07, 0x1F),
                                                        31 << 11,
                                                        4 << 11 | 9 << 5 | 4}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(ToneMapTest, TopDownRowsAreWalkedByTheirAbsoluteHeight) {
  for (int which = 0; which < 3; ++which) {
    TestImage image({.depth = 24, .width = 1, .height = -2}, {{Grey(100)}, {Grey(200)}});
    const int result = which == 0 ? Brightness(image, 1) : which == 1 ? Gamma(image, 30) : Contrast(image, -100);
    ASSERT_EQ(result, 1);
    // T30 maps 100 to 187 and 200 to 235; the mean of both rows is 150.
    const uint32_t low = which == 0 ? Grey(101) : which == 1 ? Grey(187) : Grey(150);
    const uint32_t high = which == 0 ? Grey(201) : which == 1 ? Grey(235) : Grey(150);
    EXPECT_EQ(image.pixel(0, 0), low) << which;
    EXPECT_EQ(image.pixel(0, 1), high) << which;
  }
}

// --- what ImgContrast leaves alone ---

TEST_F(ToneMapTest, ContrastRefusesOneBitAndLeavesOtherDepthsAboveEight) {
  TestImage oneBit({.depth = 1, .width = 8, .height = 1, .palette = {0, 0xFFFFFF}});
  const std::vector<uint8_t> before = oneBit.bytes();
  EXPECT_EQ(Contrast(oneBit, 50), 0);
  EXPECT_EQ(oneBit.bytes(), before);

  TestImage odd({.depth = 12, .width = 2, .height = 1, .clrUsed = 1, .palette = {0x00808080}});
  const std::vector<uint8_t> oddBefore = odd.bytes();
  EXPECT_EQ(Contrast(odd, 50), 1);
  EXPECT_EQ(odd.bytes(), oddBefore);
}

TEST_F(ToneMapTest, ContrastOfAnImageWithoutPixelsChangesNothing) {
  for (const BitmapSpec& bitmap :
       {BitmapSpec{.depth = 24, .width = 0, .height = 3},
        BitmapSpec{.depth = 8, .width = 4, .height = 0, .clrUsed = 1, .palette = {0x00102030}}}) {
    TestImage image(bitmap);
    const std::vector<uint8_t> before = image.bytes();
    EXPECT_EQ(Contrast(image, 60), 1);
    EXPECT_EQ(image.bytes(), before);
  }
}

TEST_F(ToneMapTest, ContrastOnAPaletteUsesTheIndexedMeanAndRefreshesTheCopy) {
  // Three of four pixels white: mean 191.25 in every channel, so -100 gives 191.
  TestImage image({.depth = 8, .width = 2, .height = 2, .clrUsed = 2, .palette = {0x00000000, 0x00FFFFFF}},
                  {{1, 1}, {0, 1}});
  ASSERT_EQ(Contrast(image, -100), 1);
  EXPECT_EQ(PaletteEntry(image, 0), 0x00BFBFBFu);
  EXPECT_EQ(PaletteEntry(image, 1), 0x00BFBFBFu);
  EXPECT_TRUE(test::HeaderCopyMatches(image, 48));
}

TEST_F(ToneMapTest, ContrastCountsKeyPixelsInTheMeanButLeavesThem) {
  TestImage image({.depth = 24, .width = 2, .height = 1}, {{Grey(0), Grey(200)}});
  image.setColorKey(ColorRef(0, 0, 0));
  ASSERT_EQ(Contrast(image, -100), 1);
  EXPECT_EQ(image.pixel(0, 0), Grey(0));
  EXPECT_EQ(image.pixel(1, 0), Grey(100));  // the key pixel counts: mean 100
}

// --- bitmaps that do not hold what they claim ---

TEST_F(ToneMapTest, ShortBlocksAreRefusedLikeUnlockableBitmaps) {
  for (int which = 0; which < 3; ++which) {
    TestImage image({.depth = 24, .width = 4, .height = 10, .sizeOverride = 40 + 12 * 9});
    image.setPixel(0, 0, Grey(50));
    const std::vector<uint8_t> before = image.bytes();
    const int result = which == 0 ? Brightness(image, 1) : which == 1 ? Gamma(image, 20) : Contrast(image, 20);
    EXPECT_EQ(result, 0) << which;
    EXPECT_EQ(image.bytes(), before) << which;
  }
  // A colour table that leaves the block.
  TestImage table({.depth = 8, .width = 1, .height = 1, .sizeOverride = 300});
  const std::vector<uint8_t> before = table.bytes();
  EXPECT_EQ(Brightness(table, 5), 0);
  EXPECT_EQ(table.bytes(), before);
}

}  // namespace
}  // namespace ormi
