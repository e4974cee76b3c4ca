#pragma once

#include <cstdint>

#include <ormi/win32.h>

#include "image/dib.h"
#include "image/transparency.h"

namespace ormi {

// The modes of the gamma correction: a profile's stretch and tables, or one shared table.
constexpr int kGammaModeProfile = 30;
constexpr int kGammaModeEncode = 20;  // table 12
constexpr int kGammaModeDecode = 40;  // table 13

// The input ranges of the four profiles, per channel red, green, blue.
inline constexpr double GammaProfileLow[4][3] = {{29, 32, 33}, {42, 50, 42}, {33, 37, 36}, {29, 25, 16}};
inline constexpr double GammaProfileHigh[4][3] = {{248, 248, 248}, {226, 226, 226}, {246, 246, 246}, {218, 217, 205}};

// Stretches red, green and blue linearly from the profile's (0..3) low..high to 9..255, clamped
// to 0..255 and truncated.
void GammaProfileStretch(int red, int green, int blue, int& outRed, int& outGreen, int& outBlue, int profile);

// Locks the bitmap and corrects it: 0 when it does not lock or is refused.
int ImgGammaCorrectionDib(HGLOBAL bitmap, int code, int mode, const TransparencyArg& transparency);

// Corrects a locked 32-bit bitmap in place through the loaded gamma tables. 1 when done (any
// mode other than 30, 20 and 40 changes nothing); 0 for another depth, a bitmap larger than its
// block, or a mode-30 code that names no profile.
int ImgGammaCorrectionPixels(DibBlock bitmap, int code, int mode, const TransparencyArg& transparency);

}  // namespace ormi
