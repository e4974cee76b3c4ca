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
// The AVX-512 row keeps, for the last three centre rows, one mask row per forward offset (dy > 0,
// or dy = 0 and dx > 0; twelve of them): 16 bits per step of sixteen centres, set where the centre
// and its neighbour at that offset lie nearer than the limit. A backward offset's test is the
// forward one seen from the neighbour, found in the masks of the row and step it points to, so most
// pairs of pixels are measured once. The row must be called for every row in order, from the first
// filtered one.
struct EnhanceNearBits {
  uint16_t* masks;  // 3 x 12 mask rows
  size_t pitch;     // masks from one mask row to the next
  uint32_t calls;   // rows filtered so far
};
constexpr size_t kEnhanceMaskRows = 3 * 12;
// Masks of one mask row for a row width.
size_t EnhanceMaskPitch(uint32_t width);
// Whether the AVX-512 row runs at this level: it needs VNNI besides the level's extensions.
bool UsesEnhanceRowAvx512(SimdLevel level);
// Filters every pixel of a row of 20 or more, else none.
uint32_t EnhanceRowAvx512(EnhanceNearBits& bits, const uint8_t* const rows[5], uint8_t* out, uint32_t width,
                          Selection mode, uint32_t key);

// The vector row for the level, or none below SSE2: the scalar walk then does every pixel.
EnhanceRowFunction SelectEnhanceRow(SimdLevel level);

// The row start of the window walk (see FilterWindows): the AVX-512 row when it has its bits, else
// the level's row function.
struct EnhanceRowStart {
  EnhanceRowFunction row;
  EnhanceNearBits* bits;
  uint32_t operator()(const uint8_t* const* rows, uint8_t* out, uint32_t width, Selection mode, uint32_t key) const {
    if (bits) return EnhanceRowAvx512(*bits, rows, out, width, mode, key);
    return row ? row(rows, out, width, mode, key) : 2;
  }
};

}  // namespace ormi
