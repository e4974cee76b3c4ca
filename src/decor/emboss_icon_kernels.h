// The inner stretch of an 8-bit icon row, shared by the scalar pass and its vector kernels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormi {

// The dark flags as a bitmap of 16 x 16 bits for the AVX2 row: byte l of `low` holds in bit h the
// flag of index 16 h + l for h < 8, `high` those of h = 8 .. 15 in bits h - 8.
struct IconDarkBits {
  alignas(16) uint8_t low[16];
  alignas(16) uint8_t high[16];
};
IconDarkBits IconDarkBitsOf(const uint8_t* dark);

// For i below count: here[i] = max(dark[here[i]] & two, dark[below[i]] & 1), where dark holds 0xFF
// for a dark index and 0 otherwise and two is 2 or 0. Each returns how many it did (the AVX2 row
// whole vectors only); the caller finishes the rest.
size_t EmbossIconSpanAvx2(uint8_t* here, const uint8_t* below, size_t count, const IconDarkBits& dark, uint8_t two);
size_t EmbossIconSpanAvx512(uint8_t* here, const uint8_t* below, size_t count, const uint8_t* dark, uint8_t two);

}  // namespace ormi
