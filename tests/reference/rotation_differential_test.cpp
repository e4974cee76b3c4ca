// The quarter-turn movers against their plain references: identical destination bytes, padding
// included, at 8 to 32 bits, every turn and many sizes.
#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "reference/differential.h"
#include "reference/reference.h"

namespace ormi::test {
namespace {

using Mover = void (*)(const TurnFrame&);

struct MoverCase {
  size_t bytes;
  Mover mover;
};

class QuarterTurnDifferentialTest : public ::testing::TestWithParam<MoverCase> {};

TEST_P(QuarterTurnDifferentialTest, MatchesReference) {
  const auto [bytes, mover] = GetParam();
  std::mt19937 random(static_cast<uint32_t>(bytes));
  std::vector<int> heights{1, 2, 7, 16, 17, 33, 64, 70};
  for (int width : DifferentialWidths()) {
    for (int height : heights) {
      const auto w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
      const size_t sourceStride = (w * bytes + 3) / 4 * 4;
      std::vector<uint8_t> source(sourceStride * h);
      for (uint8_t& byte : source) byte = static_cast<uint8_t>(random());
      for (int degrees : {90, 180, 270}) {
        const bool sideways = degrees != 180;
        const size_t destinationRows = sideways ? w : h;
        const size_t destinationStride = ((sideways ? h : w) * bytes + 3) / 4 * 4;
        std::vector<uint8_t> optimised(destinationStride * destinationRows), expected(optimised.size());
        TurnFrame frame{source.data(), sourceStride, expected.data(), destinationStride, w, h, degrees};
        reference::QuarterTurnWholePixels(frame, bytes);
        frame.destination = optimised.data();
        for (SimdLevel level : SimdLevelsToTest()) {
          const ScopedSimdLevel forced(level);
          std::fill(optimised.begin(), optimised.end(), uint8_t{0});
          mover(frame);
          ASSERT_EQ(optimised, expected) << width << "x" << height << " at " << 8 * bytes << " bits, " << degrees
                                         << ", " << SimdLevelName(level);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, QuarterTurnDifferentialTest,
                         ::testing::Values(MoverCase{1, QuarterTurn8Bit}, MoverCase{2, QuarterTurn16Bit},
                                           MoverCase{3, QuarterTurn24Bit}, MoverCase{4, QuarterTurn32Bit}));

}  // namespace
}  // namespace ormi::test
