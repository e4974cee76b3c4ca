// The tabulated HSI pass of every vector level against the plain per-pixel conversions: runs of 1
// to 67 pixels and longer ones (so every tail length), with and without a colour key, on pixels
// rich in ties between components, greys, black, white and primaries, for HSI shifts up to many
// turns, infinities and not-a-number, and for both contrast directions. Also the table's working
// memory and the fallback when it cannot be had.
#include <cmath>
#include <functional>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reference/differential.h"
#include "reference/reference.h"
#include "tone/adj_contrast.h"
#include "tone/color_shift.h"
#include "tone/hsi_kernels.h"

namespace ormi::test {
namespace {

// Pixels whose components often tie or sit at the ends of the range; alpha random.
std::vector<uint32_t> TrickyPixels(size_t count, uint32_t seed) {
  std::mt19937 engine(seed);
  const auto random = [&engine] { return static_cast<uint32_t>(engine()); };
  std::vector<uint32_t> pixels(count);
  for (uint32_t& pixel : pixels) {
    uint32_t c[3] = {random() & 255, random() & 255, random() & 255};
    switch (random() % 6) {
      case 0: c[1] = c[0]; break;             // two equal
      case 1: c[2] = c[random() % 2]; break;  // two equal, another pair
      case 2: c[1] = c[2] = c[0]; break;      // grey
      case 3:
        for (uint32_t& v : c) v = (random() & 1) * 255;
        break;  // black, white, primaries
      default: break;
    }
    pixel = random() << 24 | c[0] << 16 | c[1] << 8 | c[2];
  }
  return pixels;
}

// The pass's rule around a plain pixel change.
std::vector<uint32_t> Expected(const std::vector<uint32_t>& pixels, bool keyed, uint32_t key,
                               const std::function<void(uint8_t&, uint8_t&, uint8_t&)>& change) {
  std::vector<uint32_t> out = pixels;
  for (uint32_t& value : out) {
    if (keyed && value == key) continue;
    uint8_t r = static_cast<uint8_t>(value >> 16), g = static_cast<uint8_t>(value >> 8),
            b = static_cast<uint8_t>(value);
    change(r, g, b);
    value = (keyed ? 0 : value & 0xFF000000u) | uint32_t{r} << 16 | uint32_t{g} << 8 | b;
  }
  return out;
}

std::vector<size_t> RunLengths() {
  std::vector<size_t> lengths;
  for (size_t n = 1; n <= 67; ++n) lengths.push_back(n);
  for (size_t n : {1000, 4099}) lengths.push_back(n);
  return lengths;
}

// Every level and run length with one table; the key, when there is one, is carried by every
// seventh pixel (alpha 0) and, once, by a pixel that differs only in alpha.
void ExpectPassMatches(const std::string& what, const double* levels, double hueShift,
                       const std::function<void(uint8_t&, uint8_t&, uint8_t&)>& change) {
  uint32_t seed = 7;
  for (SimdLevel level : SimdLevelsToTest()) {
    const HsiPassKernel kernel = SelectHsiPass(level);
    for (size_t length : RunLengths()) {
      for (bool keyed : {false, true}) {
        std::vector<uint32_t> pixels = TrickyPixels(length, ++seed);
        const uint32_t key = pixels[0] & 0x00FFFFFFu;
        if (keyed) {
          for (size_t i = 0; i < length; i += 7) pixels[i] = key;
          if (length > 3) pixels[3] = key | 0x01000000u;
        }
        const std::vector<uint32_t> expected = Expected(pixels, keyed, key, change);
        kernel(reinterpret_cast<uint8_t*>(pixels.data()), length, HsiPass{levels, hueShift, keyed, key});
        for (size_t i = 0; i < length; ++i) {
          ASSERT_EQ(pixels[i], expected[i]) << what << " " << SimdLevelName(level) << " length " << length
                                            << (keyed ? " keyed" : "") << " pixel " << i;
        }
      }
    }
  }
}

double ClampUnitPlain(double value) { return value > 1 ? 1 : value >= 0 ? value : 0; }

struct ShiftCase {
  const char* name;
  double hue, saturation, intensity;
};

void PrintTo(const ShiftCase& c, std::ostream* os) { *os << c.name; }

class HsiPassShiftTest : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(HsiPassShiftTest, EveryLevelMatchesThePlainShift) {
  const ShiftCase& c = GetParam();
  std::vector<double> levels(2 * kHsiPairs);
  FillHsiLevelTable(levels.data(), [&](double& saturation, double& intensity) {
    intensity = ClampUnitPlain(intensity + c.intensity);
    saturation = ClampUnitPlain(saturation + c.saturation);
  });
  ExpectPassMatches(c.name, levels.data(), c.hue, [&](uint8_t& r, uint8_t& g, uint8_t& b) {
    reference::PlainShiftPixelHsi(c.hue, c.saturation, c.intensity, r, g, b);
  });
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Shifts, HsiPassShiftTest,
    ::testing::Values(ShiftCase{"None", 0, 0, 0}, ShiftCase{"HalfTurn", 0.5, 0, 0},
                      ShiftCase{"WholeTurnsAndFullRange", -1, 1, -1}, ShiftCase{"OneTurn", 1, -1, 1},
                      ShiftCase{"Small", 0.01, -0.02, 0.03}, ShiftCase{"NegativeSmall", -1e-17, 0, 0},
                      ShiftCase{"JustBelowATurn", 0.9999999999999999, 0.3, -0.2},
                      ShiftCase{"SeveralTurns", 2.75, 0.5, -0.5}, ShiftCase{"SeveralTurnsBack", -3.4, -0.5, 0.5},
                      ShiftCase{"Huge", 1e300, 0, 0}, ShiftCase{"HugeBack", -1e17, 0.2, 0.1},
                      ShiftCase{"NotANumber", kNaN, kNaN, kNaN}, ShiftCase{"Infinite", kInf, -kInf, kInf},
                      ShiftCase{"InfiniteBack", -kInf, kInf, -kInf}, ShiftCase{"Subnormal", 1e-310, -1e-310, 5e-324},
                      ShiftCase{"NegativeZero", -0.0, -0.0, -0.0}),
    [](const ::testing::TestParamInfo<ShiftCase>& shift) { return std::string(shift.param.name); });

class HsiPassContrastTest : public ::testing::TestWithParam<int> {};

TEST_P(HsiPassContrastTest, EveryLevelMatchesThePlainContrast) {
  const int direction = GetParam();
  constexpr double kPi = 3.141592653589793;
  std::vector<double> levels(2 * kHsiPairs);
  FillHsiLevelTable(levels.data(), [direction](double&, double& intensity) {
    const double curve = (std::sin(kPi * (intensity - 0.5)) + 1) / 2;
    const double moved = intensity + direction * (curve - intensity) / 2;
    intensity = moved > 1 ? 1 : moved < 0 ? 0 : moved;
  });
  ExpectPassMatches("contrast " + std::to_string(direction), levels.data(), 0,
                    [direction](uint8_t& r, uint8_t& g, uint8_t& b) { reference::PlainIntensity(direction, r, g, b); });
}

INSTANTIATE_TEST_SUITE_P(Directions, HsiPassContrastTest, ::testing::Values(1, -1));

// The table lives in working memory: one block a call on large images, none on small ones, always
// freed; when it cannot be had (allocation or lock refused) the pixels are converted one by one with
// the same bytes.
struct TableCase {
  const char* name;
  bool contrast;
  int width, height;
  int failAllocs, failLocks;
  long blocksAsked;
};

void PrintTo(const TableCase& c, std::ostream* os) { *os << c.name; }

class HsiTableTest : public MemoryCheckedTest, public ::testing::WithParamInterface<TableCase> {};

TEST_P(HsiTableTest, TableInWorkingMemoryOrTheSameBytesWithout) {
  const TableCase& c = GetParam();
  const ImageTwins twins =
      MakeImageTwins({.depth = 32, .width = c.width, .height = c.height}, SelectionMode::KeyPresent, 4242);
  const TransparencyArg transparency = TransparencyArgOf(twins.optimised->record());
  const auto optimised = [&](DibBlock block) {
    return c.contrast ? ImgAdjContrastPixels(block, 1, transparency)
                      : ImgAdjustColorHSIPixels(block, 0.3, -0.2, 0.1, transparency);
  };
  const auto expected = [&](DibBlock block) {
    return c.contrast ? reference::AdjContrastPixels(block, 1, transparency)
                      : reference::AdjustColorHSIPixels(block, 0.3, -0.2, 0.1, transparency);
  };
  auto* data = static_cast<uint8_t*>(GlobalLock(twins.optimised->bitmap()));
  const DibBlock block{data, GlobalSize(twins.optimised->bitmap())};
  const long allocsBefore = Win32EmuAllocCalls();
  Win32EmuFailNextAlloc(c.failAllocs);
  Win32EmuFailNextLock(c.failLocks);
  EXPECT_EQ(optimised(block), 1);
  Win32EmuFailNextAlloc(0);
  Win32EmuFailNextLock(0);
  EXPECT_EQ(Win32EmuAllocCalls() - allocsBefore, c.blocksAsked);
  GlobalUnlock(twins.optimised->bitmap());
  EXPECT_EQ(LockCount(twins.optimised->bitmap()), 0);
  EXPECT_EQ(OnLockedBitmap(twins.reference->bitmap(), expected), 1);
  EXPECT_EQ(twins.optimised->bytes(), twins.reference->bytes());
}

INSTANTIATE_TEST_SUITE_P(Effects, HsiTableTest,
                         ::testing::Values(TableCase{"HsiLarge", false, 300, 230, 0, 0, 1},
                                           TableCase{"HsiSmall", false, 256, 257, 0, 0, 0},
                                           TableCase{"HsiAllocationRefused", false, 300, 230, 1, 0, 1},
                                           TableCase{"HsiLockRefused", false, 300, 230, 0, 1, 1},
                                           TableCase{"ContrastLarge", true, 300, 230, 0, 0, 1},
                                           TableCase{"ContrastSmall", true, 256, 257, 0, 0, 0},
                                           TableCase{"ContrastAllocationRefused", true, 300, 230, 1, 0, 1},
                                           TableCase{"ContrastLockRefused", true, 300, 230, 0, 1, 1}),
                         [](const ::testing::TestParamInfo<TableCase>& table) {
                           return std::string(table.param.name);
                         });

}  // namespace
}  // namespace ormi::test
