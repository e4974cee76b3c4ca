// The gamma correction's pass over a row of 32-bit pixels: blue, green and red each through its own
// table, the fourth byte kept, under the any-channel key a pixel that shares a channel with the key
// left whole. With AVX-512 each table sits in four registers and is looked up for 64 bytes at once,
// each byte keeping the lookup of its own channel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "correction/correction_frame.h"
#include "simd/simd_level.h"

namespace ormi {

constexpr int kRed = 0, kGreen = 1, kBlue = 2;

// What each channel value becomes, indexed [channel][value], channels red, green, blue.
struct ChannelTables {
  uint8_t map[3][256];
};

using ChannelTablesKernel = void (*)(uint8_t* pixels, size_t count, const ChannelTables& tables, const ChannelKey& key);

void MapChannelTables32Avx512(uint8_t* pixels, size_t count, const ChannelTables& tables, const ChannelKey& key);

// AVX-512 only; below it the scalar rows serve (three tables cost AVX2 three times its one).
ChannelTablesKernel SelectChannelTablesKernel(SimdLevel level);

}  // namespace ormi
