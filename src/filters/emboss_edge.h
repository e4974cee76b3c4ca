#pragma once

#include <ormi/win32.h>

#include "image/dib.h"
#include "image/transparency.h"

namespace ormi {

// Bitmap-handle layers: 0 when the bitmap does not lock, else the worker's success.
int ImgEmbossDib(HGLOBAL bitmap, const TransparencyArg& transparency);
int ImgEdgeDib(HGLOBAL bitmap, double amount, const TransparencyArg& transparency);

// Workers on a locked bitmap: the kernel pass, then the histogram normalisation of the whole
// bitmap. 1 when they filtered (whatever the normalisation reports), 0 when refused or out of memory.
int ImgEmbossPixels(DibBlock bitmap, const TransparencyArg& transparency);
int ImgEdgePixels(DibBlock bitmap, double amount, const TransparencyArg& transparency);

// The kernel passes alone, without the normalisation; same results as the workers.
int EmbossWindows(DibBlock bitmap, const TransparencyArg& transparency);
int EdgeWindows(DibBlock bitmap, double amount, const TransparencyArg& transparency);

}  // namespace ormi
