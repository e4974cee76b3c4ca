// The text fills against their plain loops: identical pixels at every vector level for many sizes,
// random masks, tiles of many sizes and ramps at many angles, including steep and wrapping ones.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include <ormi/effects.h>

#include "reference/differential.h"
#include "reference/reference.h"

namespace ormi::test {
namespace {

// A 1-bit mask of the given size: mostly open or mostly masked rows, and random ones.
HGLOBAL RandomMask(int width, int height, std::mt19937& random) {
  HGLOBAL mask = MakeBitmap({.depth = 1, .width = width, .height = height});
  std::vector<uint8_t> bytes = BlockBytes(mask);
  for (size_t i = 48; i < bytes.size(); ++i) {
    const uint32_t kind = random() % 4;
    bytes[i] = kind == 0 ? 0 : kind == 1 ? 0xFF : static_cast<uint8_t>(random());
  }
  SetBlockBytes(mask, bytes);
  return mask;
}

HGLOBAL RandomTile(int width, int height, std::mt19937& random) {
  HGLOBAL tile = MakeBitmap({.depth = 32, .width = width, .height = height});
  std::vector<uint8_t> bytes = BlockBytes(tile);
  for (size_t i = 40; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random());
  SetBlockBytes(tile, bytes);
  return tile;
}

// The pixels of a text fill's result, which is then freed.
std::vector<uint8_t> PixelsOf(HGLOBAL result) {
  EXPECT_NE(result, nullptr);
  if (result == nullptr) return {};
  std::vector<uint8_t> bytes = BlockBytes(result);
  GlobalFree(result);
  return {bytes.begin() + 40, bytes.end()};
}

class TextFillDifferentialTest : public MemoryCheckedTest {};

TEST_F(TextFillDifferentialTest, GradientMatchesThePlainLoop) {
  std::mt19937 random(5);
  const std::pair<uint32_t, uint32_t> colours[] = {{0x000000, 0xFFFFFF}, {0x123456, 0xFEDCBA}, {0xFF00FF, 0x00FF00}};
  for (int width : DifferentialWidths()) {
    for (int height : {1, 2, 5}) {
      HGLOBAL mask = RandomMask(width, height, random);
      const RECT rect{0, 0, width - 1, height - 1};
      for (int degrees : {0, 30, 90, 135, 200, 271, -45, 3600}) {
        const auto [from, to] = colours[static_cast<size_t>(degrees & 0xFF) % 3];
        const std::vector<uint8_t> expected = reference::GradientForTextPixels(width, height, from, to, degrees, mask);
        for (SimdLevel level : SimdLevelsToTest()) {
          const ScopedSimdLevel forced(level);
          ASSERT_EQ(PixelsOf(TavoGradientForText(nullptr, &rect, static_cast<int>(from), static_cast<int>(to), degrees,
                                                 mask)),
                    expected)
              << width << "x" << height << " at " << degrees << ", " << SimdLevelName(level);
        }
      }
      GlobalFree(mask);
    }
  }
}

TEST_F(TextFillDifferentialTest, TileMatchesThePlainLoop) {
  std::mt19937 random(6);
  for (int width : DifferentialWidths()) {
    for (int height : {1, 3, 6}) {
      HGLOBAL mask = RandomMask(width, height, random);
      const RECT rect{0, 0, width - 1, height - 1};
      for (const auto& [tileWidth, tileHeight] : {std::pair{1, 1}, {3, 2}, {7, 5}, {16, 16}, {width + 5, 1}}) {
        HGLOBAL tile = RandomTile(tileWidth, tileHeight, random);
        const std::vector<uint8_t> expected = reference::TileForTextPixels(width, height, mask, tile);
        for (SimdLevel level : SimdLevelsToTest()) {
          const ScopedSimdLevel forced(level);
          ASSERT_EQ(PixelsOf(TavoTileForText(nullptr, &rect, mask, tile)), expected)
              << width << "x" << height << " tile " << tileWidth << "x" << tileHeight << ", " << SimdLevelName(level);
        }
        GlobalFree(tile);
      }
      GlobalFree(mask);
    }
  }
}

}  // namespace
}  // namespace ormi::test
