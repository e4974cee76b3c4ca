// Sums of the blue, green and red bytes of a run of 32-bit pixels, added to `sums` (blue, green,
// red). Exact integers, so every level gives the same sums.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"

namespace ormi {

void AddChannelSums32(const uint8_t* pixels, size_t count, uint64_t sums[3], SimdLevel level);

// The AVX-512 part: the sums of the leading pixels in steps of 16; returns how many it did.
size_t AddChannelSums32Avx512(const uint8_t* pixels, size_t count, uint64_t sums[3]);

}  // namespace ormi
