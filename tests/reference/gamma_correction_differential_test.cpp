// Gamma correction: the vector pass against the scalar rows, which are the plain implementation
// unchanged. Identical bytes for every profile code and both shared tables, with random tables,
// every size and every selection mode (the any-channel key included).
#include <gtest/gtest.h>

#include "correction/gamma_table_dir.h"
#include "reference/differential.h"

namespace ormi::test {
namespace {

class GammaCorrectionDifferentialTest : public MemoryCheckedTest {};

TEST_F(GammaCorrectionDifferentialTest, VectorPassMatchesScalar) {
  GammaTableDir tables;
  tables.write(MakeGammaFile([](int n, int x) { return (x * 2654435761u + static_cast<uint32_t>(n) * 40503u) >> 13; }));
  const std::vector<std::pair<int, int>> calls{{11, 30}, {23, 30}, {32, 30}, {43, 30}, {0, 20}, {0, 40}};
  uint32_t seed = 2100;
  size_t turn = 0;
  for (int width : DifferentialWidths()) {
    for (SelectionMode mode : AllSelectionModes()) {
      const BitmapSpec bitmapSpec{.depth = 32, .width = width, .height = width % 2 ? 3 : 2};
      const auto [code, gammaMode] = calls[turn++ % calls.size()];
      const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
      int scalar;
      {
        const ScopedSimdLevel forced(SimdLevel::Scalar);
        scalar = ImgGammaCorrection(twins.reference->handle(), code, gammaMode);
      }
      for (SimdLevel level : SimdLevelsToTest()) {
        const std::unique_ptr<TestImage> image =
            std::make_unique<TestImage>(BitmapSpec{.depth = 32, .width = width, .height = bitmapSpec.height});
        SetBlockBytes(image->bitmap(), BlockBytes(twins.optimised->bitmap()));
        image->edit([&](ImageRecord& r) {
          const ImageRecord source = twins.optimised->record();
          r.transparency = source.transparency;
          r.transparentColor = source.transparentColor;
        });
        const ScopedSimdLevel forced(level);
        const std::string name =
            CaseName(bitmapSpec, mode, level) + " code " + std::to_string(code) + " mode " + std::to_string(gammaMode);
        ASSERT_EQ(ImgGammaCorrection(image->handle(), code, gammaMode), scalar) << name;
        ASSERT_EQ(image->bytes(), twins.reference->bytes()) << name;
      }
    }
  }
}

}  // namespace
}  // namespace ormi::test
