// Shared pieces of the tone family's tests: calls that check lock and allocation discipline, and
// pixel builders.
#pragma once

#include <cstdint>
#include <vector>

#include "support/test_image.h"

namespace ormi::test {

constexpr uint32_t Grey(uint32_t level) { return level * 0x010101u; }
constexpr uint32_t Rgb(uint32_t red, uint32_t green, uint32_t blue) { return red << 16 | green << 8 | blue; }

// Calls an export on an image and checks that every lock is back where it was and that the call
// allocated nothing (the tone exports work in place).
template <class Call>
int CallInPlace(const TestImage& image, Call call) {
  const LockState before = LockStateOf(image);
  const long allocations = Win32EmuAllocCalls();
  const int result = call(image.handle());
  EXPECT_EQ(LockStateOf(image), before);
  EXPECT_EQ(Win32EmuAllocCalls(), allocations);
  return result;
}

// Rows of `width` pixels filled from `values` in order, `height` rows.
inline std::vector<std::vector<uint32_t>> RowsOf(int width, int height, const std::vector<uint32_t>& values) {
  std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height));
  for (size_t i = 0; i < values.size(); ++i) rows[i / static_cast<size_t>(width)].push_back(values[i]);
  return rows;
}

// `count` copies of each value, in order.
inline std::vector<uint32_t> Repeated(std::initializer_list<std::pair<uint32_t, int>> runs) {
  std::vector<uint32_t> values;
  for (const auto& [value, count] : runs) values.insert(values.end(), static_cast<size_t>(count), value);
  return values;
}

}  // namespace ormi::test
