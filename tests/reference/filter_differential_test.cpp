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
  // Ordinary amounts, divisors of 1 and 2, negative centre weights, and amounts whose sums wrap.
  const std::vector<double> amounts{50, 0, 100, 74, 75, 76, 49.5, -1000, 1000, 150, -20, 8.6e9, -8.6e9, 1e300};
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
