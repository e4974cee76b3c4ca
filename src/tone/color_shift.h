// RGB and HSI colour shifts of 32-bit images, in three layers: on a locked bitmap (Pixels), on a
// bitmap handle (Dib), and the export.
#pragma once

#include <cstdint>

#include <ormi/win32.h>

#include "image/dib.h"
#include "image/transparency.h"

namespace ormi {

// Adds a signed shift to each of red, green and blue, held in 0..255. 1 when the pixels were
// walked, 0 for a bitmap that is missing, not 32-bit or larger than its block.
int ImgAdjustColorRGBPixels(DibBlock bitmap, int16_t redShift, int16_t greenShift, int16_t blueShift,
                            const TransparencyArg& transparency);
int ImgAdjustColorRGBDib(HGLOBAL bitmap, int16_t redShift, int16_t greenShift, int16_t blueShift,
                         const TransparencyArg& transparency);

// Shifts every pixel's hue (in turns), saturation and intensity; same results as above.
int ImgAdjustColorHSIPixels(DibBlock bitmap, double hueShift, double saturationShift, double intensityShift,
                            const TransparencyArg& transparency);
int ImgAdjustColorHSIDib(HGLOBAL bitmap, double hueShift, double saturationShift, double intensityShift,
                         const TransparencyArg& transparency);

// One pixel's bytes through HSI: intensity and saturation shifted and held in 0..1, the hue shifted
// and wrapped round the circle.
void ShiftPixelHsi(double hueShift, double saturationShift, double intensityShift, uint8_t& red, uint8_t& green,
                   uint8_t& blue);

}  // namespace ormi
