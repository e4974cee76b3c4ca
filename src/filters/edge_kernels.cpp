// The fixed-point form of the edge tables and the choice of the edge row, made once per call.
//   For a table A = s T (s the sign of T[255]): I = A[1], and every level v >= 1 bounds F by
//   A[v] - I v = floor(v F / 2^16), i.e. ceil(r 2^16 / v) <= F <= ceil((r + 1) 2^16 / v) - 1. The least
//   F inside every bound, checked against all 256 levels, is the form.
#include "filters/edge_kernels.h"

#include <algorithm>

namespace ormi {
namespace {

constexpr int64_t kOne = int64_t{1} << 16;

int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }  // a >= 0, b > 0

int64_t Magnitude(const EdgeProduct& p, int64_t v) { return p.whole * v + ((v * p.fraction) >> 16); }

std::optional<EdgeProduct> ProductOf(const std::array<int32_t, 256>& table) {
  if (table[0] != 0) return std::nullopt;
  const bool negative = table[255] < 0;
  auto magnitude = [&](size_t v) { return negative ? -int64_t{table[v]} : int64_t{table[v]}; };
  const int64_t whole = magnitude(1);
  if (whole < 0 || whole > 32767) return std::nullopt;
  int64_t low = 0, high = kOne - 1;
  for (int64_t v = 1; v < 256; ++v) {
    const int64_t rest = magnitude(static_cast<size_t>(v)) - whole * v;
    if (rest < 0 || rest >= v) return std::nullopt;
    low = std::max(low, CeilDiv(rest * kOne, v));
    high = std::min(high, CeilDiv((rest + 1) * kOne, v) - 1);
  }
  if (low > high) return std::nullopt;
  const EdgeProduct product{negative, static_cast<uint16_t>(whole), static_cast<uint16_t>(low)};
  for (int64_t v = 0; v < 256; ++v) {
    if (Magnitude(product, v) != magnitude(static_cast<size_t>(v))) return std::nullopt;
  }
  return product;
}

}  // namespace

std::optional<EdgeFixedPoint> EdgeFixedPointOf(const std::array<int32_t, 256>& centre,
                                               const std::array<int32_t, 256>& diagonal) {
  const std::optional<EdgeProduct> c = ProductOf(centre), d = ProductOf(diagonal);
  if (!c || !d) return std::nullopt;
  // Each magnitude grows with v, so level 255 bounds the sum of the five terms.
  if (Magnitude(*c, 255) + 4 * Magnitude(*d, 255) > 32767) return std::nullopt;
  return EdgeFixedPoint{*c, *d};
}

EdgeRowFunction SelectEdgeRow(SimdLevel level) {
  switch (level) {
    case SimdLevel::Scalar: return nullptr;
    case SimdLevel::Sse2: return EdgeRowSse2;
    case SimdLevel::Avx512:
    case SimdLevel::Avx2: return EdgeRowAvx2;
  }
  return nullptr;
}

}  // namespace ormi
