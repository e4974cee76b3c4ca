// Bit tables: both follow from their rule and are built at compile time, so the module keeps no
// state for them. The row reversals walk the row once to reverse its bytes and once to realign it.
#include "geometry/bit_tables.h"

#include <utility>

namespace ormi {
namespace {

constexpr std::array<uint8_t, 256> MakeBitReverseTable() {
  std::array<uint8_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned reversed = 0;
    for (unsigned bit = 0; bit < 8; ++bit) {
      if (i & (1u << bit)) reversed |= 0x80u >> bit;
    }
    table[i] = static_cast<uint8_t>(reversed);
  }
  return table;
}

constexpr std::array<std::array<uint32_t, 16>, 8> MakeBitSpreadTable() {
  std::array<std::array<uint32_t, 16>, 8> table{};
  for (unsigned k = 0; k < 8; ++k) {
    for (unsigned n = 0; n < 16; ++n) {
      uint32_t value = 0;
      for (unsigned j = 0; j < 4; ++j) {
        if (n & (1u << j)) value |= (1u << k) << (8 * j);
      }
      table[k][n] = value;
    }
  }
  return table;
}

constexpr uint8_t SwapNibbles(uint8_t b) { return static_cast<uint8_t>(b << 4 | b >> 4); }

// Moves every bit of the row `shift` places towards its first byte (0 < shift < 8), carrying the
// high bits of each byte into the one before; bits leaving byte 0 are dropped.
void ShiftRowTowardsStart(uint8_t* row, size_t bytes, unsigned shift) {
  for (size_t i = 0; i + 1 < bytes; ++i) {
    row[i] = static_cast<uint8_t>(row[i] << shift | row[i + 1] >> (8 - shift));
  }
  row[bytes - 1] = static_cast<uint8_t>(row[bytes - 1] << shift);
}

}  // namespace

constinit const std::array<uint8_t, 256> BitReverseTable = MakeBitReverseTable();
constinit const std::array<std::array<uint32_t, 16>, 8> BitSpreadTable = MakeBitSpreadTable();

static_assert(MakeBitSpreadTable()[0][3] == 0x00000101u);
static_assert(MakeBitSpreadTable()[7][15] == 0x80808080u);

void ReverseBitRow(uint8_t* row, uint32_t width) {
  const size_t bytes = (size_t{width} + 7) / 8;
  if (bytes == 0) return;
  for (size_t i = 0, j = bytes - 1; i < j; ++i, --j) {
    const uint8_t first = row[i];
    row[i] = BitReverseTable[row[j]];
    row[j] = BitReverseTable[first];
  }
  if (bytes % 2) row[bytes / 2] = BitReverseTable[row[bytes / 2]];
  if (width % 8) ShiftRowTowardsStart(row, bytes, 8 - width % 8);
}

void ReverseNibbleRow(uint8_t* row, uint32_t width) {
  const size_t bytes = (size_t{width} + 1) / 2;
  if (bytes == 0) return;
  for (size_t i = 0, j = bytes - 1; i < j; ++i, --j) {
    const uint8_t first = row[i];
    row[i] = SwapNibbles(row[j]);
    row[j] = SwapNibbles(first);
  }
  if (bytes % 2) row[bytes / 2] = SwapNibbles(row[bytes / 2]);
  if (width % 2) ShiftRowTowardsStart(row, bytes, 4);
}

}  // namespace ormi
