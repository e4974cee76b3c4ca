// Gamma correction: the profile stretch, which table each mode and channel goes through, the
// any-channel colour key, the layout of unusual 32-bit bitmaps, lazy loading and the refusals.
#include <gtest/gtest.h>

#include "correction/gamma_correction.h"
#include "correction/gamma_table.h"
#include "correction/gamma_table_dir.h"
#include "exports/module_entry.h"
#include "support/test_image.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::GammaTableDir;
using test::LockStateOf;
using test::TestImage;

constexpr uint32_t Px(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0xFF) { return a << 24 | r << 16 | g << 8 | b; }
constexpr uint32_t Red(uint32_t p) { return (p >> 16) & 0xFF; }
constexpr uint32_t Green(uint32_t p) { return (p >> 8) & 0xFF; }
constexpr uint32_t Blue(uint32_t p) { return p & 0xFF; }

// Table n holds 10 + n everywhere, so a result names the table each channel went through.
test::GammaFile TablesNamedByValue() {
  return test::MakeGammaFile([](int n, int) { return 10 + n; });
}

class GammaCorrectionTest : public test::MemoryCheckedTest {
 protected:
  // Calls the export and checks that it left every lock as it found it.
  int Correct(const TestImage& image, int code, int mode) {
    const test::LockState before = LockStateOf(image);
    const int result = ImgGammaCorrection(image.handle(), code, mode);
    EXPECT_EQ(LockStateOf(image), before);
    return result;
  }
  GammaTableDir tables;
};

struct StretchCase {
  int profile, channel, in, out;
};

class GammaStretchTest : public ::testing::TestWithParam<StretchCase> {};

TEST_P(GammaStretchTest, MapsLowToNineAndHighTo255) {
  const StretchCase& c = GetParam();
  int in[3] = {0, 0, 0}, out[3] = {-1, -1, -1};
  in[c.channel] = c.in;
  GammaProfileStretch(in[0], in[1], in[2], out[0], out[1], out[2], c.profile);
  EXPECT_EQ(out[c.channel], c.out);
}

// Profile 1 red: L 29, H 248, scale 246 / 219. 138: 109 * 1.1233 + 9 = 131.4. Blue 248:
// (248 - 33) * (246 / 215) + 9 lands just below 255. Below L the values fall to 0: red 22 gives
// -7 * 1.1233 + 9 = 1.1, red 21 gives 0.01 and red 20 -1.1, clamped. Profile 4 blue (16..205):
// 100 gives 84 * 246 / 189 + 9 = 118.3; 255 is clamped.
INSTANTIATE_TEST_SUITE_P(Examples, GammaStretchTest,
                         ::testing::Values(StretchCase{0, 0, 0, 0}, StretchCase{0, 0, 29, 9},
                                           StretchCase{0, 0, 138, 131}, StretchCase{0, 0, 248, 255},
                                           StretchCase{0, 2, 248, 254}, StretchCase{0, 2, 33, 9},
                                           StretchCase{0, 1, 32, 9}, StretchCase{0, 0, 22, 1}, StretchCase{0, 0, 21, 0},
                                           StretchCase{0, 0, 20, 0}, StretchCase{3, 2, 100, 118},
                                           StretchCase{3, 2, 16, 9}, StretchCase{3, 2, 255, 255},
                                           StretchCase{1, 1, 50, 9}, StretchCase{1, 0, 226, 255},
                                           StretchCase{2, 1, 37, 9}));

TEST_F(GammaCorrectionTest, ProfileOneStretchExamplesThroughIdentityTables) {
  tables.write(test::IdentityGammaFile());
  TestImage image({.depth = 32, .width = 4, .height = 1},
                  {{Px(0, 0, 0, 0x12), Px(29, 32, 33, 0x34), Px(138, 32, 33, 0), Px(248, 32, 248, 0xFF)}});
  ASSERT_EQ(Correct(image, 11, 30), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(0, 0, 0, 0x12));
  EXPECT_EQ(image.pixel(1, 0), Px(9, 9, 9, 0x34));
  EXPECT_EQ(image.pixel(2, 0), Px(131, 9, 9, 0));
  EXPECT_EQ(image.pixel(3, 0), Px(255, 9, 254, 0xFF));
}

struct RoutingCase {
  int code, mode;
  uint32_t red, green, blue;  // the table each channel goes through, as 10 + table
};

class GammaRoutingTest : public GammaCorrectionTest, public ::testing::WithParamInterface<RoutingCase> {};

