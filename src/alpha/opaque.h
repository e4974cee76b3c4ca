#pragma once

#include <cstdint>

#include <ormi/effects.h>

#include "image/dib.h"

namespace ormi {

// How ImgOpaque reads its colour argument against the record's transparency state.
struct OpaqueKey {
  uint32_t key = 0;          // a COLORREF, or with bit 31 set (and not given) the fade request
  bool useAsGiven = false;   // the caller named the key: uniform or soft key
  bool keepOutside = false;  // pixels outside the soft key's box (or farther from the key) keep alpha
};

// The key, flags and rule chosen from the colour argument and the record's transparency.
OpaqueKey OpaqueKeyOf(const ImageRecord& record, int color);

// Writes the alpha bytes of a 32-bit bitmap by the rule the key selects. 1 after the walk; 0 for
// another depth, a bitmap that cannot be locked or one that does not fit its block.
int ImgOpaqueDib(HGLOBAL bitmap, int level, const OpaqueKey& key);
int ImgOpaquePixels(DibBlock bitmap, int level, const OpaqueKey& key);

// The export's work on a locked 32-bit record: runs the routine, then marks the record as one
// whose alpha bytes carry the transparency, whatever the routine reported.
int OpaqueImage(ImageRecord& record, int level, int color);

}  // namespace ormi
