#pragma once

#include <cstdint>

#include <ormi/win32.h>

#include "correction/color_matrix.h"
#include "image/dib.h"
#include "image/transparency.h"

namespace ormi {

// Device RGB to XYZ of the four built-in profiles: rows X, Y, Z; columns red/255, green/255,
// blue/255 and the product term t/255.
using ProfileMatrix = double[3][4];
extern const ProfileMatrix ColorProfileMatrix[4];
// The profiles' whites: X and Z with Y = 100.
extern const double ColorProfileWhite[4][2];
// The target whites (X, Z with Y = 100) by the code's second digit and the white code 330, 331,
// 332 or any other.
extern const double ColorTargetWhite[3][4][2];

// Module state, rewritten by every call: the output primaries (x, y) as the caller gave them, and
// the matrices built from them. Plain globals: colour corrections run one at a time.
extern double PrimaryRedX, PrimaryRedY, PrimaryGreenX, PrimaryGreenY, PrimaryBlueX, PrimaryBlueY;
extern Vector3 WhiteAdaptation;
extern Matrix3 XyzToRgbMatrix;

// Stores the six chromaticities red x, y, green x, y, blue x, y.
void SetColorPrimaries(const double* primaries);

// What the output side of a conversion needs: the white scaling of X, Y, Z and XYZ to RGB.
struct ColorTarget {
  Vector3 whiteAdaptation;
  Matrix3 xyzToRgb;
};

// One pixel: (in / 255) through the profile matrix, scaled by the white adaptation, through the
// XYZ-to-RGB matrix, clamped to 0..1 and scaled to 0..255, truncated. out is red, green, blue.
void ColorCorrectPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t product, const ProfileMatrix& matrix,
                       const ColorTarget& target, int out[3]);

// Locks the bitmap and converts it: 0 when it does not lock or is refused.
int ImgColorCorrectionDib(HGLOBAL bitmap, int code, int white, const TransparencyArg& transparency);

// Converts a locked 32-bit bitmap in place from the profile of `code` to the output space of the
// stored primaries under the target white. 0 for another depth, a bitmap larger than its block,
// a code that names no profile, or primaries that give no output matrix; nothing is changed then.
int ImgColorCorrectionPixels(DibBlock bitmap, int code, int white, const TransparencyArg& transparency);

}  // namespace ormi
