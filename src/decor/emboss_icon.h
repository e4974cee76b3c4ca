#pragma once

#include <cstdint>

#include <ormi/effects.h>

#include "image/dib.h"

namespace ormi {

// Turns a 4- or 8-bit palette picture into a three-colour embossed one in place: index 0
// (background, pure green), 1 (first colour, the dark shape moved one pixel right and one row
// down the screen) and 2 (second colour, the shape where it was). 1 after embossing; 0 for
// another depth, a colour table of 2 entries or fewer, top-down rows, or a bitmap that cannot be
// locked or does not fit its block.
int TavoEmbossIconDib(HGLOBAL bitmap, int threshold, uint32_t firstColor, uint32_t secondColor);
int TavoEmbossIconPixels(DibBlock bitmap, int threshold, uint32_t firstColor, uint32_t secondColor);

}  // namespace ormi
