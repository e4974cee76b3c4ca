// Brightness, contrast and preset gamma: three maps of component values sent through the shared
// component pass.
#pragma once

#include <ormi/effects.h>

#include "image/dib.h"

namespace ormi {

// The work of ImgBrightness and ImgGamma inside the direct frame, and of ImgContrast inside the
// validating frame: 1 when the image was changed or left alone as it should be, 0 when refused.
int BrightnessImage(ImageRecord& record, int delta);
int GammaImage(ImageRecord& record, int level);
int ContrastImage(ImageRecord& record, int amount);

// A component pushed away from (amount > 0) or pulled towards (amount < 0) the pivot grey.
int ContrastLevel(int component, int amount, double pivot);

// The mean red, green and blue of every pixel, palette indices looked up in the colour table.
struct MeanColor {
  double red = 0, green = 0, blue = 0;
};
MeanColor DibMeanColor(const DibView& bitmap);

}  // namespace ormi
