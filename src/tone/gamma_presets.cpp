// Levels of the preset gamma curves: each step of 1 between two presets moves two tenths of the
// way from the lower curve to the upper one, rounded half up in integers.
#include "tone/gamma_presets.h"

namespace ormi {

int GammaPresetLevel(int level, int value) {
  if (level >= 30) return GammaPresetCurves[3][static_cast<uint8_t>(value)];
  if (level <= 10) return value;
  const int q = level / 5;  // 2 to 5: the preset at or below the level, counted in halves
  const int s = level % 5;
  const int upper = GammaPresetCurves[static_cast<size_t>(q - 2)][static_cast<uint8_t>(value)];
  const int lower = q == 2 ? value : GammaPresetCurves[static_cast<size_t>(q - 3)][static_cast<uint8_t>(value)];
  return (2 * s * upper + (10 - 2 * s) * lower + 5) / 10;
}

void BuildGammaPresetTable(ComponentTable& table, int level) {
  for (int i = 255; i >= 0; --i) table[static_cast<size_t>(i)] = static_cast<uint8_t>(GammaPresetLevel(level, i));
}

}  // namespace ormi
