// Image handles as a host makes and frees them: a record that names a packed bitmap.
#pragma once

#include <ormi/effects.h>

namespace ormi::host {

// Wraps a packed bitmap in a new image handle, filled as the library fills the records it
// creates (header copy locked and kept). The bitmap then belongs to the handle. 0 on failure.
HGLOBAL WrapBitmap(HGLOBAL bitmap);

// Frees an image handle with its header copy and bitmap.
void FreeImageHandle(HGLOBAL image);

// The bitmap handle of an image (0 for a handle that is not an image).
HGLOBAL BitmapOfImage(HGLOBAL image);

// Sets the record's transparency: none, a colour key (COLORREF), or alpha-carried.
void SetNoTransparency(HGLOBAL image);
void SetColorKey(HGLOBAL image, uint32_t colorref);
void SetAlphaTransparency(HGLOBAL image);

}  // namespace ormi::host

namespace ormi::host {

// A new GHND block with the same bytes as the given one (0 when it cannot be made).
HGLOBAL CopyGlobalBlock(HGLOBAL block);

}  // namespace ormi::host
