// Enhance and edge against their plain references: identical bytes at every width, small heights
// from the minimum up and a few large ones, every selection mode and vector level; edge over a
// spread of amounts, those its vector rows take and those they leave to the scalar kernel.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "filters/edge_kernels.h"
#include "filters/emboss_edge.h"
#include "filters/filter_math.h"
#include "reference/differential.h"
#include "reference/reference.h"

namespace ormi::test {
namespace {

// Sizes: every differential width at a small height (the minimum side included), then a few
// heights, odd and even, at a few widths.
std::vector<std::pair<int, int>> FilterSizes(int minSide) {
  std::vector<std::pair<int, int>> sizes;
  for (int width : DifferentialWidths()) sizes.emplace_back(width, minSide + width % 4);
  for (int width : {minSide, 9, 16, 67}) {
    for (int height : {minSide - 1, minSide, 11, 40}) sizes.emplace_back(width, height);
  }
  return sizes;
}

// Squeezes every channel of both twins into 0..31 or 224..255, so that many window pixels lie
// within the enhance distance of their centre, and the key, when one is present, is met again.
void SqueezeChannels(ImageTwins& twins, const BitmapSpec& bitmapSpec, SelectionMode mode) {
  auto squeeze = [](uint32_t c) { return (c & 31) | ((c & 0x80) ? 224u : 0u); };
  for (TestImage* image : {twins.optimised.get(), twins.reference.get()}) {
    for (int y = 0; y < bitmapSpec.height; ++y) {
      for (int x = 0; x < bitmapSpec.width; ++x) {
        const uint32_t p = image->pixel(x, y);
        image->setPixel(
            x, y, (p & 0xFF000000u) | squeeze(p >> 16 & 0xFF) << 16 | squeeze(p >> 8 & 0xFF) << 8 | squeeze(p & 0xFF));
      }
    }
    if (mode != SelectionMode::KeyPresent) continue;
    const uint32_t first = image->pixel(0, 0);
    for (int y = 0; y < bitmapSpec.height; ++y) {
      for (int x = 0; x < bitmapSpec.width; ++x) {
        if (image->pixel(x, y) == first) image->setPixel(x, y, first & 0xFFFFFF);
      }
    }
    image->setColorKey((first >> 16 & 0xFF) | (first & 0xFF00) | (first & 0xFF) << 16);
  }
}

class EnhanceDifferentialTest : public MemoryCheckedTest, public ::testing::WithParamInterface<bool> {};

TEST_P(EnhanceDifferentialTest, MatchesReference) {
  const bool squeezed = GetParam();
  uint32_t seed = squeezed ? 9100 : 8100;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (const auto& [width, height] : FilterSizes(5)) {
      const BitmapSpec bitmapSpec{.depth = 32, .width = width, .height = height};
      for (SelectionMode mode : AllSelectionModes()) {
        ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
        if (squeezed) SqueezeChannels(twins, bitmapSpec, mode);
        const std::string name = CaseName(bitmapSpec, mode, level);
        ASSERT_EQ(ImgEnhance(twins.optimised->handle()), 1) << name;
        reference::EnhanceImage(twins.reference->handle());
        ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Images, EnhanceDifferentialTest, ::testing::Values(false, true),
                         [](const auto& caseInfo) { return caseInfo.param ? "squeezed" : "random"; });

// Amounts with a fixed-point form (multiples of 0.05 in the gain, negative gains, zero gain) and
// amounts without one (gains that are not short fractions, sums past 16 bits, NaN, wrapping ones).
const std::vector<double> kEdgeAmounts{
    50,    0,     100,  44,    130,    150,   -20,  87.65, 33.3, 12.345,
    99.99, -1000, 1000, 1e300, -8.6e9, 8.6e9, -1e5, 117.5, 1e-9, std::numeric_limits<double>::quiet_NaN()};

class EdgeDifferentialTest : public MemoryCheckedTest {};

TEST_F(EdgeDifferentialTest, KernelPassMatchesReference) {
  uint32_t seed = 7100;
  size_t turn = 0;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (const auto& [width, height] : FilterSizes(3)) {
      const BitmapSpec bitmapSpec{.depth = 32, .width = width, .height = height};
      for (SelectionMode mode : AllSelectionModes()) {
        const double amount = kEdgeAmounts[turn++ % kEdgeAmounts.size()];
        const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
        const TransparencyArg transparency = TransparencyArgOf(twins.optimised->record());
        HGLOBAL bitmap = twins.optimised->bitmap();
        const int optimised =
            EdgeWindows(DibBlock{static_cast<uint8_t*>(GlobalLock(bitmap)), GlobalSize(bitmap)}, amount, transparency);
        GlobalUnlock(bitmap);
        const std::string name = std::to_string(amount) + " " + CaseName(bitmapSpec, mode, level);
        ASSERT_EQ(optimised, reference::EdgeWindowsImage(twins.reference->handle(), amount)) << name;
        ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
      }
    }
  }
}

// The export: the kernel pass, then the normalisation of the whole bitmap when the pass ran.
TEST_F(EdgeDifferentialTest, ExportMatchesReferencePassAndNormalisation) {
  uint32_t seed = 7600;
  size_t turn = 3;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int width : {3, 4, 17, 67, 255}) {
      const BitmapSpec bitmapSpec{.depth = 32, .width = width, .height = 3 + width % 5};
      for (SelectionMode mode : AllSelectionModes()) {
        const double amount = kEdgeAmounts[turn++ % kEdgeAmounts.size()];
        const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
        const std::string name = std::to_string(amount) + " " + CaseName(bitmapSpec, mode, level);
        ASSERT_EQ(ImgEdge(twins.optimised->handle(), amount), 1) << name;
        if (reference::EdgeWindowsImage(twins.reference->handle(), amount)) {
          reference::NormaliseBitmap(twins.reference->bitmap(), TransparencyArgOf(twins.reference->record()));
        }
        ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
      }
    }
  }
}

// The fixed-point form, where there is one, gives every level of both tables; the amounts the
// benchmark and the host use by default have one.
TEST(EdgeFixedPointTest, FormReproducesBothTables) {
  int withForm = 0, withoutForm = 0;
  for (double amount : kEdgeAmounts) {
    const double gain = (100.0 - amount) / 20.0 + 1.5;
    std::array<int32_t, 256> centre{}, diagonal{};
    for (int v = 0; v < 256; ++v) {
      centre[v] = TruncToInt32(v * gain);
      diagonal[v] = TruncToInt32((-gain / 4.0) * v);
    }
    const std::optional<EdgeFixedPoint> form = EdgeFixedPointOf(centre, diagonal);
    if (!form) {
      ++withoutForm;
      continue;
    }
    ++withForm;
    for (int v = 0; v < 256; ++v) {
      for (const auto& [product, table] : {std::pair{form->centre, &centre}, std::pair{form->diagonal, &diagonal}}) {
        const int32_t magnitude = product.whole * v + ((v * product.fraction) >> 16);
        ASSERT_EQ(product.negative ? -magnitude : magnitude, (*table)[v]) << amount << " level " << v;
      }
    }
    ASSERT_LE(std::abs(centre[255]) + 4 * std::abs(diagonal[255]), 32767) << amount;
  }
  EXPECT_GE(withForm, 8);
  EXPECT_GE(withoutForm, 5);
}

TEST(EdgeFixedPointTest, KnownForms) {
  auto formOf = [](double amount) {
    const double gain = (100.0 - amount) / 20.0 + 1.5;
    std::array<int32_t, 256> centre{}, diagonal{};
    for (int v = 0; v < 256; ++v) {
      centre[v] = TruncToInt32(v * gain);
      diagonal[v] = TruncToInt32((-gain / 4.0) * v);
    }
    return EdgeFixedPointOf(centre, diagonal);
  };
  // Amount 50: k = 4, so 4 v and -v.
  const std::optional<EdgeFixedPoint> fifty = formOf(50);
  ASSERT_TRUE(fifty);
  EXPECT_FALSE(fifty->centre.negative);
  EXPECT_EQ(fifty->centre.whole, 4);
  EXPECT_EQ(fifty->centre.fraction, 0);
  EXPECT_TRUE(fifty->diagonal.negative);
  EXPECT_EQ(fifty->diagonal.whole, 1);
  EXPECT_EQ(fifty->diagonal.fraction, 0);
  // Amount 0: k = 6.5 and -1.625; amount 150: k = -1, so -v and trunc(v / 4).
  const std::optional<EdgeFixedPoint> zero = formOf(0);
  ASSERT_TRUE(zero);
  EXPECT_EQ(zero->centre.whole, 6);
  EXPECT_EQ(zero->diagonal.whole, 1);
  const std::optional<EdgeFixedPoint> reversed = formOf(150);
  ASSERT_TRUE(reversed);
  EXPECT_TRUE(reversed->centre.negative);
  EXPECT_FALSE(reversed->diagonal.negative);
  // 1e300 saturates every product to INT32_MIN; -1e5 gives k = 5006.5, far past 16 bits; NaN too.
  EXPECT_FALSE(formOf(1e300));
  EXPECT_FALSE(formOf(-1e5));
  EXPECT_FALSE(formOf(std::numeric_limits<double>::quiet_NaN()));
}

// Each vector row against the sum its fixed-point form defines, for forms with and without
// fraction parts and of either sign, so that every variant of the rows runs.
TEST(EdgeRowTest, EveryFormGivesItsSum) {
  const std::vector<EdgeFixedPoint> forms{
      {{false, 4, 0}, {true, 1, 0}},         {{false, 3, 40000}, {true, 0, 0}}, {{true, 2, 0}, {false, 0, 30000}},
      {{false, 6, 32768}, {true, 1, 40960}}, {{false, 0, 0}, {false, 0, 0}},    {{false, 100, 65535}, {true, 6, 5}},
      {{true, 0, 65535}, {false, 0, 65535}},
  };
  auto table = [](const EdgeProduct& p, uint32_t v) {
    const int32_t magnitude = static_cast<int32_t>(p.whole * v + ((v * p.fraction) >> 16));
    return p.negative ? -magnitude : magnitude;
  };
  std::mt19937 random(31);
  for (SimdLevel level : SimdLevelsToTest()) {
    const EdgeRowFunction row = SelectEdgeRow(level);
    if (row == nullptr) continue;
    for (const EdgeFixedPoint& form : forms) {
      for (Selection mode : {Selection::AllPixels, Selection::ColorKey}) {
        constexpr uint32_t kWidth = 37;
        std::vector<uint32_t> top(kWidth), middle(kWidth), bottom(kWidth);
        for (auto* r : {&top, &middle, &bottom})
          for (uint32_t& p : *r) p = static_cast<uint32_t>(random());
        const uint32_t key = middle[6] = 0x00405060u;
        std::vector<uint32_t> out = middle;
        const uint8_t* rows[3] = {reinterpret_cast<const uint8_t*>(top.data()),
                                  reinterpret_cast<const uint8_t*>(middle.data()),
                                  reinterpret_cast<const uint8_t*>(bottom.data())};
        const uint32_t end = row(rows, reinterpret_cast<uint8_t*>(out.data()), kWidth, mode, key, form);
        ASSERT_GE(end, kWidth - 8);
        for (uint32_t x = 1; x < kWidth; ++x) {
          uint32_t expected = middle[x];
          if (x < end && !(mode == Selection::ColorKey && middle[x] == key)) {
            expected = mode == Selection::ColorKey ? 0 : middle[x] & 0xFF000000u;
            for (int shift : {0, 8, 16}) {
              auto v = [&](const std::vector<uint32_t>& r, uint32_t at) { return (r[at] >> shift) & 0xFF; };
              const int32_t sum = table(form.centre, v(middle, x)) + table(form.diagonal, v(top, x - 1)) +
                                  table(form.diagonal, v(top, x + 1)) + table(form.diagonal, v(bottom, x - 1)) +
                                  table(form.diagonal, v(bottom, x + 1));
              expected |= ClampByte(sum) << shift;
            }
          }
          ASSERT_EQ(out[x], expected) << SimdLevelName(level) << " x " << x << " whole " << form.centre.whole;
        }
      }
    }
  }
}

}  // namespace
}  // namespace ormi::test
