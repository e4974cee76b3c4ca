// The luminance level (77 R + 150 G + 29 B) >> 8 of each of a run of 32-bit pixels, scalar or with
// SSE2 (the sum stays below 2^16, so 16-bit products are exact).
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"

namespace ormi {

void LuminanceLevels(const uint8_t* pixels, size_t count, uint8_t* levels, SimdLevel level);

}  // namespace ormi
