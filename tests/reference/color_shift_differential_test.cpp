// The RGB and HSI shifts against their plain references: identical bytes at every size, selection
// mode, vector level and a spread of shifts up to and beyond the full range (for the HSI shift also
// hue shifts of many turns, infinities and not-a-number).
#include <array>
#include <limits>

#include <gtest/gtest.h>

#include "reference/differential.h"
#include "reference/reference.h"
#include "tone/color_shift.h"

namespace ormi::test {
namespace {

class ColorShiftDifferentialTest : public MemoryCheckedTest {};

TEST_F(ColorShiftDifferentialTest, RgbMatchesReference) {
  const std::vector<std::array<int16_t, 3>> shifts{
      {30, 0, -30}, {255, -255, 0}, {-1, 1, 0}, {1000, -1000, 256}, {0, 0, 0}, {-32768, 32767, 7}, {128, 127, -128}};
  uint32_t seed = 900;
  size_t turn = 0;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int width : DifferentialWidths()) {
      for (int height : {2, -3}) {
        for (int depth : {32, 24}) {
          const BitmapSpec bitmapSpec{.depth = depth, .width = width, .height = height};
          for (SelectionMode mode : AllSelectionModes()) {
            const auto [r, g, b] = shifts[turn++ % shifts.size()];
            const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
            const TransparencyArg transparency = TransparencyArgOf(twins.optimised->record());
            const std::string name = std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + " " +
                                     CaseName(bitmapSpec, mode, level);
            const int optimised = OnLockedBitmap(twins.optimised->bitmap(), [&](DibBlock block) {
              return ImgAdjustColorRGBPixels(block, r, g, b, transparency);
            });
            const int expected = OnLockedBitmap(twins.reference->bitmap(), [&](DibBlock block) {
              return reference::AdjustColorRGBPixels(block, r, g, b, transparency);
            });
            ASSERT_EQ(optimised, expected) << name;
            ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
          }
        }
      }
    }
  }
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const std::vector<std::array<double, 3>>& HsiShifts() {
  static const std::vector<std::array<double, 3>> shifts{{0, 0, 0},
                                                         {0.5, 0, 0},
                                                         {-1, 1, -1},
                                                         {1, -1, 1},
                                                         {0.25, -0.3, 0.2},
                                                         {-0.75, 0.4, -0.1},
                                                         {2.75, 0.5, -0.5},
                                                         {-3.4, 0, 0},
                                                         {1e300, 0, 0},
                                                         {kNaN, kNaN, kNaN},
                                                         {kInf, -kInf, kInf},
                                                         {-kInf, kInf, -kInf},
                                                         {1e-310, -1e-310, 0},
                                                         {0.9999999999999999, 2, -2},
                                                         {-0.0, 0.5, 0.5}};
  return shifts;
}

std::string HsiName(const std::array<double, 3>& shift) {
  return std::to_string(shift[0]) + "," + std::to_string(shift[1]) + "," + std::to_string(shift[2]);
}

void ExpectHsiMatches(const BitmapSpec& bitmapSpec, SelectionMode mode, const std::array<double, 3>& shift,
                      uint32_t seed, SimdLevel level) {
  const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, seed);
  const TransparencyArg transparency = TransparencyArgOf(twins.optimised->record());
  const std::string name = HsiName(shift) + " " + CaseName(bitmapSpec, mode, level);
  const auto [h, s, l] = shift;
  const int optimised = OnLockedBitmap(
      twins.optimised->bitmap(), [&](DibBlock block) { return ImgAdjustColorHSIPixels(block, h, s, l, transparency); });
  const int expected = OnLockedBitmap(twins.reference->bitmap(), [&](DibBlock block) {
    return reference::AdjustColorHSIPixels(block, h, s, l, transparency);
  });
  ASSERT_EQ(optimised, expected) << name;
  ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
}

// Small images, converted pixel by pixel.
TEST_F(ColorShiftDifferentialTest, HsiMatchesReferenceOnSmallImages) {
  uint32_t seed = 2100;
  size_t turn = 0;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int width : DifferentialWidths()) {
      for (int height : {2, -3}) {
        for (SelectionMode mode : AllSelectionModes()) {
          ExpectHsiMatches({.depth = 32, .width = width, .height = height}, mode,
                           HsiShifts()[turn++ % HsiShifts().size()], ++seed, level);
          if (HasFatalFailure()) return;
        }
      }
    }
  }
}

// Images beyond twice the pair table's size take the tabulated pass at every level, with every
// shift; top-down rows leave nothing to walk.
TEST_F(ColorShiftDifferentialTest, HsiMatchesReferenceOnLargeImages) {
  const std::vector<std::pair<int, int>> sizes{{300, 230}, {1031, 70}, {257, 257}, {67, 1000}, {300, -230}};
  uint32_t seed = 2500;
  size_t turn = 0;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (const auto& shift : HsiShifts()) {
      const auto [width, height] = sizes[turn % sizes.size()];
      const SelectionMode mode = AllSelectionModes()[turn++ % AllSelectionModes().size()];
      ExpectHsiMatches({.depth = 32, .width = width, .height = height}, mode, shift, ++seed, level);
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace ormi::test
