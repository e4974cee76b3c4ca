// Brightness, contrast and preset gamma against their plain references: identical bytes (pixels,
// colour table and header copy) at every depth, size, selection mode, vector level and a spread
// of parameters with their extremes.
#include <functional>

#include <gtest/gtest.h>

#include "reference/differential.h"
#include "reference/reference.h"

namespace ormi::test {
namespace {

struct ToneCase {
  const char* name;
  std::function<int(HGLOBAL, int)> optimised;
  std::function<int(ImageRecord&, int)> reference;
  std::vector<int> parameters;
};

std::vector<ToneCase> ToneCases() {
  return {
      {"brightness", ImgBrightness, reference::BrightnessImage, {-255, -100, -1, 0, 1, 40, 254, 255, 1000, -1000}},
      {"gamma", ImgGamma, reference::GammaImage, {-5, 0, 10, 11, 15, 20, 29, 30, 40, 99}},
      {"contrast", ImgContrast, reference::ContrastImage, {-100, -99, -50, -1, 0, 1, 30, 99, 100, 500}},
  };
}

class ToneTableDifferentialTest : public MemoryCheckedTest, public ::testing::WithParamInterface<int> {};

TEST_P(ToneTableDifferentialTest, MatchesReference) {
  const int depth = GetParam();
  uint32_t seed = 100;
  for (const ToneCase& tone : ToneCases()) {
    for (SimdLevel level : SimdLevelsToTest()) {
      ScopedSimdLevel forced(level);
      size_t turn = 0;
      for (int width : DifferentialWidths()) {
        const int height = (width % 4 + 1) * (width % 3 == 0 ? -1 : 1);
        const BitmapSpec bitmapSpec{.depth = depth, .width = width, .height = height};
        for (SelectionMode mode : AllSelectionModes()) {
          // The parameters take turns over sizes and modes; the extremes come round on every size.
          const int parameter = tone.parameters[turn++ % tone.parameters.size()];
          const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
          const int expected = [&] {
            auto* record = static_cast<ImageRecord*>(GlobalLock(twins.reference->handle()));
            const int result = tone.reference(*record, parameter);
            GlobalUnlock(twins.reference->handle());
            return result;
          }();
          const std::string name =
              std::string(tone.name) + " " + std::to_string(parameter) + " " + CaseName(bitmapSpec, mode, level);
          ASSERT_EQ(tone.optimised(twins.optimised->handle(), parameter), expected) << name;
          ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
          ASSERT_EQ(twins.optimised->headerCopyBytes(), twins.reference->headerCopyBytes()) << name;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, ToneTableDifferentialTest, ::testing::Values(1, 4, 8, 16, 24, 32));

}  // namespace
}  // namespace ormi::test
