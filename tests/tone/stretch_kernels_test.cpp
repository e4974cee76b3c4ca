// The normalisation's stretch as arithmetic: the fixed-point form gives the integer table for
// every pair of levels, and every vector kernel gives the table's bytes under each rule.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "reference/differential.h"
#include "tone/stretch_kernels.h"

namespace ormi {
namespace {

uint8_t TableValue(int i, int lo, int hi) {
  if (i < lo) return 0;
  if (i > hi) return 254;
  return static_cast<uint8_t>((i - lo) * 254 / (hi - lo));
}

TEST(StretchTest, FixedPointFormGivesTheTableForEveryPairOfLevels) {
  for (int lo = 0; lo < 255; ++lo) {
    for (int hi = lo + 1; hi < 256; ++hi) {
      const Stretch stretch = StretchOf(lo, hi);
      ASSERT_EQ(stretch.span, hi - lo);
      for (int i = 0; i < 256; ++i) {
        const uint32_t d = static_cast<uint32_t>(std::min(std::max(i - lo, 0), hi - lo));
        const uint32_t value = stretch.whole * d + ((d * stretch.fraction) >> 16);
        ASSERT_EQ(value, TableValue(i, lo, hi)) << lo << ".." << hi << " at " << i;
      }
    }
  }
}

TEST(StretchTest, ScalarLevelHasNoKernel) { EXPECT_EQ(SelectStretch(SimdLevel::Scalar), nullptr); }

TEST(StretchTest, WorkedValues) {
  // 50..200 (the grey example): 125 becomes 127, the ends 0 and 254.
  const Stretch stretch = StretchOf(50, 200);
  EXPECT_EQ(stretch.whole, 1);
  EXPECT_EQ(stretch.fraction, ((104u << 16) + 149) / 150);
  EXPECT_EQ(TableValue(125, 50, 200), 127);
  // A span of 1: 254 for every level above lo.
  EXPECT_EQ(StretchOf(7, 8).whole, 254);
  EXPECT_EQ(StretchOf(7, 8).fraction, 0);
}

class StretchKernelTest : public ::testing::TestWithParam<SimdLevel> {};

TEST_P(StretchKernelTest, KernelGivesTheTableBytesUnderEachRule) {
  const StretchKernel kernel = SelectStretch(GetParam());
  ASSERT_NE(kernel, nullptr);
  std::mt19937 random(77);
  for (int lo = 0; lo < 255; lo += 7) {
    for (int hi = lo + 1; hi < 256; hi += 11) {
      std::array<uint8_t, 256> table{};
      for (int i = 0; i < 256; ++i) table[i] = TableValue(i, lo, hi);
      // 67 pixels: whole vectors and a tail; every level meets each channel somewhere.
      std::vector<uint32_t> pixels(67);
      for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint32_t>(random()) ^ uint32_t(k * 0x030201u);
      pixels[5] = pixels[9] = 0x00102030u;
      for (const Table32Rule& rule :
           {Table32Rule{false, 0, 0xFFFFFFFFu, 0xFF000000u}, Table32Rule{true, 0x00102030u, 0xFFFFFFFFu, 0u}}) {
        std::vector<uint32_t> expected = pixels, actual = pixels;
        for (uint32_t& p : expected) p = MapPixel32(p, table, rule);
        auto* bytes = reinterpret_cast<uint8_t*>(actual.data());
        const size_t done = kernel(bytes, actual.size(), StretchOf(lo, hi), rule);
        ASSERT_GE(done, actual.size() - 7);
        for (size_t k = done; k < actual.size(); ++k) actual[k] = MapPixel32(actual[k], table, rule);
        ASSERT_EQ(actual, expected) << lo << ".." << hi << " keyed " << rule.keyed;
      }
    }
  }
}

// The vector levels this machine runs (the scalar level has no stretch kernel).
std::vector<SimdLevel> VectorLevels() {
  std::vector<SimdLevel> levels = test::SimdLevelsToTest();
  std::erase(levels, SimdLevel::Scalar);
  return levels;
}

INSTANTIATE_TEST_SUITE_P(Levels, StretchKernelTest, ::testing::ValuesIn(VectorLevels()),
                         [](const auto& caseInfo) { return std::string(test::SimdLevelName(caseInfo.param)); });

}  // namespace
}  // namespace ormi
