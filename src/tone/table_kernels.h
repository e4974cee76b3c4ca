// A component table sent over 32-bit pixels with AVX2: every byte looked up in registers (the
// table as sixteen 16-entry pieces chosen by the high nibble), blue, green and red kept, the fourth
// byte kept or cleared as the walk prescribes, pixels equal to the key (under a mask) left alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"

namespace ormi {

struct Table32Rule {
  bool keyed;
  uint32_t key;        // compared under keyMask
  uint32_t keyMask;    // 0x00FFFFFF or 0xFFFFFFFF
  uint32_t alphaKeep;  // 0xFF000000 keeps the fourth byte of changed pixels, 0 clears it
};

// The scalar step, shared by the vector kernel's tail.
inline uint32_t MapPixel32(uint32_t value, const std::array<uint8_t, 256>& map, const Table32Rule& rule) {
  if (rule.keyed && (value & rule.keyMask) == rule.key) return value;
  return (value & rule.alphaKeep) | uint32_t{map[(value >> 16) & 255]} << 16 | uint32_t{map[(value >> 8) & 255]} << 8 |
         map[value & 255];
}

using Table32Kernel = void (*)(uint8_t* pixels, size_t count, const std::array<uint8_t, 256>& map,
                               const Table32Rule& rule);

void MapTable32Avx2(uint8_t* pixels, size_t count, const std::array<uint8_t, 256>& map, const Table32Rule& rule);
// The table as four 64-byte registers, looked up 64 bytes at a time with two-register byte permutes.
void MapTable32Avx512(uint8_t* pixels, size_t count, const std::array<uint8_t, 256>& map, const Table32Rule& rule);

// AVX2 and up: the lookups need a byte shuffle, which SSE2 lacks; below it the scalar walks serve.
Table32Kernel SelectTable32(SimdLevel level);

}  // namespace ormi
