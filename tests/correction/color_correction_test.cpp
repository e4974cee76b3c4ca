// Colour correction: the worked example, the clamps, the per-pixel arithmetic on hand-made
// matrices, the white selection, the matrix helpers, the colour key, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "correction/color_correction.h"
#include "correction/color_matrix.h"
#include "support/test_image.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::LockStateOf;
using test::TestImage;

constexpr uint32_t Px(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0xFF) { return a << 24 | r << 16 | g << 8 | b; }

// An output space with the primaries of the worked example.
constexpr double kPrimaries[6] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06};

class ColorCorrectionTest : public test::MemoryCheckedTest {
 protected:
  // Calls the export and checks that it left every lock as it found it.
  int Correct(const TestImage& image, int code, int white, const double* primaries = kPrimaries) {
    const test::LockState before = LockStateOf(image);
    const int result = ImgColorCorrection(image.handle(), code, white, primaries);
    EXPECT_EQ(LockStateOf(image), before);
    return result;
  }
};

TEST_F(ColorCorrectionTest, WorkedExample) {
  TestImage image({.depth = 32, .width = 3, .height = 1},
                  {{Px(200, 150, 100, 0x42), Px(255, 255, 255, 0), Px(0, 0, 0, 0x99)}});
  ASSERT_EQ(Correct(image, 12, 0), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(185, 170, 85, 0x42));
  EXPECT_EQ(image.pixel(1, 0), Px(191, 255, 211, 0)) << "green beyond 1.0 is clipped to 255";
  EXPECT_EQ(image.pixel(2, 0), Px(0, 0, 0, 0x99)) << "black stays black";
}

TEST_F(ColorCorrectionTest, AllocatesNothing) {
  TestImage image({.depth = 32, .width = 4, .height = 4});
  const long allocations = Win32EmuAllocCalls();
  EXPECT_EQ(Correct(image, 43, 331), 1);
  EXPECT_EQ(Win32EmuAllocCalls(), allocations);
}

TEST_F(ColorCorrectionTest, EveryPixelOfEveryRowIncludingTheLast) {
  for (int width : {1, 2, 5, 17}) {
    TestImage image({.depth = 32, .width = width, .height = 2});
    for (int r = 0; r < 2; ++r) {
      for (int x = 0; x < width; ++x) image.setPixel(x, r, Px(200, 150, 100, static_cast<uint32_t>(x + r)));
    }
    ASSERT_EQ(Correct(image, 12, 0), 1);
    for (int r = 0; r < 2; ++r) {
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ(image.pixel(x, r), Px(185, 170, 85, static_cast<uint32_t>(x + r))) << width << ": " << x;
      }
    }
  }
}

// Hand-made matrices where every step is exact: inputs 0 or 255 give 0 or 1.
TEST(ColorCorrectPixelTest, ClampsAndTruncates) {
  const ColorTarget identity{{1.0, 1.0, 1.0}, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}};
  const ProfileMatrix matrix = {{2, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 0.25, 0}};
  int out[3] = {-1, -1, -1};
  ColorCorrectPixel(255, 255, 255, 0, matrix, identity, out);
  EXPECT_EQ(out[0], 255) << "2.0 clipped to 1.0";
  EXPECT_EQ(out[1], 0) << "-1.0 clipped to 0";
  EXPECT_EQ(out[2], 63) << "0.25 * 255 = 63.75, truncated";

  ColorCorrectPixel(0, 0, 0, 0, matrix, identity, out);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 0);
}

TEST(ColorCorrectPixelTest, AdaptationProductTermAndOutputMatrix) {
  // X = blue, Y = the product term, Z = red; adapted by (0.5, 1, 1); out red = Y, green = X, blue = Z + X.
  const ProfileMatrix matrix = {{0, 0, 1, 0}, {0, 0, 0, 0.5}, {1, 0, 0, 0}};
  const ColorTarget target{{0.5, 1.0, 1.0}, {{{0, 1, 0}, {1, 0, 0}, {1, 0, 1}}}};
  int out[3] = {-1, -1, -1};
  ColorCorrectPixel(0, 0, 255, 0, matrix, target, out);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 127);  // 0.5 * 255 = 127.5
  EXPECT_EQ(out[2], 127);
  // The product term 253 gives 253 / 255 * 0.5 * 255 = 126.5 (within rounding), truncated to 126.
  ColorCorrectPixel(255, 0, 0, 253, matrix, target, out);
  EXPECT_EQ(out[0], 126);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 255);
}