TEST_P(GammaRoutingTest, EachChannelGoesThroughItsTable) {
  const RoutingCase& c = GetParam();
  tables.write(TablesNamedByValue());
  TestImage image({.depth = 32, .width = 3, .height = 2},
                  {{Px(1, 2, 3, 0x80), Px(255, 255, 255, 0), Px(100, 0, 200, 7)}, {Px(0, 0, 0), 0, Px(5, 6, 7)}});
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Correct(image, c.code, c.mode), 1);
  for (int row = 0; row < 2; ++row) {
    for (int x = 0; x < 3; ++x) {
      const uint32_t alpha = before[40 + 12 * row + 4 * x + 3];
      EXPECT_EQ(image.pixel(x, row), Px(c.red, c.green, c.blue, alpha)) << x << "," << row;
    }
  }
}

// Profile p's tables are 3(p-1), 3(p-1)+1, 3(p-1)+2; the second digit does not matter; the code
// does not matter in modes 20 (table 12) and 40 (table 13).
INSTANTIATE_TEST_SUITE_P(Codes, GammaRoutingTest,
                         ::testing::Values(RoutingCase{11, 30, 10, 11, 12}, RoutingCase{12, 30, 10, 11, 12},
                                           RoutingCase{13, 30, 10, 11, 12}, RoutingCase{21, 30, 13, 14, 15},
                                           RoutingCase{22, 30, 13, 14, 15}, RoutingCase{33, 30, 16, 17, 18},
                                           RoutingCase{41, 30, 19, 20, 21}, RoutingCase{43, 30, 19, 20, 21},
                                           RoutingCase{11, 20, 22, 22, 22}, RoutingCase{0, 20, 22, 22, 22},
                                           RoutingCase{99, 40, 23, 23, 23}, RoutingCase{41, 40, 23, 23, 23}));

TEST_F(GammaCorrectionTest, SharedTablesMapEveryValue) {
  // Table 12 complements, table 13 halves: every value of every channel goes through its entry.
  tables.write(test::MakeGammaFile([](int n, int x) { return n == 12 ? 255 - x : n == 13 ? x / 2 : 0; }));
  TestImage image({.depth = 32, .width = 256, .height = 1});
  for (int x = 0; x < 256; ++x) image.setPixel(x, 0, Px(x, 255 - x, (x * 7) & 0xFF, x));
  ASSERT_EQ(Correct(image, 0, 20), 1);
  for (int x = 0; x < 256; ++x) ASSERT_EQ(image.pixel(x, 0), Px(255 - x, x, 255 - ((x * 7) & 0xFF), x)) << x;
  ASSERT_EQ(Correct(image, 0, 40), 1);
  for (int x = 0; x < 256; ++x) {
    ASSERT_EQ(image.pixel(x, 0), Px((255 - x) / 2, x / 2, (255 - ((x * 7) & 0xFF)) / 2, x)) << x;
  }
}

TEST_F(GammaCorrectionTest, IdentityTableTwelveChangesNothing) {
  tables.write(test::IdentityGammaFile());
  TestImage image({.depth = 32, .width = 5, .height = 3});
  for (int r = 0; r < 3; ++r) {
    for (int x = 0; x < 5; ++x) image.setPixel(x, r, 0x01234567u * static_cast<uint32_t>(x + 5 * r + 1));
  }
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Correct(image, 11, 20), 1);
  EXPECT_EQ(image.bytes(), before);
}

TEST_F(GammaCorrectionTest, OtherModesSucceedWithoutChange) {
  tables.write(TablesNamedByValue());
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{Px(1, 2, 3), Px(4, 5, 6)}});
  const std::vector<uint8_t> before = image.bytes();
  for (int mode : {0, 10, 21, 31, 39, 41, -30, 300}) {
    EXPECT_EQ(Correct(image, 11, mode), 1) << mode;
    EXPECT_EQ(image.bytes(), before) << mode;
  }
}

TEST_F(GammaCorrectionTest, ModeThirtyRefusesCodesThatNameNoProfile) {
  tables.write(TablesNamedByValue());
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{Px(1, 2, 3), Px(4, 5, 6)}});
  const std::vector<uint8_t> before = image.bytes();
  for (int code : {0, 1, 10, 14, 19, 20, 24, 40, 44, 51, 111, -11, -12}) {
    EXPECT_EQ(Correct(image, code, 30), 0) << code;
    EXPECT_EQ(image.bytes(), before) << code;
  }
}

struct KeyCase {
  int code, mode;
};

class GammaKeyTest : public GammaCorrectionTest, public ::testing::WithParamInterface<KeyCase> {};

