// The normalisation's table as arithmetic, for vector rows: with D = hi - lo >= 1,
//   T[i] = 254 (i - lo) div D for lo <= i <= hi, 0 below lo and 254 above hi,
// is T[i] = I d + ((d F) >> 16) with d = min(max(i - lo, 0), D), I = 254 div D and
// F = ceil((254 mod D) 2^16 / D). Exact: F / 2^16 exceeds (254 mod D) / D by less than 2^-16, so
// for d <= 255 the product exceeds (254 mod D) d / D by less than 255 / 2^16 < 1 / D, while that
// quotient lies at least 1 / D below the next integer. F stays below 2^16.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"
#include "tone/table_kernels.h"

namespace ormi {

struct Stretch {
  uint8_t lo, span;   // lo and D
  uint16_t whole;     // I
  uint16_t fraction;  // F
};

Stretch StretchOf(int lo, int hi);  // lo < hi

// Sends blue, green and red of `count` pixels through the stretch; the fourth byte and the key as
// Table32Rule says. Each returns how many leading pixels it did; the caller finishes with the table.
using StretchKernel = size_t (*)(uint8_t* pixels, size_t count, const Stretch& stretch, const Table32Rule& rule);

size_t StretchSse2(uint8_t* pixels, size_t count, const Stretch& stretch, const Table32Rule& rule);
size_t StretchAvx2(uint8_t* pixels, size_t count, const Stretch& stretch, const Table32Rule& rule);

// None below SSE2, nor with AVX-512, where the table kernel is the quicker.
StretchKernel SelectStretch(SimdLevel level);

}  // namespace ormi
