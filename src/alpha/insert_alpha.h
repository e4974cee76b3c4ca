#pragma once

#include <cstdint>

#include <ormi/effects.h>

#include "image/dib.h"

namespace ormi {

// Gives every pixel of the colour (a COLORREF) the alpha byte. 1 after the walk; 0 for a depth
// other than 32, a bitmap that cannot be locked or one that does not fit its block.
int ImgInsertAlphaDib(HGLOBAL bitmap, uint8_t alpha, uint32_t color);
int ImgInsertAlphaPixels(DibBlock bitmap, uint8_t alpha, uint32_t color);

// The export's work on a locked record: refused (0, record unchanged) when the alpha bytes
// already carry transparency; otherwise the pixels, then the record marked as alpha-carried
// whatever the pixels reported.
int InsertAlphaImage(ImageRecord& record, int alpha, int color);

}  // namespace ormi