// Key red 255, green 0, blue 0: a pixel with red 255, or green 0, or blue 0 stays in every mode.
TEST_P(GammaKeyTest, AnyEqualChannelLeavesThePixel) {
  const KeyCase& c = GetParam();
  tables.write(TablesNamedByValue());
  const std::vector<uint32_t> row = {Px(255, 1, 1), Px(1, 0, 1), Px(1, 1, 0), Px(255, 0, 0), Px(254, 1, 1, 9)};
  TestImage image({.depth = 32, .width = 5, .height = 1}, {row});
  image.setColorKey(0x000000FF);
  ASSERT_EQ(Correct(image, c.code, c.mode), 1);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(image.pixel(x, 0), row[x]) << x;
  EXPECT_NE(image.pixel(4, 0), row[4]);
  EXPECT_EQ(image.pixel(4, 0) >> 24, 9u);

  // With bit 31 set the colour is not compared: every pixel is corrected.
  TestImage all({.depth = 32, .width = 5, .height = 1}, {row});
  all.setAlphaTransparency(0x000000FF);
  ASSERT_EQ(Correct(all, c.code, c.mode), 1);
  for (int x = 0; x < 5; ++x) EXPECT_NE(all.pixel(x, 0), row[x]) << x;
}

INSTANTIATE_TEST_SUITE_P(Modes, GammaKeyTest,
                         ::testing::Values(KeyCase{11, 30}, KeyCase{42, 30}, KeyCase{0, 20}, KeyCase{0, 40}));

TEST_F(GammaCorrectionTest, ModeFortyUsesTableThirteenWithAKey) {
  tables.write(TablesNamedByValue());
  TestImage image({.depth = 32, .width = 1, .height = 1}, {{Px(100, 100, 100)}});
  image.setColorKey(0x00010203);
  ASSERT_EQ(Correct(image, 11, 40), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(23, 23, 23));
}

TEST_F(GammaCorrectionTest, TopDownRowsAreLeftAndReportSuccess) {
  tables.write(TablesNamedByValue());
  TestImage image({.depth = 32, .width = 2, .height = -2}, {{Px(1, 2, 3), Px(4, 5, 6)}, {Px(7, 8, 9), 0}});
  const std::vector<uint8_t> before = image.bytes();
  EXPECT_EQ(Correct(image, 11, 30), 1);
  EXPECT_EQ(image.bytes(), before);
}

// Masks or a colour table behind the header are not pixels: the rows begin behind them.
TEST_F(GammaCorrectionTest, TablesBehindTheHeaderAreNeverChanged) {
  tables.write(TablesNamedByValue());
  for (const BitmapSpec& bitmapSpec :
       {BitmapSpec{
            .depth = 32, .width = 2, .height = 2, .compression = BI_BITFIELDS, .masks = {0xFF0000, 0xFF00, 0xFF}},
        BitmapSpec{
            .depth = 32, .width = 2, .height = 2, .clrUsed = 3, .palette = {0x00112233, 0x00445566, 0x00778899}}}) {
    TestImage image(bitmapSpec, {{Px(1, 2, 3), Px(4, 5, 6)}, {Px(7, 8, 9), Px(1, 1, 1)}});
    const std::vector<uint8_t> before = image.bytes();
    ASSERT_EQ(Correct(image, 0, 20), 1);
    const std::vector<uint8_t> after = image.bytes();
    const size_t offset = test::BitsOffsetOf(bitmapSpec);
    ASSERT_EQ(offset, 52u);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 52, after.begin()));
    for (int r = 0; r < 2; ++r) {
      for (int x = 0; x < 2; ++x) EXPECT_EQ(image.pixel(x, r), Px(22, 22, 22));
    }
  }
}

TEST_F(GammaCorrectionTest, BitmapsTheirBlockCannotHoldAreRefused) {
  tables.write(TablesNamedByValue());
  // The header claims 100 rows; the block holds one.
  TestImage tall({.depth = 32, .width = 2, .height = 100, .sizeOverride = 40 + 8});
  TestImage upsideDown({.depth = 32, .width = 2, .height = -100, .sizeOverride = 40 + 8});
  TestImage negativeWidth({.depth = 32, .width = -2, .height = 1, .sizeOverride = 40 + 8});
  TestImage tables32({.depth = 32, .width = 1, .height = 1, .clrUsed = 1000, .sizeOverride = 100});
  for (const TestImage* image : {&tall, &upsideDown, &negativeWidth, &tables32}) {
    const std::vector<uint8_t> before = image->bytes();
    EXPECT_EQ(Correct(*image, 0, 20), 0);
    EXPECT_EQ(image->bytes(), before);
  }
}

TEST_F(GammaCorrectionTest, OtherDepthsAreRefused) {
  tables.write(TablesNamedByValue());
  for (int depth : {1, 4, 8, 16, 24}) {
    TestImage image({.depth = depth, .width = 3, .height = 2});
    test::SetBlockBytes(image.bitmap(), std::vector<uint8_t>(image.bytes().size(), 0x40));
    const std::vector<uint8_t> before = image.bytes();
    EXPECT_EQ(Correct(image, 11, 30), 0) << depth;
    EXPECT_EQ(image.bytes(), before) << depth;
  }
}

