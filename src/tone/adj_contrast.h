// Adjustable contrast of 32-bit images: each pixel's intensity moved half-way towards (or away
// from) a sine S-curve, hue and saturation kept.
#pragma once

#include <cstdint>

#include <ormi/win32.h>

#include "image/dib.h"
#include "image/transparency.h"

namespace ormi {

// 0 for a missing or non-32-bit bitmap (or one larger than its block), else 1 after the walk.
// A mode other than 0 raises contrast, 0 lowers it.
int ImgAdjContrastPixels(DibBlock bitmap, int mode, const TransparencyArg& transparency);
// 0 when the bitmap does not lock, else 1 when the routine above changed it.
int ImgAdjContrastDib(HGLOBAL bitmap, int mode, const TransparencyArg& transparency);

// One pixel's bytes with the intensity moved; direction +1 raises contrast, -1 lowers it.
void AdjContrastIntensity(int direction, uint8_t& red, uint8_t& green, uint8_t& blue);

}  // namespace ormi
