// The other exact formulations the vector paths use, over every value they can be fed: the edge tables' fixed-point
// products and the AVX-512 divisions by 255 and by 6 of the HSI pass. The exports' own results at every level, the
// normalisation's stretch and the HSI pass among them, are compared in levels_test.cpp.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "filters/edge_kernels.h"
#include "filters/filter_math.h"
#include "simd/simd_level.h"
#include "tone/hsi_avx512.h"

namespace ormi {
namespace {

// Edge: whenever the tables of an amount get a fixed-point form, the form gives both tables at
// every level, over a fine grid of amounts; both kinds of amount occur.
TEST(EdgeFormTest, EveryFormGivesBothTablesAtEveryLevel) {
  int withForm = 0, withoutForm = 0;
  for (int hundredths = -20000; hundredths <= 30000; hundredths += 7) {
    const double gain = (100.0 - hundredths / 100.0) / 20.0 + 1.5;
    std::array<int32_t, 256> centre{}, diagonal{};
    for (int v = 0; v < 256; ++v) {
      centre[v] = TruncToInt32(v * gain);
      diagonal[v] = TruncToInt32((-gain / 4.0) * v);
    }
    const std::optional<EdgeFixedPoint> form = EdgeFixedPointOf(centre, diagonal);
    ++(form ? withForm : withoutForm);
    if (!form) continue;
    for (int v = 0; v < 256; ++v) {
      for (const auto& [product, table] : {std::pair{form->centre, &centre}, std::pair{form->diagonal, &diagonal}}) {
        const int32_t magnitude = product.whole * v + ((v * product.fraction) >> 16);
        ASSERT_EQ(product.negative ? -magnitude : magnitude, (*table)[v]) << hundredths << " level " << v;
      }
    }
    // The five terms of the sum stay within 16 bits.
    ASSERT_LE(std::abs(centre[255]) + 4 * std::abs(diagonal[255]), 32767) << hundredths;
  }
  EXPECT_GT(withForm, 1000);
  EXPECT_GT(withoutForm, 10);
}

// Bitwise, so that a zero of the wrong sign or a differing not-a-number would show.
void ExpectSameBits(const std::vector<double>& actual, const std::vector<double>& expected, const char* what) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    ASSERT_EQ(std::bit_cast<uint64_t>(actual[i]), std::bit_cast<uint64_t>(expected[i]))
        << what << " " << i << ": " << actual[i] << " against " << expected[i];
  }
}

TEST(HsiAvx512Test, EveryByteOver255IsThePlainQuotient) {
  if (DetectedSimdLevel() < SimdLevel::Avx512) GTEST_SKIP() << "no AVX-512 on this processor";
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

// Every sum base +- (max - mid) / d a hue is built from, as the plain conversion forms them, over 6;
// then random values across the whole exponent range.
TEST(HsiAvx512Test, EverySixthsOfAColourOver6IsThePlainQuotient) {
  if (DetectedSimdLevel() < SimdLevel::Avx512) GTEST_SKIP() << "no AVX-512 on this processor";
  for (int largest = 1; largest < 256; ++largest) {
    std::vector<double> sixths;
    const double max = largest / 255.0;
    for (int smallest = 0; smallest < largest; ++smallest) {
      const double d = max - smallest / 255.0;
      for (int middle = smallest; middle <= largest; ++middle) {
        const double quotient = (max - middle / 255.0) / d;
        for (double base : {1.0, 3.0, 5.0}) sixths.insert(sixths.end(), {base + quotient, base - quotient});
      }
    }
    std::vector<double> expected(sixths.size()), turns(sixths.size());
    for (size_t i = 0; i < sixths.size(); ++i) expected[i] = sixths[i] / 6;
    TurnsOfSixthsAvx512(sixths.data(), turns.data(), sixths.size());
    ExpectSameBits(turns, expected, "sixths");
  }
  std::mt19937_64 engine(512);
  std::uniform_real_distribution<double> mantissa(1, 2);
  std::uniform_int_distribution<int> exponent(-1000, 1000);
  std::vector<double> values(1 << 18), expected(values.size()), turns(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = std::ldexp(mantissa(engine), exponent(engine)) * (i % 2 ? -1 : 1);
    expected[i] = values[i] / 6;
  }
  TurnsOfSixthsAvx512(values.data(), turns.data(), values.size());
  ExpectSameBits(turns, expected, "value");
}

}  // namespace
}  // namespace ormi
