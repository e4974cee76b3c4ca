// The orientation tag of a JPEG's EXIF block (APP1), which cameras set instead of turning pixels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormi::host {

// 1..8 as EXIF numbers them (1: as stored, 6: turn a quarter clockwise to show); 0 when the
// segment is not EXIF or has no valid orientation tag in its first directory.
int ExifOrientation(const uint8_t* segment, size_t size);

}  // namespace ormi::host
