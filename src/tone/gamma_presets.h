// Preset gamma curves for the gammas 1.5, 2.0, 2.5 and 3.0, and the levels that blend them.
#pragma once

#include <array>
#include <cstdint>

#include "tone/pixel_walk.h"

namespace ormi {

namespace detail {

constexpr uint64_t Power(uint64_t base, int exponent) {
  uint64_t result = 1;
  for (int i = 0; i < exponent; ++i) result *= base;
  return result;
}

// Entry i of the curve for the gamma p/2 is 255 (i/255)^(2/p) rounded to the nearest integer, found
// exactly in integers: it counts the v in 0..254 with v + 1/2 <= 255 (i/255)^(2/p), that is with
// (2v + 1)^p <= i^2 2^p 255^(p-2). The largest product, for p = 6, stays below 2^55.
constexpr ComponentTable PresetCurve(int p) {
  ComponentTable curve{};
  uint64_t entry = 0;
  for (size_t i = 0; i < 256; ++i) {
    const uint64_t bound = uint64_t{i} * i * Power(2, p) * Power(255, p - 2);
    while (entry < 255 && Power(2 * entry + 1, p) <= bound) ++entry;
    curve[i] = static_cast<uint8_t>(entry);
  }
  return curve;
}

}  // namespace detail

// The curves T15, T20, T25 and T30, in that order.
inline constexpr std::array<ComponentTable, 4> GammaPresetCurves = {detail::PresetCurve(3), detail::PresetCurve(4),
                                                                    detail::PresetCurve(5), detail::PresetCurve(6)};

// The curve value of an input 0..255 at a level (the gamma times ten): the identity at 10 and below,
// T30 at 30 and above, and between them (a upper + b lower + 5) div 10 with a = 2 (level mod 5),
// b = 10 - a, on the two curves around the level.
int GammaPresetLevel(int level, int value);

// The 256 values of GammaPresetLevel at one level.
void BuildGammaPresetTable(ComponentTable& table, int level);

}  // namespace ormi
