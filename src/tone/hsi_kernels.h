// The pixel pass that the HSI shift and the adjustable contrast share on large images. Saturation
// and intensity, and so the levels m1 and m2 that HsiToRgb spreads between, depend only on a
// pixel's largest and smallest component: a table of the 32896 pairs holds the levels after the
// effect's change, built once per call in working memory, and only the hue is computed per pixel.
// Under a colour key, pixels equal to it stay and changed pixels get alpha 0; without one every
// pixel keeps its alpha.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/global_memory.h"
#include "image/transparency.h"
#include "simd/simd_level.h"
#include "tone/hsi.h"

namespace ormi {

constexpr size_t kHsiPairs = 256 * 257 / 2;
constexpr uint32_t HsiPairIndex(uint32_t largest, uint32_t smallest) { return largest * (largest + 1) / 2 + smallest; }

// The table pays for itself only on runs with more pixels than it has entries.
constexpr size_t kHsiTableWorthPixels = 2 * kHsiPairs;

// Fills the table of 2 kHsiPairs doubles: m1, m2 of every pair, interleaved at 2 HsiPairIndex;
// `change(saturation, intensity)` moves the pair's own values in place first.
template <class Change>
void FillHsiLevelTable(double* table, Change&& change) {
  for (uint32_t largest = 0; largest < 256; ++largest) {
    for (uint32_t smallest = 0; smallest <= largest; ++smallest) {
      double hue = 0, saturation = 0, intensity = 0;
      RgbToHsi(static_cast<uint8_t>(largest), static_cast<uint8_t>(smallest), static_cast<uint8_t>(smallest), hue,
               saturation, intensity);
      change(saturation, intensity);
      const HsiLevels levels = HsiLevelsOf(saturation, intensity);
      table[2 * HsiPairIndex(largest, smallest)] = levels.m1;
      table[2 * HsiPairIndex(largest, smallest) + 1] = levels.m2;
    }
  }
}

// The hue plus a shift: wrapped once by 1 either way; what is still off the circle then (shifts
// beyond a turn, not a number) goes fully round by WrapHue.
inline double ShiftedHue(double hue, double shift) {
  hue = hue + shift;
  if (hue > 1) {
    hue -= 1;
  } else if (hue < 0) {
    hue += 1;
  }
  return hue >= 0 && hue <= 1 ? hue : WrapHue(hue);
}

struct HsiPass {
  const double* levels;  // the table above
  double hueShift;       // 0 keeps every hue
  bool keyed;
  uint32_t key;
};

using HsiPassKernel = void (*)(uint8_t* pixels, size_t count, const HsiPass& pass);

void HsiPassScalar(uint8_t* pixels, size_t count, const HsiPass& pass);
// SSE2 has no floor: hue shifts beyond one turn (or not a number) take the scalar pass.
void HsiPassSse2(uint8_t* pixels, size_t count, const HsiPass& pass);
void HsiPassAvx2(uint8_t* pixels, size_t count, const HsiPass& pass);
void HsiPassAvx512(uint8_t* pixels, size_t count, const HsiPass& pass);

// The kernel of a level; the scalar pass also ends the vector ones.
HsiPassKernel SelectHsiPass(SimdLevel level);

// The pass over a run of 32-bit pixels with the table in working memory, at the active level.
// False, with nothing changed, when the memory cannot be had: the caller then converts pixel by
// pixel, with the same results.
template <class Change>
bool RunTabulatedHsiPass(uint8_t* pixels, size_t count, double hueShift, const TransparencyArg& transparency,
                         Change&& change) {
  WorkingBlock block(kWorkingMemoryFlags, 2 * kHsiPairs * sizeof(double));
  if (!block) return false;
  double* levels = reinterpret_cast<double*>(block.data());
  FillHsiLevelTable(levels, change);
  const PixelSelection selection = SelectPixels(transparency, /*offersAlphaKey=*/false);
  SelectHsiPass(ActiveSimdLevel())(pixels, count,
                                   HsiPass{levels, hueShift, selection.mode == Selection::ColorKey, selection.key});
  return true;
}

}  // namespace ormi
