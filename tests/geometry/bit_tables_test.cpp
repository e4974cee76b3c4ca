#include "geometry/bit_tables.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace ormi {
namespace {

bool Bit(const std::vector<uint8_t>& row, size_t i) { return (row[i / 8] >> (7 - i % 8)) & 1; }

TEST(BitTablesTest, ReverseTableMirrorsEveryBit) {
  EXPECT_EQ(BitReverseTable[0x01], 0x80);
  EXPECT_EQ(BitReverseTable[0x0F], 0xF0);
  EXPECT_EQ(BitReverseTable[0xB4], 0x2D);  // 1011 0100 -> 0010 1101
  for (unsigned i = 0; i < 256; ++i) {
    for (unsigned bit = 0; bit < 8; ++bit) {
      EXPECT_EQ((BitReverseTable[i] >> (7 - bit)) & 1u, (i >> bit) & 1u) << i;
    }
  }
}

TEST(BitTablesTest, SpreadTablePutsNibbleBitsIntoBytes) {
  EXPECT_EQ(BitSpreadTable[0][3], 0x00000101u);
  EXPECT_EQ(BitSpreadTable[7][15], 0x80808080u);
  EXPECT_EQ(BitSpreadTable[2][10], 0x04000400u);  // nibble bits 1 and 3 -> bytes 1 and 3
  for (unsigned k = 0; k < 8; ++k) {
    EXPECT_EQ(BitSpreadTable[k][0], 0u);
    for (unsigned j = 0; j < 4; ++j) EXPECT_EQ(BitSpreadTable[k][1u << j], (1u << k) << (8 * j));
  }
}

// Reversal of packed rows against pixel-by-pixel reversal, for widths around byte boundaries.
TEST(BitTablesTest, RowReversalsMatchPixelByPixelReversal) {
  std::mt19937 random(7);
  for (uint32_t width = 1; width <= 41; ++width) {
    std::vector<uint8_t> row((width + 7) / 8);
    for (uint8_t& b : row) b = static_cast<uint8_t>(random());
    std::vector<uint8_t> reversed = row;
    ReverseBitRow(reversed.data(), width);
    for (uint32_t x = 0; x < width; ++x) EXPECT_EQ(Bit(reversed, x), Bit(row, width - 1 - x)) << width << " " << x;
    for (size_t bit = width; bit < 8 * row.size(); ++bit) EXPECT_FALSE(Bit(reversed, bit)) << width;

    std::vector<uint8_t> nibbles((width + 1) / 2);
    for (uint8_t& b : nibbles) b = static_cast<uint8_t>(random());
    std::vector<uint8_t> turned = nibbles;
    ReverseNibbleRow(turned.data(), width);
    auto nibble = [](const std::vector<uint8_t>& r, uint32_t x) { return (r[x / 2] >> (x % 2 ? 0 : 4)) & 15; };
    for (uint32_t x = 0; x < width; ++x) EXPECT_EQ(nibble(turned, x), nibble(nibbles, width - 1 - x)) << width;
    if (width % 2) {
      EXPECT_EQ(turned.back() & 15, 0) << width;
    }
  }
}

}  // namespace
}  // namespace ormi
