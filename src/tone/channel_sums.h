// Sums of the blue, green and red bytes of a run of 32-bit pixels, added to `sums` (blue, green,
// red). Exact integers, so every level gives the same sums.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"

namespace ormi {

void AddChannelSums32(const uint8_t* pixels, size_t count, uint64_t sums[3], SimdLevel level);

}  // namespace ormi
