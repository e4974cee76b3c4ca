#pragma once

#include <ormi/win32.h>

namespace ormi::fx {

// The built-in sample picture: a 32-bit opaque scene with smooth ramps, hard edges, fine
// detail and a few flat areas, so that every effect has something to show.
HGLOBAL MakeSampleBitmap(int width = 320, int height = 240);

}  // namespace ormi::fx