TEST_F(GammaCorrectionTest, RefusalsReturnZeroAndChangeNothing) {
  tables.write(TablesNamedByValue());
  EXPECT_EQ(ImgGammaCorrection(nullptr, 11, 30), 0);
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{Px(1, 2, 3), Px(4, 5, 6)}});
  const std::vector<uint8_t> before = image.bytes();

  image.edit([](ImageRecord& r) { r.magic[3] = '1'; });
  EXPECT_EQ(Correct(image, 11, 30), 0);
  image.edit([](ImageRecord& r) { r.magic[3] = '0'; });

  const uint32_t bitmap = image.record().bitmap;
  image.edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(Correct(image, 11, 30), 0);
  image.edit([&](ImageRecord& r) { r.bitmap = bitmap; });

  Win32EmuFailNextLock(1);  // the record
  EXPECT_EQ(ImgGammaCorrection(image.handle(), 11, 30), 0);
  Win32EmuFailNextLock(2);  // the bitmap
  EXPECT_EQ(ImgGammaCorrection(image.handle(), 11, 30), 0);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1}));

  // The header copy is not consulted: the depth comes from the bitmap itself.
  const uint32_t header = image.record().header;
  image.edit([](ImageRecord& r) { r.header = 0; });
  EXPECT_EQ(Correct(image, 11, 30), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(10, 11, 12));
  image.edit([&](ImageRecord& r) { r.header = header; });
}

TEST_F(GammaCorrectionTest, LoadsOnFirstUseOnlyUntilReloaded) {
  AttachProcess();  // as after the library was loaded
  tables.write(TablesNamedByValue());
  TestImage image({.depth = 32, .width = 1, .height = 1}, {{Px(1, 2, 3)}});
  ASSERT_EQ(Correct(image, 0, 20), 1);
  EXPECT_EQ(IsGammaTableLoaded(), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(22, 22, 22));

  // A changed file is not read again by the correction...
  tables.write(test::MakeGammaFile([](int n, int) { return 100 + n; }));
  ASSERT_EQ(Correct(image, 0, 20), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(22, 22, 22));
  // ...but by an explicit load.
  ASSERT_EQ(ImgLoadGammaTable(), 1);
  ASSERT_EQ(Correct(image, 0, 20), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(112, 112, 112));

  // Without the file the reload fails, and so does every correction until the file is back.
  tables.remove();
  EXPECT_EQ(ImgLoadGammaTable(), 0);
  image.setPixel(0, 0, Px(1, 2, 3));
  EXPECT_EQ(Correct(image, 0, 20), 0);
  EXPECT_EQ(Correct(image, 0, 20), 0);
  EXPECT_EQ(image.pixel(0, 0), Px(1, 2, 3));
  tables.write(TablesNamedByValue());
  EXPECT_EQ(Correct(image, 0, 20), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(22, 22, 22));
}

TEST_F(GammaCorrectionTest, WithoutATableNothingIsLocked) {
  ClearGammaTable();
  TestImage image({.depth = 32, .width = 1, .height = 1}, {{Px(1, 2, 3)}});
  const long locks = Win32EmuLockCalls();
  EXPECT_EQ(ImgGammaCorrection(image.handle(), 11, 30), 0);
  EXPECT_EQ(ImgGammaCorrection(nullptr, 11, 30), 0);
  EXPECT_EQ(Win32EmuLockCalls(), locks) << "the handle is not looked at";
  EXPECT_EQ(image.pixel(0, 0), Px(1, 2, 3));
}

TEST_F(GammaCorrectionTest, AllocatesNothing) {
  tables.write(TablesNamedByValue());
  ASSERT_EQ(ImgLoadGammaTable(), 1);
  TestImage image({.depth = 32, .width = 4, .height = 4});
  const long allocations = Win32EmuAllocCalls();
  for (int mode : {30, 20, 40}) EXPECT_EQ(Correct(image, 31, mode), 1);
  EXPECT_EQ(Win32EmuAllocCalls(), allocations);
}

TEST_F(GammaCorrectionTest, EveryPixelOfEveryRowIncludingTheLast) {
  tables.write(TablesNamedByValue());
  for (int width : {1, 2, 3, 7, 16, 33}) {
    TestImage image({.depth = 32, .width = width, .height = 3});
    for (int r = 0; r < 3; ++r) {
      for (int x = 0; x < width; ++x) image.setPixel(x, r, Px(50, 60, 70, static_cast<uint32_t>(x)));
    }
    ASSERT_EQ(Correct(image, 21, 30), 1);
    for (int r = 0; r < 3; ++r) {
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ(image.pixel(x, r), Px(13, 14, 15, static_cast<uint32_t>(x))) << width << ": " << x << "," << r;
      }
    }
  }
}

}  // namespace
}  // namespace ormi
