// Row kernels of the mirror: exchange two rows of any depth byte for byte, and at 32 bits reverse one
// row in place or exchange two rows while reversing both (the mirror both ways in one pass). Scalar,
// SSE2 and AVX2 give the same bytes.
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

// The row exchange moves each byte once, without a row buffer: the C runtime's memcpy of a
// Windows host copies 16 bytes a step, and three copies through a buffer took most of the time.
// `bytes` is a row stride, a multiple of 4.
using RowExchangeKernel = void (*)(uint8_t* low, uint8_t* high, size_t bytes);
void ExchangeRowsScalar(uint8_t* low, uint8_t* high, size_t bytes);
void ExchangeRowsSse2(uint8_t* low, uint8_t* high, size_t bytes);
void ExchangeRowsAvx2(uint8_t* low, uint8_t* high, size_t bytes);
RowExchangeKernel SelectRowExchange(SimdLevel level);

// The scalar steps from byte (rows) or pixel `from` on, for the vector kernels' tails.
void ExchangeRowTails(uint8_t* low, uint8_t* high, size_t bytes, size_t from);
void Mirror32Tails(uint8_t* row, size_t width, size_t from);
void Exchange32Tails(uint8_t* low, uint8_t* high, size_t width, size_t from);

Mirror32Kernels SelectMirror32(SimdLevel level);

}  // namespace ormi