struct WhiteCase {
  int code, white;
  double xs, zs, xt, zt;  // source white of the profile, target white
};

class ColorWhiteTest : public ColorCorrectionTest, public ::testing::WithParamInterface<WhiteCase> {};

// The white adaptation that a call leaves behind scales X by Xt / Xs and Z by Zt / Zs.
TEST_P(ColorWhiteTest, SelectsSourceAndTargetWhite) {
  const WhiteCase& c = GetParam();
  TestImage image({.depth = 32, .width = 1, .height = 1}, {{Px(10, 20, 30)}});
  ASSERT_EQ(Correct(image, c.code, c.white), 1);
  EXPECT_EQ(WhiteAdaptation[0], c.xt / c.xs);
  EXPECT_EQ(WhiteAdaptation[1], 1.0);
  EXPECT_EQ(WhiteAdaptation[2], c.zt / c.zs);
}

INSTANTIATE_TEST_SUITE_P(Codes, ColorWhiteTest,
                         ::testing::Values(WhiteCase{11, 330, 93.73457, 111.0946, 96.3, 96.3},
                                           WhiteCase{11, 0, 93.73457, 111.0946, 96.42, 82.49},
                                           WhiteCase{12, 331, 93.73457, 111.0946, 95.01, 95.01},
                                           WhiteCase{13, 332, 93.73457, 111.0946, 99.63, 99.63},
                                           WhiteCase{21, 331, 96.07735, 95.5562, 96.57, 96.57},
                                           WhiteCase{22, 333, 96.07735, 95.5562, 95.04, 108.89},
                                           WhiteCase{33, -1, 98.3594, 62.02108, 95.3, 141.27},
                                           WhiteCase{32, 332, 98.3594, 62.02108, 95.28, 95.28},
                                           WhiteCase{41, 329, 105.1676, 35.34657, 96.42, 82.49},
                                           WhiteCase{43, 330, 105.1676, 35.34657, 96.22, 96.22}));

TEST_F(ColorCorrectionTest, TheSecondDigitPicksTheTargetAndTheFirstTheProfile) {
  auto convert = [&](int code, int white) {
    TestImage image({.depth = 32, .width = 1, .height = 1}, {{Px(255, 255, 255)}});
    EXPECT_EQ(Correct(image, code, white), 1);
    return image.pixel(0, 0);
  };
  // The default targets of 11, 12 and 13 have Z 82.49, 108.89 and 141.27: the blues differ.
  EXPECT_LT(convert(11, 0) & 0xFF, convert(12, 0) & 0xFF);
  EXPECT_LT(convert(12, 0) & 0xFF, convert(13, 0) & 0xFF);
  // Under one target, profiles 1 and 2 differ.
  EXPECT_NE(convert(12, 0), convert(22, 0));
  // Every white code outside 330..332 is the default column.
  EXPECT_EQ(convert(12, 0), convert(12, 333));
  EXPECT_EQ(convert(12, 0), convert(12, -330));
}

TEST_F(ColorCorrectionTest, ColourKeyLeavesPixelsSharingAnyChannel) {
  // Key red 10, green 20, blue 30.
  const std::vector<uint32_t> row = {Px(200, 20, 100), Px(10, 150, 100), Px(200, 150, 30), Px(200, 150, 100)};
  TestImage image({.depth = 32, .width = 4, .height = 1}, {row});
  image.setColorKey(0x001E140A);
  ASSERT_EQ(Correct(image, 12, 0), 1);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(image.pixel(x, 0), row[x]) << x;
  EXPECT_EQ(image.pixel(3, 0), Px(185, 170, 85));

  TestImage all({.depth = 32, .width = 4, .height = 1}, {row});
  all.setAlphaTransparency(0x001E140A);
  ASSERT_EQ(Correct(all, 12, 0), 1);
  for (int x = 0; x < 4; ++x) EXPECT_NE(all.pixel(x, 0), row[x]) << x;
}

TEST_F(ColorCorrectionTest, PrimariesAreStoredEvenWhenTheImageIsRefused) {
  const double primaries[6] = {0.7, 0.29, 0.21, 0.71, 0.15, 0.02};
  EXPECT_EQ(ImgColorCorrection(nullptr, 12, 0, primaries), 0);
  EXPECT_EQ(PrimaryRedX, 0.7);
  EXPECT_EQ(PrimaryRedY, 0.29);
  EXPECT_EQ(PrimaryGreenX, 0.21);
  EXPECT_EQ(PrimaryGreenY, 0.71);
  EXPECT_EQ(PrimaryBlueX, 0.15);
  EXPECT_EQ(PrimaryBlueY, 0.02);
}

