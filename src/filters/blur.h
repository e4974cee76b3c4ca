#pragma once

#include <ormi/win32.h>

#include "image/dib.h"
#include "image/transparency.h"

namespace ormi {

// Bitmap-handle layer: 0 when the bitmap does not lock, else the worker's success.
int ImgBlurDib(HGLOBAL bitmap, double amount, const TransparencyArg& transparency);
// Worker on a locked bitmap: 1 when it filtered, 0 when refused or out of memory.
int ImgBlurPixels(DibBlock bitmap, double amount, const TransparencyArg& transparency);

}  // namespace ormi
