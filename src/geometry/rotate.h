#pragma once

#include <ormi/effects.h>

namespace ormi {

// ImgRotate on a locked record whose GDI object is gone: quarter turns at every depth, any other
// angle at 32 bits by scan conversion. A new image, or 0.
HGLOBAL RotateImage(const ImageRecord& record, int degrees);

}  // namespace ormi
