// Set alpha colour against its plain reference: identical target bytes at 24 and 32 bits, every
// size and vector level, masks with a quarter of their alpha bytes 0.
#include <gtest/gtest.h>

#include "alpha/set_alpha_color.h"
#include "reference/differential.h"
#include "reference/reference.h"

namespace ormi::test {
namespace {

class SetAlphaColorDifferentialTest : public MemoryCheckedTest {};

DibBlock LockedBlock(HGLOBAL bitmap) { return DibBlock{static_cast<uint8_t*>(GlobalLock(bitmap)), GlobalSize(bitmap)}; }

TEST_F(SetAlphaColorDifferentialTest, MatchesReference) {
  uint32_t seed = 1100;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int width : DifferentialWidths()) {
      for (int height : {1, 3, -2}) {
        for (int depth : {32, 24}) {
          const ImageTwins mask =
              MakeImageTwins({.depth = 32, .width = width, .height = height}, SelectionMode::None, ++seed);
          const ImageTwins target =
              MakeImageTwins({.depth = depth, .width = width, .height = height}, SelectionMode::None, ++seed);
          const uint32_t color = seed * 2654435761u;
          const int optimised = SetAlphaColorPixels(LockedBlock(mask.optimised->bitmap()),
                                                    LockedBlock(target.optimised->bitmap()), color);
          const int expected = reference::PlainSetAlphaColorPixels(LockedBlock(mask.reference->bitmap()),
                                                                   LockedBlock(target.reference->bitmap()), color);
          for (const ImageTwins* twins : {&mask, &target}) {
            GlobalUnlock(twins->optimised->bitmap());
            GlobalUnlock(twins->reference->bitmap());
          }
          const std::string name =
              CaseName({.depth = depth, .width = width, .height = height}, SelectionMode::None, level);
          ASSERT_EQ(optimised, expected) << name;
          ASSERT_EQ(target.optimised->bytes(), target.reference->bytes()) << name;
        }
      }
    }
  }
}

}  // namespace
}  // namespace ormi::test
