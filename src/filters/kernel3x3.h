// Vector rows of the 3x3 filters: emboss, and the two linear ones, blur and sharpen. Per channel both form
//   S = centreWeight * centre + sign * (corners + 2 * edges)        (32-bit, wrapping)
// and finish it as their scalar kernels do: blur (S + half) / d, kept when in 0..255 and else the
// unfiltered value; sharpen 0 below 0, 255 above top, else (S + half) / d. A row function filters
// the pixels it can from x = 1 on and returns the first x it left to the scalar walk.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/transparency.h"
#include "simd/simd_level.h"

namespace ormi {

enum class Finish3x3 { Blur, Sharpen };

struct Linear3x3 {
  Finish3x3 finish;
  uint32_t centreWeight;
  int32_t half;      // d >> 1
  uint32_t divisor;  // d >= 1
  int32_t top;       // sharpen: 255 d
};

// Rows of the window (top, middle, bottom; unfiltered copies), the output row, its width, the
// selection and the colour key.
using Row3x3Function = uint32_t (*)(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode,
                                    uint32_t key, const Linear3x3& filter);

uint32_t Linear3x3RowAvx2(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key,
                          const Linear3x3& filter);

// Emboss's row (its kernel is fixed; the Linear3x3 is not read).
uint32_t Emboss3x3RowAvx2(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key,
                          const Linear3x3& filter);
Row3x3Function SelectEmboss3x3Row(SimdLevel level);

// The vector row for the level, or none: the scalar walk then does every pixel. SSE2 has no
// 32-bit multiply and no per-lane blend, so below AVX2 the scalar kernel serves.
Row3x3Function SelectLinear3x3Row(SimdLevel level);

// The row start of the window walk (see FilterWindows): the vector row when there is one.
struct Linear3x3RowStart {
  Row3x3Function row;
  Linear3x3 filter;
  uint32_t operator()(const uint8_t* const* rows, uint8_t* out, uint32_t width, Selection mode, uint32_t key) const {
    return row ? row(rows, out, width, mode, key, filter) : 1;
  }
};

}  // namespace ormi
