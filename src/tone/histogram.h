// Histogram equalisation and normalisation of 32-bit images: one table built from the luminance
// histogram, applied to red, green and blue alike.
#pragma once

#include <ormi/win32.h>

#include "image/dib.h"
#include "image/transparency.h"

namespace ormi {

// Stretches the luminance range of a locked 32-bit bitmap onto 0..254 (1 % clipped at each end).
int ImgNormalisePixels(DibBlock bitmap, const TransparencyArg& transparency);
int ImgEqualisePixels(DibBlock bitmap, const TransparencyArg& transparency);

// Lock the bitmap handle and run the routines above; 1 when they changed the image.
int ImgEqualiseDib(HGLOBAL bitmap, const TransparencyArg& transparency);
int ImgNormaliseDib(HGLOBAL bitmap, const TransparencyArg& transparency);

}  // namespace ormi
