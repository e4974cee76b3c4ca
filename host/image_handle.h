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

// Sets every fourth byte of a 32-bit BI_RGB bitmap to 0, as a BMP without alpha has them; false
// (and nothing changed) for any other bitmap.
bool ClearAlpha(HGLOBAL bitmap);

// What a BMP without alpha holds: for a 32-bit BI_RGB bitmap a new copy whose fourth bytes are 0,
// for any other bitmap the bitmap itself; 0 when the copy cannot be made (out of memory).
HGLOBAL BitmapWithoutAlpha(HGLOBAL bitmap);

}  // namespace ormi::host
