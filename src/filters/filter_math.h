// Integer arithmetic shared by the filters: the double-to-integer conversion of their amounts,
// sums that wrap as 32-bit registers do, and division by a per-call constant without a divide
// instruction per pixel.
#pragma once

#include <algorithm>
#include <cstdint>

namespace ormi {

// Truncates toward zero; a value with no 32-bit integer (out of range, NaN) gives INT32_MIN, the
// answer of the processor's own conversion, so that any amount is defined.
constexpr int32_t TruncToInt32(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// Signed 32-bit addition that wraps instead of overflowing: amounts have no range limit.
constexpr int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

constexpr uint32_t ClampByte(int32_t value) { return static_cast<uint32_t>(std::clamp(value, 0, 255)); }

// Division by a fixed d >= 1 through a 32.32 reciprocal: the estimate is the quotient or one
// below it, and one comparison with the remainder corrects it, so every result is exact.
class ExactDivisor {
 public:
  constexpr ExactDivisor() : ExactDivisor(1) {}
  constexpr explicit ExactDivisor(uint32_t divisor)
      : divisor_(divisor), reciprocal_((uint64_t{1} << 32) / std::max(divisor, 1u)) {}

  constexpr uint32_t divisor() const { return divisor_; }

  // floor(a / d)
  constexpr uint32_t divideUnsigned(uint32_t a) const {
    uint32_t q = static_cast<uint32_t>((uint64_t{a} * reciprocal_) >> 32);
    if (a - q * divisor_ >= divisor_) ++q;
    return q;
  }

  // n / d truncated toward zero, as a signed integer division gives it.
  constexpr int32_t divide(int32_t n) const {
    const uint32_t magnitude = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
    const uint32_t q = divideUnsigned(magnitude);
    return static_cast<int32_t>(n < 0 ? 0u - q : q);
  }

 private:
  uint32_t divisor_;
  uint64_t reciprocal_;  // floor(2^32 / d); 2^32 itself for d = 1
};

}  // namespace ormi
