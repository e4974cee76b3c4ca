// The gamma table file "gammalut.tbl" in the Windows directory: 14 tables of 256 bytes, read
// into a module-wide buffer that the gamma correction maps colour values through.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormi {

constexpr size_t kGammaTableBytes = 3584;
constexpr size_t kGammaTableEntries = 256;
constexpr const char* kGammaTableFileName = "gammalut.tbl";

// Offsets of the tables inside the buffer: three per profile (red, green, blue), then the two
// shared tables of modes 20 and 40.
constexpr size_t GammaProfileTableOffset(int profile, int channel) {
  return 768 * static_cast<size_t>(profile) + kGammaTableEntries * static_cast<size_t>(channel);
}
constexpr size_t kGammaEncodeTableOffset = 3072;  // table 12
constexpr size_t kGammaDecodeTableOffset = 3328;  // table 13

// Module state: the image of the file's first 3584 bytes, and 1 once a load succeeded. Plain
// globals: loads and corrections are expected one at a time.
extern uint8_t GammaTable[kGammaTableBytes];
extern int32_t GammaTableLoaded;

void ClearGammaTable();
inline void SetGammaTableByte(size_t index, uint8_t value) { GammaTable[index] = value; }
inline uint8_t GetGammaTableByte(size_t index) { return GammaTable[index]; }
inline void SetGammaTableLoaded(int32_t value) { GammaTableLoaded = value; }
inline int32_t IsGammaTableLoaded() { return GammaTableLoaded; }

// Reads the file again, whatever was loaded before: 1 when it was opened and read, else 0 with
// the buffer all zero and the flag clear.
int LoadGammaTable();

}  // namespace ormi
