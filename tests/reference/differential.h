// What the differential tests share: every vector level this machine runs, the image sizes and
// selection modes to try, and pairs of images with identical random bytes for the optimised
// routine and its reference.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <ormi/win32.h>

#include "image/dib.h"
#include "simd/simd_level.h"
#include "support/test_image.h"

namespace ormi::test {

// Scalar up to the detected level.
std::vector<SimdLevel> SimdLevelsToTest();
const char* SimdLevelName(SimdLevel level);

// Forces a level for the life of the object.
class ScopedSimdLevel {
 public:
  explicit ScopedSimdLevel(SimdLevel level) { ForceSimdLevelForTesting(level); }
  ~ScopedSimdLevel() { ForceSimdLevelForTesting(std::nullopt); }
  ScopedSimdLevel(const ScopedSimdLevel&) = delete;
  ScopedSimdLevel& operator=(const ScopedSimdLevel&) = delete;
};

// Widths 1 to 67 and a few large ones, odd and even.
std::vector<int> DifferentialWidths();

enum class SelectionMode {
  None,          // no transparency
  KeyPresent,    // a colour key that several pixels carry
  KeyAbsent,     // a colour key that no pixel is likely to carry
  AlphaCarries,  // bit 31 set: the alpha bytes carry the transparency
};
std::vector<SelectionMode> AllSelectionModes();
const char* SelectionModeName(SelectionMode mode);

// Two images with the same random pixels and colour table (opaque-ish 32-bit pixels with a spread of
// alpha values), the same selection applied to both.
struct ImageTwins {
  std::unique_ptr<TestImage> optimised;
  std::unique_ptr<TestImage> reference;
};
ImageTwins MakeImageTwins(const BitmapSpec& bitmapSpec, SelectionMode mode, uint32_t seed);

// A readable name for a failing case.
std::string CaseName(const BitmapSpec& bitmapSpec, SelectionMode mode, SimdLevel level);

// Locks a bitmap around a routine of its locked pixels and gives back the routine's result.
template <class Pixels>
int OnLockedBitmap(HGLOBAL bitmap, Pixels pixels) {
  auto* data = static_cast<uint8_t*>(GlobalLock(bitmap));
  const int result = pixels(DibBlock{data, GlobalSize(bitmap)});
  GlobalUnlock(bitmap);
  return result;
}

}  // namespace ormi::test
