#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "tone/gamma_presets.h"

namespace ormi {
namespace {

struct CurveCase {
  int curve;  // 0..3: gamma 1.5, 2.0, 2.5, 3.0
  double gamma;
  std::array<int, 8> checks;  // at 1, 2, 3, 4, 64, 128, 254, 255
};

class GammaPresetCurveTest : public ::testing::TestWithParam<CurveCase> {};

TEST_P(GammaPresetCurveTest, HoldsTheCheckValues) {
  const CurveCase& c = GetParam();
  const ComponentTable& curve = GammaPresetCurves[static_cast<size_t>(c.curve)];
  const int inputs[8] = {1, 2, 3, 4, 64, 128, 254, 255};
  EXPECT_EQ(curve[0], 0);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(curve[static_cast<size_t>(inputs[k])], c.checks[k]) << "entry " << inputs[k];
}

TEST_P(GammaPresetCurveTest, EveryEntryIsTheRoundedPowerAndNoneLiesNearAHalf) {
  const CurveCase& c = GetParam();
  const ComponentTable& curve = GammaPresetCurves[static_cast<size_t>(c.curve)];
  for (int i = 0; i < 256; ++i) {
    const double exact = 255.0 * std::pow(i / 255.0, 1.0 / c.gamma);
    EXPECT_EQ(curve[static_cast<size_t>(i)], std::lround(exact)) << "entry " << i;
    EXPECT_GT(std::abs(exact - std::floor(exact) - 0.5), 1e-6) << "entry " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Presets, GammaPresetCurveTest,
                         ::testing::Values(CurveCase{0, 1.5, {6, 10, 13, 16, 101, 161, 254, 255}},
                                           CurveCase{1, 2.0, {16, 23, 28, 32, 128, 181, 254, 255}},
                                           CurveCase{2, 2.5, {28, 37, 43, 48, 147, 194, 255, 255}},
                                           CurveCase{3, 3.0, {40, 51, 58, 64, 161, 203, 255, 255}}));

TEST(GammaPresetLevelTest, TenAndBelowIsTheIdentity) {
  for (int level : {10, 0, -1, -1000, INT_MIN}) {
    for (int i = 0; i < 256; ++i) ASSERT_EQ(GammaPresetLevel(level, i), i) << "level " << level;
  }
}

TEST(GammaPresetLevelTest, PresetLevelsGiveTheirCurvesAndThirtyUpGivesTheLast) {
  const int presets[4] = {15, 20, 25, 30};
  for (int k = 0; k < 4; ++k) {
    for (int i = 0; i < 256; ++i) {
      ASSERT_EQ(GammaPresetLevel(presets[k], i), GammaPresetCurves[static_cast<size_t>(k)][static_cast<size_t>(i)]);
    }
  }
  for (int level : {31, 1000, INT_MAX}) {
    for (int i = 0; i < 256; ++i) ASSERT_EQ(GammaPresetLevel(level, i), GammaPresetCurves[3][static_cast<size_t>(i)]);
  }
}

struct BlendCase {
  int level, input, expected;
};
class GammaPresetBlendTest : public ::testing::TestWithParam<BlendCase> {};

TEST_P(GammaPresetBlendTest, StepsMoveTwoTenthsTowardsTheNextCurve) {
  const BlendCase& c = GetParam();
  EXPECT_EQ(GammaPresetLevel(c.level, c.input), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Levels, GammaPresetBlendTest,
                         ::testing::Values(BlendCase{17, 128, 169},  // (4 * 181 + 6 * 161 + 5) div 10
                                           BlendCase{12, 128, 141},  // (4 * 161 + 6 * 128 + 5) div 10
                                           BlendCase{11, 1, 2},      // (2 * 6 + 8 * 1 + 5) div 10
                                           BlendCase{29, 64, 158},   // (8 * 161 + 2 * 147 + 5) div 10
                                           BlendCase{23, 2, 31},     // (6 * 37 + 4 * 23 + 5) div 10
                                           BlendCase{26, 255, 255}, BlendCase{14, 0, 0}));

TEST(GammaPresetLevelTest, BuildFillsTheTableWithTheLevel) {
  for (int level : {-3, 10, 13, 17, 22, 28, 30, 77}) {
    ComponentTable table;
    table.fill(0xAA);
    BuildGammaPresetTable(table, level);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(table[static_cast<size_t>(i)], GammaPresetLevel(level, i));
  }
}

}  // namespace
}  // namespace ormi
