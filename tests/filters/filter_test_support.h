// Builders and checks shared by the filter tests.
#pragma once

#include <cstdint>
#include <vector>

#include "support/test_image.h"

namespace ormi::test {

// A grey pixel: v in every channel, with the given alpha byte.
constexpr uint32_t Grey(uint32_t v, uint32_t alpha = 0) { return alpha << 24 | v * 0x010101u; }
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b, uint32_t alpha = 0) {
  return alpha << 24 | r << 16 | g << 8 | b;
}

// Rows of a width x height image filled with one value.
inline std::vector<std::vector<uint32_t>> FlatRows(int width, int height, uint32_t value) {
  return std::vector<std::vector<uint32_t>>(static_cast<size_t>(height),
                                            std::vector<uint32_t>(static_cast<size_t>(width), value));
}

// A 32-bit bottom-up image of the given rows (stored order, row 0 first).
inline BitmapSpec Spec32(int width, int height) { return {.depth = 32, .width = width, .height = height}; }

// Base fixture: calls an export and checks that the record, bitmap and header copy are locked
// exactly as before (MemoryCheckedTest checks that no working block is left live).
class FilterTest : public MemoryCheckedTest {
 protected:
  template <class Call>
  int Checked(const TestImage& image, Call call) {
    const LockState before = LockStateOf(image);
    const int result = call(image.handle());
    EXPECT_EQ(LockStateOf(image), before);
    return result;
  }
};

}  // namespace ormi::test
