// The luminance level (77 R + 150 G + 29 B) >> 8 of each of a run of 32-bit pixels, scalar, with
// SSE2 or with AVX2 (the sum stays below 2^16, so 16-bit products are exact).
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"

namespace ormi {

void LuminanceLevels(const uint8_t* pixels, size_t count, uint8_t* levels, SimdLevel level);

// The AVX2 part: levels of the leading pixels in steps of 32; returns how many it did.
size_t LuminanceLevelsAvx2(const uint8_t* pixels, size_t count, uint8_t* levels);

}  // namespace ormi