TEST_F(ColorCorrectionTest, CodesThatNameNoProfileAreRefused) {
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{Px(200, 150, 100), Px(1, 2, 3)}});
  const std::vector<uint8_t> before = image.bytes();
  for (int code : {0, 10, 14, 20, 24, 30, 34, 40, 44, 50, 51, 111, -12}) {
    EXPECT_EQ(Correct(image, code, 0), 0) << code;
    EXPECT_EQ(image.bytes(), before) << code;
  }
}

TEST_F(ColorCorrectionTest, DegeneratePrimariesAreRefused) {
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{Px(200, 150, 100), Px(1, 2, 3)}});
  const std::vector<uint8_t> before = image.bytes();
  const double nan = std::nan("");
  const double cases[][6] = {
      {0.3, 0.3, 0.3, 0.3, 0.15, 0.06},       // two primaries at one point
      {0.2, 0.2, 0.3, 0.3, 0.4, 0.4},         // three on one line
      {0, 0, 0, 0, 0, 0},                     // all at the origin
      {0.64, 0.33, 0.30, 0.60, nan, 0.06},    // not a number
      {0.64, 0.33, 0.30, 0.60, 0.15, 1e300},  // overflows
  };
  for (const auto& primaries : cases) {
    EXPECT_EQ(Correct(image, 12, 0, primaries), 0);
    EXPECT_EQ(image.bytes(), before);
  }
  EXPECT_EQ(ImgColorCorrection(image.handle(), 12, 0, nullptr), 0);
  EXPECT_EQ(image.bytes(), before);
}

TEST_F(ColorCorrectionTest, TopDownRowsAreLeftAndReportSuccess) {
  TestImage image({.depth = 32, .width = 2, .height = -2}, {{Px(200, 150, 100), Px(1, 2, 3)}, {Px(9, 9, 9), 0}});
  const std::vector<uint8_t> before = image.bytes();
  EXPECT_EQ(Correct(image, 12, 0), 1);
  EXPECT_EQ(image.bytes(), before);
}

TEST_F(ColorCorrectionTest, TablesBehindTheHeaderAreNeverChanged) {
  for (const BitmapSpec& bitmapSpec :
       {BitmapSpec{
            .depth = 32, .width = 1, .height = 1, .compression = BI_BITFIELDS, .masks = {0xFF0000, 0xFF00, 0xFF}},
        BitmapSpec{
            .depth = 32, .width = 1, .height = 1, .clrUsed = 3, .palette = {0x00C89664, 0x00C89664, 0x00C89664}}}) {
    TestImage image(bitmapSpec, {{Px(200, 150, 100)}});
    const std::vector<uint8_t> before = image.bytes();
    ASSERT_EQ(Correct(image, 12, 0), 1);
    const std::vector<uint8_t> after = image.bytes();
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 52, after.begin()));
    EXPECT_EQ(image.pixel(0, 0), Px(185, 170, 85));
  }
}

TEST_F(ColorCorrectionTest, BitmapsTheirBlockCannotHoldAreRefused) {
  TestImage tall({.depth = 32, .width = 2, .height = 100, .sizeOverride = 40 + 8});
  TestImage negativeWidth({.depth = 32, .width = -2, .height = 1, .sizeOverride = 40 + 8});
  for (const TestImage* image : {&tall, &negativeWidth}) {
    const std::vector<uint8_t> before = image->bytes();
    EXPECT_EQ(Correct(*image, 12, 0), 0);
    EXPECT_EQ(image->bytes(), before);
  }
}

TEST_F(ColorCorrectionTest, RefusalsReturnZeroAndChangeNothing) {
  for (int depth : {1, 4, 8, 16, 24}) {
    TestImage image({.depth = depth, .width = 3, .height = 2});
    test::SetBlockBytes(image.bitmap(), std::vector<uint8_t>(image.bytes().size(), 0x40));
    const std::vector<uint8_t> before = image.bytes();
    EXPECT_EQ(Correct(image, 12, 0), 0) << depth;
    EXPECT_EQ(image.bytes(), before) << depth;
  }

  TestImage image({.depth = 32, .width = 2, .height = 1}, {{Px(200, 150, 100), Px(1, 2, 3)}});
  const std::vector<uint8_t> before = image.bytes();
  image.edit([](ImageRecord& r) { r.magic[3] = '1'; });
  EXPECT_EQ(Correct(image, 12, 0), 0);
  image.edit([](ImageRecord& r) { r.magic[3] = '0'; });

  const uint32_t bitmap = image.record().bitmap;
  image.edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(Correct(image, 12, 0), 0);
  image.edit([&](ImageRecord& r) { r.bitmap = bitmap; });

  Win32EmuFailNextLock(1);  // the record
  EXPECT_EQ(ImgColorCorrection(image.handle(), 12, 0, kPrimaries), 0);
  Win32EmuFailNextLock(2);  // the bitmap
  EXPECT_EQ(ImgColorCorrection(image.handle(), 12, 0, kPrimaries), 0);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1}));
}

