// Vector rows of the enhance filter. A row function filters the pixels it can from x = 2 on, with the
// same selection, sums and rounding as the scalar kernel, and returns the first x it left to the
// scalar walk.
#pragma once

#include <cstdint>

#include "image/transparency.h"
#include "simd/simd_level.h"

namespace ormi {

// Rows of the window (y-2 .. y+2; unfiltered copies), the output row, its width, the selection and
// the colour key.
using EnhanceRowFunction = uint32_t (*)(const uint8_t* const rows[5], uint8_t* out, uint32_t width, Selection mode,
                                        uint32_t key);

uint32_t EnhanceRowSse2(const uint8_t* const rows[5], uint8_t* out, uint32_t width, Selection mode, uint32_t key);
uint32_t EnhanceRowAvx2(const uint8_t* const rows[5], uint8_t* out, uint32_t width, Selection mode, uint32_t key);
// Needs AVX-512 with VNNI on top of the level's extensions; it filters every pixel of a row of 20 or
// more.
uint32_t EnhanceRowAvx512(const uint8_t* const rows[5], uint8_t* out, uint32_t width, Selection mode, uint32_t key);

// The vector row for the level, or none below SSE2: the scalar walk then does every pixel.
EnhanceRowFunction SelectEnhanceRow(SimdLevel level);

// The row start of the window walk (see FilterWindows).
struct EnhanceRowStart {
  EnhanceRowFunction row;
  uint32_t operator()(const uint8_t* const* rows, uint8_t* out, uint32_t width, Selection mode, uint32_t key) const {
    return row ? row(rows, out, width, mode, key) : 2;
  }
};

}  // namespace ormi
