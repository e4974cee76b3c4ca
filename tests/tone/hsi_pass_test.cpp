// The worked examples of the HSI shift and the adjustable contrast on images large enough for the
// tabulated pass, at every vector level: each example pixel repeated over the whole image (so
// every lane of every kernel meets it), alpha kept without a key.
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "exports/simd_levels.h"
#include "tone/hsi_kernels.h"
#include "tone_test_support.h"

namespace ormi {
namespace {

using test::Grey;
using test::Rgb;

struct Example {
  const char* name;
  bool contrast;  // else the HSI shift
  double hue, saturation, intensity;
  int mode;
  uint32_t before, after;  // 0xRRGGBB
};

void PrintTo(const Example& e, std::ostream* os) { *os << e.name; }

class HsiPassExampleTest : public test::MemoryCheckedTest, public ::testing::WithParamInterface<Example> {};

TEST_P(HsiPassExampleTest, EveryLevelGivesTheExample) {
  const Example& e = GetParam();
  constexpr int kWidth = 300, kHeight = 230;
  static_assert(size_t{kWidth} * kHeight > kHsiTableWorthPixels);
  for (SimdLevel level : test::SimdLevelsToTest()) {
    test::ScopedSimdLevel forced(level);
    test::TestImage image({.depth = 32, .width = kWidth, .height = kHeight});
    for (int row = 0; row < kHeight; ++row)
      for (int x = 0; x < kWidth; ++x) image.setPixel(x, row, 0x7F000000u | e.before);
    const int result = e.contrast ? ImgAdjContrast(image.handle(), e.mode)
                                  : ImgAdjustColorHSI(image.handle(), e.hue, e.saturation, e.intensity);
    ASSERT_EQ(result, 1);
    for (int row = 0; row < kHeight; ++row) {
      for (int x = 0; x < kWidth; ++x) {
        ASSERT_EQ(image.pixel(x, row), 0x7F000000u | e.after)
            << test::SimdLevelName(level) << " at " << x << "," << row;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, HsiPassExampleTest,
    ::testing::Values(Example{"HalfTurnMakesRedCyan", false, 0.5, 0, 0, 0, Rgb(255, 0, 0), Rgb(0, 255, 255)},
                      Example{"NoShiftKeepsAColour", false, 0, 0, 0, 0, Rgb(10, 200, 77), Rgb(10, 200, 77)},
                      // Intensity (200 + 50) / 510; 255 of it plus 0.5 floors to 125.
                      Example{"SaturationMinusOneMakesGrey", false, 0.2, -1, 0, 0, Rgb(200, 100, 50), Grey(125)},
                      Example{"BlackLiftedAndSaturatedBecomesRed", false, 0, 1, 0.5, 0, Rgb(0, 0, 0), Rgb(255, 0, 0)},
                      Example{"WhiteStaysUnderAHueShift", false, 0.3, 0, 0, 0, Rgb(255, 255, 255), Rgb(255, 255, 255)},
                      Example{"WholeTurnsLeaveRed", false, 3, 0, 0, 0, Rgb(255, 0, 0), Rgb(255, 0, 0)},
                      Example{"RaisedDarkGrey", true, 0, 0, 0, 1, Grey(64), Grey(51)},
                      Example{"RaisedLightGrey", true, 0, 0, 0, 1, Grey(192), Grey(205)},
                      Example{"LoweredDarkGrey", true, 0, 0, 0, 0, Grey(64), Grey(77)},
                      Example{"LoweredLightGrey", true, 0, 0, 0, 0, Grey(192), Grey(179)},
                      Example{"MiddleGreyStays", true, 0, 0, 0, 1, Grey(128), Grey(128)},
                      Example{"WhiteStays", true, 0, 0, 0, 0, Grey(255), Grey(255)},
                      Example{"BlackStays", true, 0, 0, 0, 1, Grey(0), Grey(0)},
                      // Fully saturated, hue 1/12: the intensity 0.251 moves to 0.199, so m2 = 0.399 and
                      // green, half-way up the first sixth, 0.199; red and green keep their ratio.
                      Example{"SaturatedColourKeepsItsHue", true, 0, 0, 0, 1, Rgb(128, 64, 0), Rgb(102, 51, 0)}),
    [](const ::testing::TestParamInfo<Example>& example) { return std::string(example.param.name); });

}  // namespace
}  // namespace ormi
