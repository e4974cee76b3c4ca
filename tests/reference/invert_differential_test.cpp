// Invert against its plain reference: identical bytes at every depth, size, selection mode and
// vector level.
#include <gtest/gtest.h>

#include "reference/differential.h"
#include "reference/reference.h"

namespace ormi::test {
namespace {

void ReferenceInvert(const TestImage& image) {
  auto* record = static_cast<ImageRecord*>(GlobalLock(image.handle()));
  reference::InvertImage(*record);
  GlobalUnlock(image.handle());
}

class InvertDifferentialTest : public MemoryCheckedTest, public ::testing::WithParamInterface<int> {};

TEST_P(InvertDifferentialTest, MatchesReference) {
  const int depth = GetParam();
  uint32_t seed = 1;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int width : DifferentialWidths()) {
      // Short images, some stored top-down, keep the run quick while every row length is met.
      const int height = (width % 4 + 1) * (width % 3 == 0 ? -1 : 1);
      const BitmapSpec bitmapSpec{.depth = depth, .width = width, .height = height};
      for (SelectionMode mode : AllSelectionModes()) {
        const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
        ASSERT_EQ(ImgInvert(twins.optimised->handle()), 1) << CaseName(bitmapSpec, mode, level);
        ReferenceInvert(*twins.reference);
        ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << CaseName(bitmapSpec, mode, level);
        ASSERT_EQ(twins.optimised->headerCopyBytes(), twins.reference->headerCopyBytes())
            << CaseName(bitmapSpec, mode, level);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, InvertDifferentialTest, ::testing::Values(1, 4, 8, 16, 24, 32));

// The level the tests force is the level the kernels see, and a reset gives the detected one back.
TEST(SimdLevelTest, ForcingIsBoundedByTheProcessor) {
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    EXPECT_EQ(ActiveSimdLevel(), level);
  }
  EXPECT_EQ(ActiveSimdLevel(), DetectedSimdLevel());
  ForceSimdLevelForTesting(SimdLevel::Avx2);
  EXPECT_LE(static_cast<int>(ActiveSimdLevel()), static_cast<int>(DetectedSimdLevel()));
  ForceSimdLevelForTesting(std::nullopt);
}

}  // namespace
}  // namespace ormi::test
