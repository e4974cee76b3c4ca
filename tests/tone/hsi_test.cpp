#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tone/color_shift.h"
#include "tone/hsi.h"

namespace ormi {
namespace {

struct ToHsiCase {
  const char* name;
  uint8_t red, green, blue;
  double hue, saturation, intensity;
};
class RgbToHsiTest : public ::testing::TestWithParam<ToHsiCase> {};

TEST_P(RgbToHsiTest, GivesTheDoubleHexconeValues) {
  const ToHsiCase& c = GetParam();
  double hue = 0, saturation = 0, intensity = 0;
  RgbToHsi(c.red, c.green, c.blue, hue, saturation, intensity);
  EXPECT_DOUBLE_EQ(hue, c.hue);
  EXPECT_DOUBLE_EQ(saturation, c.saturation);
  EXPECT_DOUBLE_EQ(intensity, c.intensity);
}

INSTANTIATE_TEST_SUITE_P(
    Colours, RgbToHsiTest,
    ::testing::Values(ToHsiCase{"Red", 255, 0, 0, 1.0, 1, 0.5}, ToHsiCase{"Yellow", 255, 255, 0, 1 / 6.0, 1, 0.5},
                      ToHsiCase{"Green", 0, 255, 0, 2 / 6.0, 1, 0.5}, ToHsiCase{"Cyan", 0, 255, 255, 3 / 6.0, 1, 0.5},
                      ToHsiCase{"Blue", 0, 0, 255, 4 / 6.0, 1, 0.5}, ToHsiCase{"Magenta", 255, 0, 255, 5 / 6.0, 1, 0.5},
                      // l <= 1/2: s = d / (max + min); hue 1 - (max - g) / d = 1/2 sixth.
                      ToHsiCase{"DarkOrange", 100, 50, 0, 1 / 12.0, 1, 50 / 255.0},
                      // l > 1/2: s = d / (2 - max - min) = 1; red is max and green min: 5 + 1 sixths.
                      ToHsiCase{"Pink", 255, 128, 128, 1.0, 1, (1 + 128 / 255.0) / 2},
                      // Half saturation: max 0.6, min 0.2, l = 0.4, s = 0.4 / 0.8.
                      ToHsiCase{"Muted", 153, 51, 102, 5 / 6.0 + (0.6 - 0.4) / 0.4 / 6, 0.5, 0.4}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(RgbToHsiTest, BlackAndGreysLeaveWhatTheyDoNotDetermine) {
  double hue = -7, saturation = -7, intensity = -7;
  RgbToHsi(0, 0, 0, hue, saturation, intensity);
  EXPECT_EQ(hue, -7);
  EXPECT_EQ(saturation, -7);
  EXPECT_EQ(intensity, 0);
  RgbToHsi(128, 128, 128, hue, saturation, intensity);
  EXPECT_EQ(hue, -7);
  EXPECT_EQ(saturation, 0);
  EXPECT_DOUBLE_EQ(intensity, 128 / 255.0);
}

struct ToRgbCase {
  const char* name;
  double hue, saturation, intensity;
  uint8_t red, green, blue;
};
class HsiToRgbTest : public ::testing::TestWithParam<ToRgbCase> {};

TEST_P(HsiToRgbTest, GivesTheBytes) {
  const ToRgbCase& c = GetParam();
  uint8_t red = 1, green = 2, blue = 3;
  HsiToRgb(c.hue, c.saturation, c.intensity, red, green, blue);
  EXPECT_EQ(red, c.red);
  EXPECT_EQ(green, c.green);
  EXPECT_EQ(blue, c.blue);
}

INSTANTIATE_TEST_SUITE_P(Colours, HsiToRgbTest,
                         ::testing::Values(ToRgbCase{"RedAtZero", 0, 1, 0.5, 255, 0, 0},
                                           ToRgbCase{"OneIsZero", 1, 1, 0.5, 255, 0, 0},
                                           ToRgbCase{"Cyan", 0.5, 1, 0.5, 0, 255, 255},
                                           // sixth 1, f 1/2: red falls half-way, 127.5 rounds up.
                                           ToRgbCase{"Chartreuse", 0.25, 1, 0.5, 128, 255, 0},
                                           ToRgbCase{"Violet", 0.75, 1, 0.5, 128, 0, 255},
                                           // sixth 5, f 1/2: blue falls half-way.
                                           ToRgbCase{"Rose", 11 / 12.0, 1, 0.5, 255, 0, 128},
                                           // l > 1/2: m2 = 0.75 + 0.5 - 0.375 = 0.875, m1 = 0.625.
                                           ToRgbCase{"LightGreen", 2 / 6.0, 0.5, 0.75, 159, 223, 159},
                                           ToRgbCase{"Grey", 0.3, 0, 0.5, 128, 128, 128},
                                           ToRgbCase{"Black", 0.3, 1, 0, 0, 0, 0},
                                           ToRgbCase{"White", 0.7, 1, 1, 255, 255, 255},
                                           // Outside the ranges the caller promises: the hue wraps, the bytes hold.
                                           ToRgbCase{"HueOutside", 1.5, 1, 0.5, 0, 255, 255},
                                           ToRgbCase{"Overbright", 0, 1, 2, 255, 255, 255}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(HsiRoundTripTest, EveryColourComesBack) {
  for (int red = 0; red < 256; ++red) {
    for (int green = 0; green < 256; green += red % 3 + 1) {
      for (int blue = 0; blue < 256; ++blue) {
        double hue = 0, saturation = 0, intensity = 0;
        RgbToHsi(static_cast<uint8_t>(red), static_cast<uint8_t>(green), static_cast<uint8_t>(blue), hue, saturation,
                 intensity);
        uint8_t r = 0, g = 0, b = 0;
        HsiToRgb(hue, saturation, intensity, r, g, b);
        ASSERT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{red, green, blue}));
      }
    }
  }
}

TEST(WrapHueTest, WholeTurnsAreRemoved) {
  EXPECT_DOUBLE_EQ(WrapHue(1.25), 0.25);
  EXPECT_DOUBLE_EQ(WrapHue(-0.25), 0.75);
  EXPECT_DOUBLE_EQ(WrapHue(-3.5), 0.5);
  EXPECT_EQ(WrapHue(1), 0);
  EXPECT_EQ(WrapHue(7), 0);
  EXPECT_EQ(WrapHue(-1e-20), 0);  // 1 - 1e-20 is 1 in doubles: a whole turn
  EXPECT_EQ(WrapHue(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(WrapHue(std::numeric_limits<double>::infinity()), 0);
}

struct ShiftCase {
  const char* name;
  double hueShift, saturationShift, intensityShift;
  std::array<uint8_t, 3> source, expected;
};
class ShiftPixelHsiTest : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(ShiftPixelHsiTest, ShiftsAndWraps) {
  const ShiftCase& c = GetParam();
  uint8_t red = c.source[0], green = c.source[1], blue = c.source[2];
  ShiftPixelHsi(c.hueShift, c.saturationShift, c.intensityShift, red, green, blue);
  EXPECT_EQ((std::array<uint8_t, 3>{red, green, blue}), c.expected);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Shifts, ShiftPixelHsiTest,
    ::testing::Values(ShiftCase{"HalfTurnMakesRedCyan", 0.5, 0, 0, {255, 0, 0}, {0, 255, 255}},
                      ShiftCase{"NoShift", 0, 0, 0, {200, 100, 50}, {200, 100, 50}},
                      // l = 250 / 510: grey floor(255 l + 0.5) = 125.
                      ShiftCase{"DesaturatedToGrey", 0, -1, 0, {200, 100, 50}, {125, 125, 125}},
                      ShiftCase{"BlackLitAndSaturatedIsRed", 0, 1, 0.5, {0, 0, 0}, {255, 0, 0}},
                      ShiftCase{"WhiteStaysWhite", 0.3, 0, 0, {255, 255, 255}, {255, 255, 255}},
                      ShiftCase{"IntensityHeldAtOne", 0, 0, 5, {10, 20, 30}, {255, 255, 255}},
                      ShiftCase{"IntensityHeldAtZero", 0, 0, -5, {10, 20, 30}, {0, 0, 0}},
                      // A hue of 1 shifted by 0 stays 1, which the conversion takes as 0.
                      ShiftCase{"RedStaysRed", 0, 0, 0, {255, 0, 0}, {255, 0, 0}},
                      ShiftCase{"NegativeShiftWrapsOnce", -0.75, 0, 0, {0, 255, 255}, {128, 0, 255}},
                      // Beyond one turn: 1 + 2.5 -> 2.5 after the single wrap -> 0.5.
                      ShiftCase{"TwoAndAHalfTurns", 2.5, 0, 0, {255, 0, 0}, {0, 255, 255}},
                      ShiftCase{"MinusOneAndThreeQuarters", -1.75, 0, 0, {255, 0, 0}, {128, 255, 0}},
                      ShiftCase{"MinusThreeAndAQuarter", -3.25, 0, 0, {255, 0, 0}, {128, 0, 255}},
                      ShiftCase{"NotANumberHueIsZero", kNaN, 0, 0, {0, 255, 255}, {255, 0, 0}},
                      ShiftCase{"InfiniteHueIsZero", kInfinity, 0, 0, {0, 255, 255}, {255, 0, 0}},
                      ShiftCase{"NotANumberSaturationIsZero", 0, kNaN, 0, {200, 100, 50}, {125, 125, 125}}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace ormi
