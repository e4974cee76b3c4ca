// Plain implementations kept beside the optimised ones: each is the straightforward loop the
// library had before its speed work, and the differential tests hold the two to identical bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include <ormi/effects.h>

#include "geometry/rotation_engine.h"
#include "image/dib.h"
#include "image/transparency.h"

namespace ormi::reference {

int InvertImage(ImageRecord& record);
int MirrorImage(HGLOBAL image, int flipRows, int flipColumns);
// The RGB shift of a locked bitmap.
int AdjustColorRGBPixels(DibBlock bitmap, int16_t redShift, int16_t greenShift, int16_t blueShift,
                         const std::optional<uint32_t>& transparency);
// Set alpha colour of a locked mask and target.
int PlainSetAlphaColorPixels(DibBlock mask, DibBlock target, uint32_t color);
// RGB to HSI and back as the library first had it (the way back wraps any hue fully round).
void PlainRgbToHsi(uint8_t red, uint8_t green, uint8_t blue, double& hue, double& saturation, double& intensity);
void PlainHsiToRgb(double hue, double saturation, double intensity, uint8_t& red, uint8_t& green, uint8_t& blue);
// One pixel through the HSI shift, and through the adjustable contrast (direction +1 or -1).
void PlainShiftPixelHsi(double hueShift, double saturationShift, double intensityShift, uint8_t& red, uint8_t& green,
                        uint8_t& blue);
void PlainIntensity(int direction, uint8_t& red, uint8_t& green, uint8_t& blue);
// The HSI shift of a locked bitmap.
int AdjustColorHSIPixels(DibBlock bitmap, double hueShift, double saturationShift, double intensityShift,
                         const std::optional<uint32_t>& transparency);
// Adjustable contrast of a locked bitmap.
int AdjContrastPixels(DibBlock bitmap, int mode, const std::optional<uint32_t>& transparency);
// The halo of a locked record as a new image.
HGLOBAL PlainDiffImage(const ImageRecord& source, int passes);
// Equalisation and normalisation of a bitmap handle under a transparency argument.
int EqualiseBitmap(HGLOBAL bitmap, const std::optional<uint32_t>& transparency);
int NormaliseBitmap(HGLOBAL bitmap, const std::optional<uint32_t>& transparency);
// Blur and sharpen of an image handle, as their exports run them (the return value is the
// bitmap routine's).
int BlurImage(HGLOBAL image, double amount);
int SharpenImage(HGLOBAL image, double amount);
// Emboss's kernel pass alone (before its normalisation).
int EmbossWindowsImage(HGLOBAL image);
// Despeckle of a locked bitmap: whole planes, cell by cell.
int DespecklePixels(DibBlock bitmap, const TransparencyArg& transparency);
// Edge's kernel pass alone (before its normalisation).
int EdgeWindowsImage(HGLOBAL image, double amount);
// Enhance of an image handle (the bitmap routine's return value).
int EnhanceImage(HGLOBAL image);
// The quarter-turn movers at 8, 16, 24 and 32 bits (1 to 4 bytes a pixel).
void QuarterTurnWholePixels(const TurnFrame& frame, size_t bytesPerPixel);
int BrightnessImage(ImageRecord& record, int delta);
int GammaImage(ImageRecord& record, int level);
int ContrastImage(ImageRecord& record, int amount);

// The text fills' pixels (rows bottom-up, 4 bytes each) as plain per-pixel loops: the ramp's
// accumulators, the tile's column counter and the mask tested pixel by pixel.
std::vector<uint8_t> GradientForTextPixels(int width, int height, uint32_t from, uint32_t to, int degrees,
                                           HGLOBAL mask);
std::vector<uint8_t> TileForTextPixels(int width, int height, HGLOBAL mask, HGLOBAL tile);

}  // namespace ormi::reference
