#pragma once

#include <ormi/win32.h>

namespace ormi::fx {

// The built-in sample picture, the same every time: a 32-bit landscape with a smooth sky, a soft
// sun, noisy grass, a house with hard edges, a sign of small lettering, a few speckles, and a
// transparent corner with a soft edge (its alpha bytes carry the transparency).
HGLOBAL MakeSampleBitmap(int width = 400, int height = 300);

}  // namespace ormi::fx
