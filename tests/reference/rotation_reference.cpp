// The plain quarter-turn movers kept as the reference of the tiled ones: pixel by pixel in source
// order.
#include <cstring>

#include "geometry/rotation_engine.h"
#include "reference/reference.h"

namespace ormi::reference {
namespace {

// Steps through destination rows in either direction; offsets wrap harmlessly past the last row
// because they are never used there.
inline size_t Step(size_t offset, size_t stride, bool up) { return up ? offset + stride : offset - stride; }

// 8, 16, 24 and 32 bits: one memcpy of a constant size per pixel.
template <size_t Bytes>
void TurnWholePixels(const TurnFrame& f) {
  const uint32_t w = f.width, h = f.height;
  for (uint32_t r = 0; r < h; ++r) {
    const uint8_t* src = f.source + r * f.sourceStride;
    if (f.degrees == 180) {
      uint8_t* dst = f.destination + (h - 1 - r) * f.destinationStride + size_t{w} * Bytes;
      for (uint32_t x = 0; x < w; ++x, src += Bytes) {
        dst -= Bytes;
        std::memcpy(dst, src, Bytes);
      }
      continue;
    }
    // 90: row x, column H-1-r; 270: row W-1-x, column r.
    const bool up = f.degrees == 90;
    size_t offset = up ? (h - 1 - r) * Bytes : (w - size_t{1}) * f.destinationStride + r * Bytes;
    for (uint32_t x = 0; x < w; ++x, src += Bytes) {
      std::memcpy(f.destination + offset, src, Bytes);
      offset = Step(offset, f.destinationStride, up);
    }
  }
}

}  // namespace

void QuarterTurnWholePixels(const TurnFrame& frame, size_t bytesPerPixel) {
  switch (bytesPerPixel) {
    case 4: TurnWholePixels<4>(frame); break;
    case 3: TurnWholePixels<3>(frame); break;
    case 2: TurnWholePixels<2>(frame); break;
    default: TurnWholePixels<1>(frame); break;
  }
}

}  // namespace ormi::reference
