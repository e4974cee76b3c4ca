// Row kernels of the 32-bit mirror: reverse one row in place, or exchange two rows while reversing
// both (the mirror both ways in one pass). Scalar, SSE2 and AVX2 give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"

namespace ormi {

struct Mirror32Kernels {
  void (*reverse)(uint8_t* row, size_t width);
  void (*exchangeReversed)(uint8_t* low, uint8_t* high, size_t width);
};

void Reverse32Scalar(uint8_t* row, size_t width);
void ExchangeReversed32Scalar(uint8_t* low, uint8_t* high, size_t width);
void Reverse32Sse2(uint8_t* row, size_t width);
void ExchangeReversed32Sse2(uint8_t* low, uint8_t* high, size_t width);
void Reverse32Avx2(uint8_t* row, size_t width);
void ExchangeReversed32Avx2(uint8_t* low, uint8_t* high, size_t width);

// The scalar steps from pixel `from` on, for the vector kernels' tails.
void Mirror32Tails(uint8_t* row, size_t width, size_t from);
void Exchange32Tails(uint8_t* low, uint8_t* high, size_t width, size_t from);

Mirror32Kernels SelectMirror32(SimdLevel level);

}  // namespace ormi
