// Adjustable contrast against its plain reference: identical bytes on small images (pixel by
// pixel) and on images large enough for the table of component pairs, both directions, every
// selection mode and vector level.
#include <gtest/gtest.h>

#include "reference/differential.h"
#include "reference/reference.h"
#include "tone/adj_contrast.h"

namespace ormi::test {
namespace {

class AdjContrastDifferentialTest : public MemoryCheckedTest {};

TEST_F(AdjContrastDifferentialTest, MatchesReference) {
  std::vector<std::pair<int, int>> sizes;
  for (int width : DifferentialWidths()) sizes.emplace_back(width, width % 3 == 0 ? -2 : 3);
  // Beyond twice the table's size: the tabulated path, top-down (nothing walked) included.
  for (auto size : {std::pair{300, 230}, {1031, 70}, {257, 257}, {300, -230}}) sizes.push_back(size);
  uint32_t seed = 1300;
  size_t turn = 0;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (auto [width, height] : sizes) {
      const BitmapSpec bitmapSpec{.depth = 32, .width = width, .height = height};
      for (SelectionMode mode : AllSelectionModes()) {
        const int contrastMode = static_cast<int>(turn++ % 3);  // 0 lowers, 1 and 2 raise
        const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
        const TransparencyArg transparency = TransparencyArgOf(twins.optimised->record());
        const std::string name = CaseName(bitmapSpec, mode, level) + " mode " + std::to_string(contrastMode);
        const int optimised = OnLockedBitmap(twins.optimised->bitmap(), [&](DibBlock block) {
          return ImgAdjContrastPixels(block, contrastMode, transparency);
        });
        const int expected = OnLockedBitmap(twins.reference->bitmap(), [&](DibBlock block) {
          return reference::AdjContrastPixels(block, contrastMode, transparency);
        });
        ASSERT_EQ(optimised, expected) << name;
        ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
      }
    }
  }
}

}  // namespace
}  // namespace ormi::test
