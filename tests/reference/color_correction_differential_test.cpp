// Colour correction: the AVX2 run against the scalar per-pixel conversion, which is the plain
// implementation unchanged. Identical bytes for every profile, target white, a spread of primaries
// (extreme ones whose sums leave 0..1 included), every size and selection mode.
#include <array>

#include <gtest/gtest.h>

#include "reference/differential.h"

namespace ormi::test {
namespace {

class ColorCorrectionDifferentialTest : public MemoryCheckedTest {};

TEST_F(ColorCorrectionDifferentialTest, VectorRunMatchesScalar) {
  const std::vector<std::array<double, 6>> primaries{{0.64, 0.33, 0.30, 0.60, 0.15, 0.06},
                                                     {0.7, 0.29, 0.21, 0.71, 0.15, 0.02},
                                                     {0.9, 0.05, 0.05, 0.9, 0.3, 0.3},
                                                     {0.35, 0.34, 0.33, 0.35, 0.3, 0.32}};
  const std::vector<int> codes{11, 12, 13, 21, 22, 23, 31, 32, 33, 41, 42, 43};
  const std::vector<int> whites{0, 330, 331, 332, 7};
  uint32_t seed = 1500;
  size_t turn = 0;
  for (int width : DifferentialWidths()) {
    for (SelectionMode mode : {SelectionMode::None, SelectionMode::KeyPresent}) {
      const BitmapSpec bitmapSpec{.depth = 32, .width = width, .height = width % 2 ? 3 : -2};
      const int code = codes[turn % codes.size()], white = whites[turn % whites.size()];
      const std::array<double, 6>& space = primaries[turn % primaries.size()];
      ++turn;
      const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
      int scalar;
      {
        ScopedSimdLevel forced(SimdLevel::Scalar);
        scalar = ImgColorCorrection(twins.reference->handle(), code, white, space.data());
      }
      const std::vector<uint8_t> source = twins.optimised->bytes();
      for (SimdLevel level : SimdLevelsToTest()) {
        const std::string name =
            CaseName(bitmapSpec, mode, level) + " code " + std::to_string(code) + " white " + std::to_string(white);
        SetBlockBytes(twins.optimised->bitmap(), source);
        ScopedSimdLevel forced(level);
        ASSERT_EQ(ImgColorCorrection(twins.optimised->handle(), code, white, space.data()), scalar) << name;
        ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
      }
    }
  }
}

}  // namespace
}  // namespace ormi::test
