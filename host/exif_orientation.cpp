#include "host/exif_orientation.h"

#include <cstring>

namespace ormi::host {

int ExifOrientation(const uint8_t* segment, size_t size) {
  constexpr size_t kTiff = 6;  // after "Exif\0\0"
  if (size < kTiff + 8 || std::memcmp(segment, "Exif\0\0", 6) != 0) return 0;
  const uint8_t* tiff = segment + kTiff;
  const size_t length = size - kTiff;
  const bool little = tiff[0] == 'I' && tiff[1] == 'I';
  if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 0;
  auto read16 = [&](size_t at) { return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1]; };
  auto read32 = [&](size_t at) {
    return static_cast<uint32_t>(read16(little ? at + 2 : at)) << 16 | read16(little ? at : at + 2);
  };
  if (read16(2) != 42) return 0;
  const uint32_t directory = read32(4);
  if (directory > length - 2) return 0;
  const uint32_t entries = read16(directory);
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = directory + 2 + size_t{12} * i;
    if (entry + 12 > length) return 0;
    if (read16(entry) != 0x0112) continue;
    const int value = read16(entry + 8);
    return read16(entry + 2) == 3 && value >= 1 && value <= 8 ? value : 0;  // a SHORT
  }
  return 0;
}

}  // namespace ormi::host
