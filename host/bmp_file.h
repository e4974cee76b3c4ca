// BMP files to and from packed bitmaps in global memory, at 1, 4, 8, 16, 24 and 32 bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <ormi/win32.h>

#include "host/picture_limits.h"

namespace ormi::host {

struct BitmapResult {
  HGLOBAL bitmap = nullptr;  // a GHND block the caller owns
  std::string error;         // why there is none
};

// Decodes a BMP file image in memory: Windows headers of 40 bytes and longer, OS/2 headers of 12
// bytes (3-byte colour entries), RLE8 and RLE4 rows (expanded at the same depth). Top-down files
// come back bottom-up and every header becomes a 40-byte one with the masks after the colour
// table; 32-bit masks other than the plain byte order are applied, giving plain BGRA pixels.
// Pictures of more than `maxPixels` pixels are refused before anything is allocated.
BitmapResult DecodeBmp(const uint8_t* data, size_t size, uint64_t maxPixels = kDefaultMaxPixels);
BitmapResult ReadBmpFile(const std::string& path);

// Encodes a packed bitmap as a BMP file (masks before the colour table, as files have them); false
// with a reason when the bitmap is not well formed. With `withAlpha` a 32-bit bitmap gets a
// 124-byte header whose alpha mask names the fourth byte, so that other programs see the alpha.
bool EncodeBmp(HGLOBAL bitmap, std::vector<uint8_t>& file, std::string& error, bool withAlpha = false);
bool WriteBmpFile(const std::string& path, HGLOBAL bitmap, std::string& error);

// Reads a whole file; false with a reason when it cannot.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace ormi::host
