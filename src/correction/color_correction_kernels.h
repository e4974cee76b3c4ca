// Colour correction of a run of unkeyed 32-bit pixels with AVX2: four pixels a step in double
// lanes, every product and sum in the order of ColorCorrectPixel and without fused operations, so
// the bytes are the same. Returns how many pixels it converted; the caller does the rest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "correction/color_correction.h"
#include "simd/simd_level.h"

namespace ormi {

using CorrectRunKernel = size_t (*)(uint8_t* pixels, size_t count, const ProfileMatrix& matrix,
                                    const ColorTarget& target);

size_t ColorCorrectRunAvx2(uint8_t* pixels, size_t count, const ProfileMatrix& matrix, const ColorTarget& target);
size_t ColorCorrectRunAvx512(uint8_t* pixels, size_t count, const ProfileMatrix& matrix, const ColorTarget& target);

// AVX2 and AVX-512 only: SSE2 has two double lanes, too little to pay for the lane shuffles.
CorrectRunKernel SelectColorCorrectRun(SimdLevel level);

}  // namespace ormi
