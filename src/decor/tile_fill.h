#pragma once

#include <ormi/win32.h>

namespace ormi {

// A new moveable 32-bit bitmap of the rectangle's size: the 32-bit tile repeated from the first
// stored row and column where the 1-bit mask is 0 (its alpha kept), all four bytes 0 where it is
// 1. Null for a missing, unlockable, wrongly deep or too small mask, a missing, unlockable, not
// 32-bit, empty or top-down tile, a missing, inverted or oversized rectangle, or no memory.
HGLOBAL TileForText(const RECT* rect, HGLOBAL mask, HGLOBAL tile);

}  // namespace ormi
