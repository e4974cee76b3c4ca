#pragma once

#include <ormi/effects.h>

namespace ormi {

// ImgBlockRotate on a locked record whose GDI object is gone: quarter turns as ImgRotate, any
// other angle at 32 bits on a grid of 2^level x 2^level cells, level 1 to 3. A new image, or 0.
HGLOBAL BlockRotateImage(const ImageRecord& record, int degrees, int level);

}  // namespace ormi
