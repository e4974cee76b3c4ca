#pragma once

#include <ormi/effects.h>

namespace ormi {

// A new image, larger by passes + 1 pixels on every side, with the source in its centre, a
// border in the colour of the source's first stored pixel, and the alpha channel spread outward
// in `passes` rings. Null when the source is not a 32-bit bitmap of the record's width and
// height, passes is negative, the size overflows, or memory runs out (nothing is left behind).
HGLOBAL ImgDiffImage(const ImageRecord& source, int passes);

}  // namespace ormi
