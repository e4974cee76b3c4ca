#pragma once

#include <cstdint>

#include <ormi/effects.h>

#include "image/dib.h"

namespace ormi {

// Paints `color` (a COLORREF) into the target wherever the 32-bit mask has alpha 0. 1 when the
// mask is 32-bit, both have the same width and height and the target is 24- or 32-bit; 0 (and
// nothing changed) otherwise or when a bitmap cannot be locked or does not fit its block.
int SetAlphaColorDib(HGLOBAL mask, HGLOBAL target, uint32_t color);
int SetAlphaColorPixels(DibBlock mask, DibBlock target, uint32_t color);

// The export's work on two locked records: both must name a bitmap.
int SetAlphaColorImages(const ImageRecord& mask, const ImageRecord& target, uint32_t color);

}  // namespace ormi
