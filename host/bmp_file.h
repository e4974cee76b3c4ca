// BMP files to and from packed bitmaps in global memory, at 1, 4, 8, 16, 24 and 32 bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <ormi/win32.h>

namespace ormi::host {

struct BitmapResult {
  HGLOBAL bitmap = nullptr;  // a GHND block the caller owns
  std::string error;         // why there is none
};

// Decodes a BMP file image in memory. Top-down files come back bottom-up, every info header
// (40 bytes and the longer versions) becomes a 40-byte one with the masks after the colour table.
BitmapResult DecodeBmp(const uint8_t* data, size_t size);
BitmapResult ReadBmpFile(const std::string& path);

// Encodes a packed bitmap as a BMP file; false with a reason when the bitmap is not well formed.
bool EncodeBmp(HGLOBAL bitmap, std::vector<uint8_t>& file, std::string& error);
bool WriteBmpFile(const std::string& path, HGLOBAL bitmap, std::string& error);

// Reads a whole file; false with a reason when it cannot.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

}  // namespace ormi::host
