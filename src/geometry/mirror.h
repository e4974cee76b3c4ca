#pragma once

#include <ormi/effects.h>

#include "image/dib.h"

namespace ormi {

// ImgMirror's frame: the magic is checked, both flips 0 answer 1 without touching the image, a
// missing bitmap or header copy answers 0, and the host's GDI object is deleted before the work.
int MirrorImage(HGLOBAL image, int flipRows, int flipColumns);

// Locks the bitmap and mirrors it; 0 when it does not lock.
int ImgMirrorDib(HGLOBAL bitmap, const BITMAPINFOHEADER& headerCopy, bool flipRows, bool flipColumns);

// Mirrors a locked bitmap in place: its header must agree with the header copy and its rows lie
// inside its block, else 0 and nothing changes. Also 0 when the row buffer cannot be allocated.
int ImgMirrorPixels(DibBlock bitmap, const BITMAPINFOHEADER& headerCopy, bool flipRows, bool flipColumns);

}  // namespace ormi
