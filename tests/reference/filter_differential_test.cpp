// Blur and sharpen against their plain references: identical bytes at every size, selection mode,
// vector level and a spread of amounts, the wrapping extremes included.
#include <gtest/gtest.h>

#include "filters/emboss_edge.h"
#include "reference/differential.h"
#include "reference/reference.h"

namespace ormi::test {
namespace {

struct FilterCase {
  const char* name;
  int (*optimised)(HGLOBAL, double);
  int (*reference)(HGLOBAL, double);
};

class LinearFilterDifferentialTest : public MemoryCheckedTest, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(LinearFilterDifferentialTest, MatchesReference) {
  const FilterCase& filter = GetParam();
  // Ordinary amounts, divisors of 1 and 2, negative centre weights, amounts whose sums wrap, and
  // the centre weights either side of the largest that keep the sums in 16 bits (blur 244 at -414,
  // sharpen 128 at -130).
  const std::vector<double> amounts{50,     0,     100,  74,     75,   76,   49.5, -1000, 1000, 150,   -20, 8.6e9,
                                    -8.6e9, 1e300, -414, -415.9, -416, -130, -132, 98,    126,  127.9, 128, 24};
  uint32_t seed = 500;
  size_t turn = 0;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int width : DifferentialWidths()) {
      if (width < 3) continue;  // the filters refuse images under 3 x 3
      const BitmapSpec bitmapSpec{.depth = 32, .width = width, .height = 3 + width % 4};
      for (SelectionMode mode : AllSelectionModes()) {
        const double amount = amounts[turn++ % amounts.size()];
        const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
        const std::string name =
            std::string(filter.name) + " " + std::to_string(amount) + " " + CaseName(bitmapSpec, mode, level);
        ASSERT_EQ(filter.optimised(twins.optimised->handle(), amount), 1) << name;
        filter.reference(twins.reference->handle(), amount);
        ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
      }
    }
  }
}

// Pictures of the extreme channel values, where the sums reach the ends of their ranges: all white,
// black with white rings (the largest ring for a dark centre), and white with black rings.
TEST_P(LinearFilterDifferentialTest, ExtremePicturesAtTheNarrowLaneLimits) {
  const FilterCase& filter = GetParam();
  const std::vector<double> amounts{-414, -415.9, -416, -130, -131.9, -132, 126, 128, 74, 76};
  const auto patterns = {+[](int, int) { return 0xFFFFFFFFu; },
                         +[](int x, int r) { return x % 2 == 0 && r % 2 == 0 ? 0xFF000000u : 0xFFFFFFFFu; },
                         +[](int x, int r) { return x % 2 == 0 && r % 2 == 0 ? 0xFFFFFFFFu : 0xFF000000u; }};
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (double amount : amounts) {
      for (auto pattern : patterns) {
        const BitmapSpec bitmapSpec{.depth = 32, .width = 21, .height = 5};
        TestImage optimised(bitmapSpec), expected(bitmapSpec);
        for (int r = 0; r < 5; ++r) {
          for (int x = 0; x < 21; ++x) {
            optimised.setPixel(x, r, pattern(x, r));
            expected.setPixel(x, r, pattern(x, r));
          }
        }
        ASSERT_EQ(filter.optimised(optimised.handle(), amount), 1);
        filter.reference(expected.handle(), amount);
        ASSERT_EQ(optimised.bytes(), expected.bytes()) << filter.name << " " << amount << " " << SimdLevelName(level);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Filters, LinearFilterDifferentialTest,
                         ::testing::Values(FilterCase{"blur", ImgBlur, reference::BlurImage},
                                           FilterCase{"sharpen", ImgSharpen, reference::SharpenImage}),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

class EmbossDifferentialTest : public MemoryCheckedTest {};

TEST_F(EmbossDifferentialTest, KernelPassMatchesReference) {
  uint32_t seed = 1700;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int width : DifferentialWidths()) {
      if (width < 3) continue;
      const BitmapSpec bitmapSpec{.depth = 32, .width = width, .height = 3 + width % 4};
      for (SelectionMode mode : AllSelectionModes()) {
        const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
        const TransparencyArg transparency = TransparencyArgOf(twins.optimised->record());
        HGLOBAL bitmap = twins.optimised->bitmap();
        const int optimised =
            EmbossWindows(DibBlock{static_cast<uint8_t*>(GlobalLock(bitmap)), GlobalSize(bitmap)}, transparency);
        GlobalUnlock(bitmap);
        const std::string name = CaseName(bitmapSpec, mode, level);
        ASSERT_EQ(optimised, reference::EmbossWindowsImage(twins.reference->handle())) << name;
        ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
      }
    }
  }
}

}  // namespace
}  // namespace ormi::test
