// Mirroring against its plain reference: identical bytes at every depth, size and vector level,
// for rows, columns and both.
#include <gtest/gtest.h>

#include "reference/differential.h"
#include "reference/reference.h"

namespace ormi::test {
namespace {

class MirrorDifferentialTest : public MemoryCheckedTest, public ::testing::WithParamInterface<int> {};

TEST_P(MirrorDifferentialTest, MatchesReference) {
  const int depth = GetParam();
  uint32_t seed = 300;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int width : DifferentialWidths()) {
      for (int height : {1, 2, 3, 6, -5}) {
        const BitmapSpec bitmapSpec{.depth = depth, .width = width, .height = height};
        for (auto [rows, columns] : {std::pair{1, 0}, {0, 1}, {1, 1}}) {
          // The selection does not change a mirror; both images carry a key all the same.
          const ImageTwins twins = MakeImageTwins(bitmapSpec, SelectionMode::KeyPresent, ++seed);
          const std::string name = CaseName(bitmapSpec, SelectionMode::KeyPresent, level) + " rows " +
                                   std::to_string(rows) + " columns " + std::to_string(columns);
          ASSERT_EQ(ImgMirror(twins.optimised->handle(), rows, columns),
                    reference::MirrorImage(twins.reference->handle(), rows, columns))
              << name;
          ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, MirrorDifferentialTest, ::testing::Values(1, 4, 8, 16, 24, 32));

// The row buffer is still asked for when both ways go in one pass, and its failure still refuses.
class MirrorRowBufferTest : public MemoryCheckedTest {};

TEST_F(MirrorRowBufferTest, BothWaysRefusedWithoutTheRowBuffer) {
  TestImage image(BitmapSpec{.depth = 32, .width = 5, .height = 4});
  image.setPixel(0, 0, 0x11223344u);
  const std::vector<uint8_t> before = image.bytes();
  Win32EmuFailNextAlloc(1);
  EXPECT_EQ(ImgMirror(image.handle(), 1, 1), 0);
  Win32EmuFailNextAlloc(0);
  EXPECT_EQ(image.bytes(), before);
}

}  // namespace
}  // namespace ormi::test
