// The halo against its plain reference: identical new bitmaps for every size, a spread of pass
// counts, and sources with opaque, transparent and mixed alpha.
#include <gtest/gtest.h>

#include "alpha/alpha_diffusion.h"
#include "reference/differential.h"
#include "reference/reference.h"

namespace ormi::test {
namespace {

class AlphaDiffusionDifferentialTest : public MemoryCheckedTest {};

TEST_F(AlphaDiffusionDifferentialTest, MatchesReference) {
  uint32_t seed = 1900;
  size_t turn = 0;
  for (int width : DifferentialWidths()) {
    if (width > 300) continue;  // the halo's passes make large sources slow to check
    for (int height : {1, 2, 5, 17}) {
      const BitmapSpec bitmapSpec{.depth = 32, .width = width, .height = height};
      const ImageTwins twins = MakeImageTwins(bitmapSpec, SelectionMode::None, ++seed);
      // Sources whose alpha is all opaque, all clear, or a random mix with a quarter clear.
      const int alphaKind = static_cast<int>(turn % 3);
      for (TestImage* image : {twins.optimised.get(), twins.reference.get()}) {
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            const uint32_t value = twins.reference->pixel(x, y);
            if (alphaKind == 0) image->setPixel(x, y, value | 0xFF000000u);
            if (alphaKind == 1) image->setPixel(x, y, value & 0x00FFFFFFu);
          }
        }
      }
      // Up to 19 passes: more than one group of passes that go down the picture together.
      const int passes = static_cast<int>(turn++ % 20);
      const ImageRecord record = twins.reference->record();
      TestImage expected(reference::PlainDiffImage(record, passes));
      ASSERT_NE(expected.handle(), nullptr);
      for (SimdLevel level : SimdLevelsToTest()) {
        const ScopedSimdLevel forced(level);
        TestImage optimised(ImgDiff(twins.optimised->handle(), passes));
        const std::string name = CaseName(bitmapSpec, SelectionMode::None, level) + " passes " +
                                 std::to_string(passes) + " alpha " + std::to_string(alphaKind);
        ASSERT_NE(optimised.handle(), nullptr) << name;
        ASSERT_EQ(optimised.bytes(), expected.bytes()) << name;
      }
    }
  }
}

}  // namespace
}  // namespace ormi::test
