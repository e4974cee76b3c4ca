// The AVX-512 HSI pass divides by 255 and by 6 without the divider: every quotient it can form is
// checked bit for bit against the plain division (all bytes; the sixths of every largest, middle
// and smallest component in each of the six hue cases), the rounding rule on random quotients
// across the whole exponent range, and the pass over every colour of the cube against the scalar
// pass. Skipped on processors without AVX-512.
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "simd/simd_level.h"
#include "tone/hsi.h"
#include "tone/hsi_avx512.h"
#include "tone/hsi_kernels.h"

namespace ormi {
namespace {

class HsiAvx512Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (DetectedSimdLevel() < SimdLevel::Avx512) GTEST_SKIP() << "no AVX-512 on this processor";
  }
};

// Bitwise, so that a zero of the wrong sign or a differing not-a-number would show.
void ExpectSameBits(const std::vector<double>& actual, const std::vector<double>& expected, const char* what) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    ASSERT_EQ(std::bit_cast<uint64_t>(actual[i]), std::bit_cast<uint64_t>(expected[i]))
        << what << " " << i << ": " << actual[i] << " against " << expected[i];
  }
}

TEST_F(HsiAvx512Test, EveryByteOver255IsThePlainQuotient) {
  // 253 as well, so that a run ends inside a group of eight.
  for (int32_t count : {256, 253}) {
    std::vector<int32_t> bytes(static_cast<size_t>(count));
    std::vector<double> expected(bytes.size()), units(bytes.size(), -1.0);
    for (int32_t i = 0; i < count; ++i) {
      bytes[static_cast<size_t>(i)] = 255 - i;
      expected[static_cast<size_t>(i)] = (255 - i) / 255.0;
    }
    UnitsOfBytesAvx512(bytes.data(), units.data(), bytes.size());
    ExpectSameBits(units, expected, "byte");
  }
}

// Every sum base +- (max - mid) / d a hue can be built from, for one largest component, with the
// quotients as the plain conversion forms them.
std::vector<double> SixthsWithLargest(int largest) {
  std::vector<double> sixths;
  const double max = largest / 255.0;
  for (int smallest = 0; smallest < largest; ++smallest) {
    const double d = max - smallest / 255.0;
    for (int middle = smallest; middle <= largest; ++middle) {
      const double quotient = (max - middle / 255.0) / d;
      for (double base : {1.0, 3.0, 5.0}) {
        sixths.push_back(base + quotient);
        sixths.push_back(base - quotient);
      }
    }
  }
  return sixths;
}

TEST_F(HsiAvx512Test, EverySixthsOfAColourOver6IsThePlainQuotient) {
  for (int largest = 1; largest < 256; ++largest) {
    const std::vector<double> sixths = SixthsWithLargest(largest);
    std::vector<double> expected(sixths.size()), turns(sixths.size());
    for (size_t i = 0; i < sixths.size(); ++i) expected[i] = sixths[i] / 6;
    TurnsOfSixthsAvx512(sixths.data(), turns.data(), sixths.size());
    ExpectSameBits(turns, expected, "sixths");
  }
}

TEST_F(HsiAvx512Test, RandomValuesOver6AreThePlainQuotientAtEveryScale) {
  std::mt19937_64 engine(512);
  std::uniform_real_distribution<double> mantissa(1, 2);
  std::uniform_int_distribution<int> exponent(-1000, 1000);
  std::vector<double> values(1 << 20), expected(values.size()), turns(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = std::ldexp(mantissa(engine), exponent(engine)) * (i % 2 ? -1 : 1);
    expected[i] = values[i] / 6;
  }
  TurnsOfSixthsAvx512(values.data(), turns.data(), values.size());
  ExpectSameBits(turns, expected, "value");
}

// A level table that moves saturation and intensity the way the HSI shift does.
std::vector<double> ShiftedLevels(double saturationShift, double intensityShift) {
  std::vector<double> levels(2 * kHsiPairs);
  FillHsiLevelTable(levels.data(), [&](double& saturation, double& intensity) {
    intensity = ClampUnit(intensity + intensityShift);
    saturation = ClampUnit(saturation + saturationShift);
  });
  return levels;
}

class HsiAvx512CubeTest : public HsiAvx512Test, public ::testing::WithParamInterface<double> {};

// The cube one red value at a time, alpha varying; odd reds under a colour key that one pixel
// carries (0x804020 with its alpha 0xA0).
TEST_P(HsiAvx512CubeTest, EveryColourMatchesTheScalarPass) {
  const double hueShift = GetParam();
  const std::vector<double> levels = ShiftedLevels(0.1, -0.05);
  std::vector<uint32_t> expected(1 << 16), actual(expected.size());
  for (uint32_t red = 0; red < 256; ++red) {
    const bool keyed = red % 2 == 1;
    const HsiPass pass{levels.data(), hueShift, keyed, 0xA0804020u};
    for (uint32_t i = 0; i < expected.size(); ++i) expected[i] = (i * 0x9Du & 0xFF) << 24 | red << 16 | i;
    actual = expected;
    HsiPassScalar(reinterpret_cast<uint8_t*>(expected.data()), expected.size(), pass);
    HsiPassAvx512(reinterpret_cast<uint8_t*>(actual.data()), actual.size(), pass);
    for (size_t i = 0; i < actual.size(); ++i) {
      ASSERT_EQ(actual[i], expected[i]) << "red " << red << " pixel " << i << (keyed ? " keyed" : "");
    }
  }
}

// No shift, one within a turn either way, one of several turns.
INSTANTIATE_TEST_SUITE_P(HueShifts, HsiAvx512CubeTest, ::testing::Values(0.0, 0.25, -0.7, 2.75));

}  // namespace
}  // namespace ormi
