// Equalisation and normalisation against their plain references: identical results and bytes at
// every size (the refused small and top-down ones included), selection mode and vector level.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "reference/differential.h"
#include "reference/reference.h"
#include "tone/histogram.h"

namespace ormi::test {
namespace {

struct HistogramCase {
  const char* name;
  int (*optimised)(HGLOBAL, const TransparencyArg&);
  int (*reference)(HGLOBAL, const std::optional<uint32_t>&);
};

class HistogramDifferentialTest : public MemoryCheckedTest, public ::testing::WithParamInterface<HistogramCase> {};

TEST_P(HistogramDifferentialTest, MatchesReference) {
  const HistogramCase& pass = GetParam();
  uint32_t seed = 700;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int width : DifferentialWidths()) {
      for (int height : {1, 5, 9, -7}) {
        for (int depth : {32, 24}) {
          const BitmapSpec bitmapSpec{.depth = depth, .width = width, .height = height};
          for (SelectionMode mode : AllSelectionModes()) {
            const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
            const TransparencyArg transparency = TransparencyArgOf(twins.optimised->record());
            const std::string name = std::string(pass.name) + " " + CaseName(bitmapSpec, mode, level);
            ASSERT_EQ(pass.optimised(twins.optimised->bitmap(), transparency),
                      pass.reference(twins.reference->bitmap(), transparency))
                << name;
            ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
          }
        }
      }
    }
  }
}

// Flat and two-level images reach the table builders' corner cases.
TEST_P(HistogramDifferentialTest, FewLevels) {
  const HistogramCase& pass = GetParam();
  for (uint32_t second : {0xFF102030u, 0xFF112131u, 0xFFFFFFFFu, 0x00000000u}) {
    const BitmapSpec bitmapSpec{.depth = 32, .width = 40, .height = 30};
    TestImage optimised(bitmapSpec), expected(bitmapSpec);
    for (TestImage* image : {&optimised, &expected}) {
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) image->setPixel(x, y, (x * 7 + y) % 13 == 0 ? second : 0xFF102030u);
    }
    ASSERT_EQ(pass.optimised(optimised.bitmap(), std::nullopt), pass.reference(expected.bitmap(), std::nullopt));
    ASSERT_EQ(optimised.bytes(), expected.bytes());
  }
}

// Images whose levels fill a narrow band, so that the stretch meets many spans and offsets.
TEST_P(HistogramDifferentialTest, NarrowBands) {
  const HistogramCase& pass = GetParam();
  uint32_t seed = 1900;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int low = 0; low < 256; low += 23) {
      for (int band : {1, 2, 5, 40, 120}) {
        const BitmapSpec bitmapSpec{.depth = 32, .width = 37, .height = 11};
        for (SelectionMode mode : {SelectionMode::None, SelectionMode::KeyPresent}) {
          ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
          std::mt19937 random(seed);
          auto channel = [&] {
            return static_cast<uint32_t>(
                std::min(low + static_cast<int>(random() % static_cast<uint32_t>(band + 1)), 255));
          };
          // Under a key, every seventh pixel carries it (alpha 0).
          const uint32_t keyPixel = channel() << 16 | channel() << 8 | channel();
          for (int y = 0; y < bitmapSpec.height; ++y) {
            for (int x = 0; x < bitmapSpec.width; ++x) {
              const uint32_t p = twins.optimised->pixel(x, y);
              const bool keyed = mode == SelectionMode::KeyPresent && (x + y * bitmapSpec.width) % 7 == 0;
              const uint32_t value =
                  keyed ? keyPixel : (p & 0xFF000000u) | channel() << 16 | channel() << 8 | channel();
              twins.optimised->setPixel(x, y, value);
              twins.reference->setPixel(x, y, value);
            }
          }
          if (mode == SelectionMode::KeyPresent) {
            const uint32_t colorref = (keyPixel >> 16) | (keyPixel & 0xFF00) | (keyPixel & 0xFF) << 16;
            twins.optimised->setColorKey(colorref);
            twins.reference->setColorKey(colorref);
          }
          const TransparencyArg transparency = TransparencyArgOf(twins.optimised->record());
          const std::string name = std::string(pass.name) + " band " + std::to_string(low) + "+" +
                                   std::to_string(band) + " " + CaseName(bitmapSpec, mode, level);
          ASSERT_EQ(pass.optimised(twins.optimised->bitmap(), transparency),
                    pass.reference(twins.reference->bitmap(), transparency))
              << name;
          ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Passes, HistogramDifferentialTest,
                         ::testing::Values(HistogramCase{"equalise", ImgEqualiseDib, reference::EqualiseBitmap},
                                           HistogramCase{"normalise", ImgNormaliseDib, reference::NormaliseBitmap}),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

}  // namespace
}  // namespace ormi::test
