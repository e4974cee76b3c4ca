// The any-angle scan fill: the vector spans against the scalar walk, which is the plain
// implementation. Identical canvases for many picture sizes (single rows and columns, spans shorter
// and longer than a vector), every cell size, many angles and all three ways of treating the source
// pixels, at every level the machine runs.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "geometry/rotated_polygon.h"
#include "reference/differential.h"

namespace ormi::test {
namespace {

std::vector<uint32_t> Fill(const RotatedPolygon& polygon, const ScanSource& source, int cellSize,
                           const ScanPixels& treatment, uint32_t garbage) {
  const size_t pixels =
      static_cast<size_t>((polygon.lastColumn + 1) * (polygon.lastRow + 1)) * static_cast<size_t>(cellSize * cellSize);
  std::vector<uint32_t> canvas(pixels, garbage);
  FillRotatedPolygon(polygon, source, reinterpret_cast<uint8_t*>(canvas.data()), cellSize, treatment);
  return canvas;
}

TEST(ScanFillDifferentialTest, VectorSpansMatchTheScalarWalk) {
  std::mt19937 random(77);
  const std::vector<std::pair<int, int>> sizes{{1, 1}, {2, 1}, {1, 5}, {7, 3}, {16, 16}, {33, 2}, {130, 9}, {301, 257}};
  const ScanPixels treatments[] = {{ScanTransparency::Opaque, 0},
                                   {ScanTransparency::AlphaKept, 0},
                                   {ScanTransparency::ColorKey, 0xFF000000u | 0x123456}};
  for (const auto& [width, height] : sizes) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    // A third of the pixels carry the key's colour (with alpha 0) so that keyed cells occur.
    for (uint32_t& pixel : pixels) pixel = random() % 3 == 0 ? 0x00123456u : static_cast<uint32_t>(random());
    const ScanSource source{reinterpret_cast<const uint8_t*>(pixels.data()), static_cast<uint32_t>(width),
                            static_cast<uint32_t>(height)};
    for (int degrees : {1, 13, 30, 45, 89, 91, 135, 181, 200, 269, 271, 315, 359, -30}) {
      for (int cellSize : {1, 2, 4, 8}) {
        const std::optional<RotatedPolygon> polygon = RotateCorners(width, height, degrees, cellSize);
        ASSERT_TRUE(polygon);
        for (const ScanPixels& treatment : treatments) {
          std::vector<uint32_t> expected;
          {
            const ScopedSimdLevel scalar(SimdLevel::Scalar);
            expected = Fill(*polygon, source, cellSize, treatment, 0xABABABABu);
          }
          for (SimdLevel level : SimdLevelsToTest()) {
            const ScopedSimdLevel forced(level);
            ASSERT_EQ(Fill(*polygon, source, cellSize, treatment, 0xCDCDCDCDu), expected)
                << width << "x" << height << " by " << degrees << ", cells of " << cellSize << ", treatment "
                << static_cast<int>(treatment.mode) << ", " << SimdLevelName(level);
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace ormi::test
