// byte / 255.0 for every byte: the quotients the colour conversions take their components as,
// without a division per component.
#pragma once

#include <array>

namespace ormi {

inline constexpr std::array<double, 256> kUnitOfByte = [] {
  std::array<double, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = i / 255.0;
  return table;
}();

}  // namespace ormi
