#pragma once

#include <ormi/effects.h>

#include "image/dib.h"

namespace ormi {

// Gives every destination pixel the source pixel's fourth byte. 1 when both are 32-bit with the
// same width and height; 0 (nothing changed) otherwise or when a bitmap cannot be locked or does
// not fit its block.
int ImgCopyAlphaDib(HGLOBAL destination, HGLOBAL source);
int ImgCopyAlphaPixels(DibBlock destination, DibBlock source);

// The export's work on two locked records: the pixels, then the source's transparency state
// carried over to the destination whatever the pixels reported.
int CopyAlphaImages(ImageRecord& destination, const ImageRecord& source);

}  // namespace ormi
