// TIFF (libtiff), WebP (libwebp) and GIF (giflib, read only): every picture reads as 32-bit BGRA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <ormi/win32.h>

#include "host/picture_file.h"
#include "host/picture_limits.h"

namespace ormi::host {

// Pictures of more than `maxPixels` pixels are refused before their pixels are allocated.
Picture DecodeTiff(const uint8_t* data, size_t size, uint64_t maxPixels = kDefaultMaxPixels);
Picture DecodeWebp(const uint8_t* data, size_t size, uint64_t maxPixels = kDefaultMaxPixels);
// The first frame on the logical screen; the transparent index and the screen outside the frame
// read as alpha 0.
Picture DecodeGif(const uint8_t* data, size_t size, uint64_t maxPixels = kDefaultMaxPixels);

enum class TiffCompression { None, Lzw, Deflate, Jpeg };

// Any depth: a palette bitmap is written as 8-bit grey when its colours are the grey ramp and as a
// palette otherwise (RGB under JPEG compression, which has no palettes); other depths as RGB, and
// 32 bits with `withAlpha` as RGBA with unassociated alpha.
bool EncodeTiff(HGLOBAL bitmap, bool withAlpha, TiffCompression compression, std::vector<uint8_t>& file,
                std::string& error);

// A 32-bit bitmap; lossless keeps every pixel, and also the colour of pixels of alpha 0.
bool EncodeWebp(HGLOBAL bitmap32, bool withAlpha, bool lossless, int quality, std::vector<uint8_t>& file,
                std::string& error);

}  // namespace ormi::host
