// Bit tables of the 1-bit turns and mirrors, and the row reversals built on them for packed pixels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ormi {

// Entry i is the byte i with its bit order reversed (bit 0 becomes bit 7).
extern const std::array<uint8_t, 256> BitReverseTable;

// Entry [k][n] sets the bit of value 2^k in byte j of the value for every set bit j of nibble n:
// one lookup spreads four pixels of a source row into four transposed bytes.
extern const std::array<std::array<uint32_t, 16>, 8> BitSpreadTable;

// Reverses the order of the first `width` pixels of a 1-bit row in place. The row is reversed
// byte by byte through BitReverseTable and then shifted back by the bits the last byte did not
// use, so pixel 0 sits in bit 7 of byte 0 again; those unused low bits of the last byte end zero.
void ReverseBitRow(uint8_t* row, uint32_t width);

// The same for a 4-bit row: bytes reversed with their nibbles exchanged, then realigned by one
// nibble for an odd width, whose unused low nibble ends zero.
void ReverseNibbleRow(uint8_t* row, uint32_t width);

}  // namespace ormi
