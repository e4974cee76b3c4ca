// The RGB shift against its plain reference: identical bytes at every size, selection mode,
// vector level and a spread of shifts up to and beyond the full range.
#include <array>

#include <gtest/gtest.h>

#include "reference/differential.h"
#include "reference/reference.h"
#include "tone/color_shift.h"

namespace ormi::test {
namespace {

class ColorShiftDifferentialTest : public MemoryCheckedTest {};

// Locks a bitmap around a routine of its pixels.
template <class Pixels>
int OnLockedBitmap(HGLOBAL bitmap, Pixels pixels) {
  auto* data = static_cast<uint8_t*>(GlobalLock(bitmap));
  const int result = pixels(DibBlock{data, GlobalSize(bitmap)});
  GlobalUnlock(bitmap);
  return result;
}

TEST_F(ColorShiftDifferentialTest, RgbMatchesReference) {
  const std::vector<std::array<int16_t, 3>> shifts{
      {30, 0, -30}, {255, -255, 0}, {-1, 1, 0}, {1000, -1000, 256}, {0, 0, 0}, {-32768, 32767, 7}, {128, 127, -128}};
  uint32_t seed = 900;
  size_t turn = 0;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int width : DifferentialWidths()) {
      for (int height : {2, -3}) {
        for (int depth : {32, 24}) {
          const BitmapSpec bitmapSpec{.depth = depth, .width = width, .height = height};
          for (SelectionMode mode : AllSelectionModes()) {
            const auto [r, g, b] = shifts[turn++ % shifts.size()];
            const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
            const TransparencyArg transparency = TransparencyArgOf(twins.optimised->record());
            const std::string name = std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(b) + " " +
                                     CaseName(bitmapSpec, mode, level);
            const int optimised = OnLockedBitmap(twins.optimised->bitmap(), [&](DibBlock block) {
              return ImgAdjustColorRGBPixels(block, r, g, b, transparency);
            });
            const int expected = OnLockedBitmap(twins.reference->bitmap(), [&](DibBlock block) {
              return reference::AdjustColorRGBPixels(block, r, g, b, transparency);
            });
            ASSERT_EQ(optimised, expected) << name;
            ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace ormi::test