TEST(InvertMatrix3Test, ExactInverses) {
  const std::optional<Matrix3> diagonal = InvertMatrix3({{{2, 0, 0}, {0, 4, 0}, {0, 0, 8}}});
  ASSERT_TRUE(diagonal);
  EXPECT_EQ(*diagonal, (Matrix3{{{0.5, 0, 0}, {0, 0.25, 0}, {0, 0, 0.125}}}));
  const std::optional<Matrix3> shear = InvertMatrix3({{{1, 2, 0}, {0, 1, 3}, {0, 0, 1}}});
  ASSERT_TRUE(shear);
  EXPECT_EQ(*shear, (Matrix3{{{1, -2, 6}, {0, 1, -3}, {0, 0, 1}}}));
  EXPECT_FALSE(InvertMatrix3({{{1, 2, 3}, {2, 4, 6}, {0, 0, 1}}}));
  EXPECT_FALSE(InvertMatrix3({{{0.1, 0.2, 0.3}, {0.4, 0.5, 0.6}, {0.7, 0.8, 0.9}}})) << "singular but for rounding";
  EXPECT_FALSE(InvertMatrix3({}));
  EXPECT_FALSE(InvertMatrix3({{{1e300, 0, 0}, {0, 1e300, 0}, {0, 0, 1e300}}})) << "the determinant overflows";
}

TEST(InvertMatrix3Test, TimesTheMatrixGivesTheIdentity) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> value(-2.0, 2.0);
  for (int n = 0; n < 100; ++n) {
    Matrix3 m;
    for (auto& row : m) {
      for (double& v : row) v = value(random);
    }
    const std::optional<Matrix3> inverse = InvertMatrix3(m);
    ASSERT_TRUE(inverse);
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        double sum = 0;
        for (int k = 0; k < 3; ++k) sum += m[i][k] * (*inverse)[k][j];
        ASSERT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-6) << n;
      }
    }
  }
}

// The output matrix takes the white to (1, 1, 1) and each primary to its own channel alone.
TEST(BuildXyzToRgbMatrixTest, MapsWhiteToOneAndPrimariesToTheirChannels) {
  const Vector3 white = {0.3127, 0.3290, 1 - 0.3127 - 0.3290};
  const Vector3 red = {0.64, 0.33, 0.03}, green = {0.30, 0.60, 0.10}, blue = {0.15, 0.06, 0.79};
  const std::optional<Matrix3> m = BuildXyzToRgbMatrix(white, red, green, blue);
  ASSERT_TRUE(m);
  auto apply = [&](const Vector3& v) {
    Vector3 out{};
    for (int k = 0; k < 3; ++k) out[k] = (*m)[k][0] * v[0] + (*m)[k][1] * v[1] + (*m)[k][2] * v[2];
    return out;
  };
  const Vector3 rgbOfWhite = apply({white[0] / white[1], 1.0, white[2] / white[1]});
  for (double v : rgbOfWhite) EXPECT_NEAR(v, 1.0, 1e-12);
  const Vector3 primaries[3] = {red, green, blue};
  for (int p = 0; p < 3; ++p) {
    const Vector3 rgb = apply(primaries[p]);
    for (int k = 0; k < 3; ++k) {
      if (k == p) {
        EXPECT_GT(rgb[k], 0.0);
      } else {
        EXPECT_NEAR(rgb[k], 0.0, 1e-12) << p << " " << k;
      }
    }
  }
  EXPECT_FALSE(BuildXyzToRgbMatrix(white, red, red, blue));
}

TEST(ProfileTablesTest, ProductColumnsAreZero) {
  for (const ProfileMatrix& matrix : ColorProfileMatrix) {
    for (const auto& row : matrix) EXPECT_EQ(row[3], 0.0);
  }
}

}  // namespace
}  // namespace ormi
