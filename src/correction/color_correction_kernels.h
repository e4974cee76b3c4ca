// Colour correction of a run of unkeyed 32-bit pixels with AVX2: four pixels a step in double
// lanes, every product and sum in the order of ColorCorrectPixel and without fused operations, so
// the bytes are the same. Returns how many pixels it converted; the caller does the rest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "correction/color_correction.h"
#include "simd/simd_level.h"

namespace ormi {

// The whole conversion folded into one 3x3 matrix on the bytes, out[k] = sum of coefficient[k][j]
// times (red, green, blue)[j] (the product term has no weight in any profile), for a quick estimate
// in single precision. Where the estimate lies farther than margin[k] from every whole number, its
// floor is the byte that the exact evaluation truncates to (held in 0..255): margin[k] is 255 T 2^-20
// + 2^-30, with T the sum of the magnitudes of every product that the evaluation adds up for that
// output, while the single-precision estimate and the double evaluation each stay within
// 5 T 255 2^-24 of the exact value. Pixels nearer a whole number take the exact evaluation.
struct CorrectEstimate {
  bool usable;  // false when a product term has weight or a bound is out of range
  float coefficient[3][3];
  float margin[3];
};

// The estimate for a conversion (usable only for product-free profiles and bounded matrices).
CorrectEstimate EstimateOfCorrection(const ProfileMatrix& matrix, const ColorTarget& target);

struct CorrectRun {
  const ProfileMatrix* matrix;
  ColorTarget target;
  CorrectEstimate estimate;
};

using CorrectRunKernel = size_t (*)(uint8_t* pixels, size_t count, const CorrectRun& run);

size_t ColorCorrectRunAvx2(uint8_t* pixels, size_t count, const CorrectRun& run);
// Sixteen pixels a step by the estimate where it is usable, the exact evaluation (eight pixels
// at a time in doubles) for the steps where it is not conclusive.
size_t ColorCorrectRunAvx512(uint8_t* pixels, size_t count, const CorrectRun& run);

// AVX2 and AVX-512 only: SSE2 has two double lanes, too little to pay for the lane shuffles.
CorrectRunKernel SelectColorCorrectRun(SimdLevel level);

}  // namespace ormi
