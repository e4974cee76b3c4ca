// Vector rows of the edge filter. Its per-level products trunc(k v) and trunc((-k / 4) v) are exact
// integers; when each table is s (I v + ((v F) >> 16)) for a sign s, whole part I and fraction F
// below 2^16, and the five-term sum stays within 16 bits, the rows compute them with two 16-bit
// multiplies instead of looking them up. Other amounts leave every pixel to the scalar kernel.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "image/transparency.h"
#include "simd/simd_level.h"

namespace ormi {

// One table as s (I v + ((v F) >> 16)).
struct EdgeProduct {
  bool negative;
  uint16_t whole;     // I
  uint16_t fraction;  // F
};

struct EdgeFixedPoint {
  EdgeProduct centre, diagonal;
};

// The fixed-point form of both tables (256 levels each), or none when a table has none or the sum
// |centre| + 4 |diagonal| could pass 32767.
std::optional<EdgeFixedPoint> EdgeFixedPointOf(const std::array<int32_t, 256>& centre,
                                               const std::array<int32_t, 256>& diagonal);

// Rows of the window (top, middle, bottom; unfiltered copies), the output row, its width, the
// selection and the colour key; filters from x = 1 on and returns the first x left to the scalar walk.
using EdgeRowFunction = uint32_t (*)(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode,
                                     uint32_t key, const EdgeFixedPoint& products);

uint32_t EdgeRowSse2(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key,
                     const EdgeFixedPoint& products);
uint32_t EdgeRowAvx2(const uint8_t* const rows[3], uint8_t* out, uint32_t width, Selection mode, uint32_t key,
                     const EdgeFixedPoint& products);

// The vector row for the level, or none below SSE2.
EdgeRowFunction SelectEdgeRow(SimdLevel level);

// The row start of the window walk (see FilterWindows): the vector row when there is one and the
// amount has a fixed-point form.
struct EdgeRowStart {
  EdgeRowFunction row;
  std::optional<EdgeFixedPoint> products;
  uint32_t operator()(const uint8_t* const* rows, uint8_t* out, uint32_t width, Selection mode, uint32_t key) const {
    return row && products ? row(rows, out, width, mode, key, *products) : 1;
  }
};

}  // namespace ormi
