// Colour correction of 32-bit images from one of four built-in device profiles to an output RGB
// space given by the chromaticities of its primaries, under a chosen target white.
//
// Per pixel, in double precision and this order:
//   v[k] = sum over j = 0..3 of (in[j] / 255.0) * profile[k][j], from 0.0; v[k] *= adaptation[k]
//     with in = (r, g, b, t), t = r * g * b / 65536 truncated, adaptation = (Xt / Xs, 1, Zt / Zs);
//   o[k] = sum over j of xyzToRgb[k][j] * v[j], from 0.0; clamped to 1 then to 0; out = o * 255
//     truncated.
// The fourth byte never changes; with a colour key in force a pixel that shares any one channel
// with the key is left alone. Everything is linear: no tone curve is applied.
#include "correction/color_correction.h"
#include "image/unit_of_byte.h"

#include <cmath>
#include <optional>

#include "correction/color_correction_kernels.h"
#include "correction/correction_frame.h"
#include "image/global_memory.h"

namespace ormi {

const ProfileMatrix ColorProfileMatrix[4] = {
    {{0.55549, 0.26367, 0, 0}, {0.38019, 0.66552, -0.08312, 0}, {0.12361, 0, 0.82185, 0}},
    {{0.68145, 0.18372, 0.09649, 0}, {0.42619, 0.57695, 0, 0}, {0, 0, 0.90706, 0}},
    {{0.59031, 0.11711, 0.10123, 0}, {0.41984, 0.44904, 0, 0}, {0.10599, 0, 0.83166, 0}},
    {{0.65546, 0.39135, 0, 0}, {0.37311, 0.6287, 0, 0}, {-0.02633, 0, 0.46506, 0}},
};

const double ColorProfileWhite[4][2] = {
    {93.73457, 111.0946}, {96.07735, 95.5562}, {98.3594, 62.02108}, {105.1676, 35.34657}};

const double ColorTargetWhite[3][4][2] = {
    {{96.3, 96.3}, {96.57, 96.57}, {95.48, 95.48}, {96.42, 82.49}},
    {{94.94, 94.94}, {95.01, 95.01}, {95.28, 95.28}, {95.04, 108.89}},
    {{96.22, 96.22}, {95.39, 95.39}, {99.63, 99.63}, {95.3, 141.27}},
};

double PrimaryRedX, PrimaryRedY, PrimaryGreenX, PrimaryGreenY, PrimaryBlueX, PrimaryBlueY;
Vector3 WhiteAdaptation;
Matrix3 XyzToRgbMatrix;

namespace {

// White codes with their own column in ColorTargetWhite; every other code takes the last one.
int TargetWhiteColumn(int white) { return white >= 330 && white <= 332 ? white - 330 : 3; }

struct Conversion {
  const ProfileMatrix* profile;
  ColorTarget target;
};

void ConvertPixel(uint8_t* p, const Conversion& conversion) {
  const uint8_t b = p[0], g = p[1], r = p[2];
  const auto t = static_cast<uint8_t>((uint32_t{r} * g * b) >> 16);
  int out[3];
  ColorCorrectPixel(r, g, b, t, *conversion.profile, conversion.target, out);
  p[0] = static_cast<uint8_t>(out[2]);
  p[1] = static_cast<uint8_t>(out[1]);
  p[2] = static_cast<uint8_t>(out[0]);
}

void ConvertRow(uint8_t* p, uint32_t width, const Conversion& conversion, CorrectRunKernel kernel,
                const CorrectRun& run) {
  uint32_t x = 0;
  if (kernel) {
    x = static_cast<uint32_t>(kernel(p, width, run));
    p += size_t{4} * x;
  }
  for (; x < width; ++x, p += 4) ConvertPixel(p, conversion);
}

void ConvertKeyedRow(uint8_t* p, uint32_t width, const Conversion& conversion, const ChannelKey& key) {
  for (uint32_t x = 0; x < width; ++x, p += 4) {
    if (!key.skips(p)) ConvertPixel(p, conversion);
  }
}

Vector3 Chromaticity(double x, double y) { return {x, y, 1.0 - x - y}; }

// Sets WhiteAdaptation and XyzToRgbMatrix for a profile; false when the primaries are degenerate.
bool SetUpTarget(const ProfileCode& code, int white) {
  const double* source = ColorProfileWhite[code.profile];
  const double* target = ColorTargetWhite[code.variant][TargetWhiteColumn(white)];
  const double xt = target[0], zt = target[1];
  WhiteAdaptation = {xt / source[0], 1.0, zt / source[1]};
  const double sum = xt + 100.0 + zt;
  const Vector3 whitePoint = {xt / sum, 100.0 / sum, zt / sum};
  const std::optional<Matrix3> matrix =
      BuildXyzToRgbMatrix(whitePoint, Chromaticity(PrimaryRedX, PrimaryRedY),
                          Chromaticity(PrimaryGreenX, PrimaryGreenY), Chromaticity(PrimaryBlueX, PrimaryBlueY));
  if (!matrix) return false;
  XyzToRgbMatrix = *matrix;
  return true;
}

}  // namespace

void SetColorPrimaries(const double* primaries) {
  PrimaryRedX = primaries[0];
  PrimaryRedY = primaries[1];
  PrimaryGreenX = primaries[2];
  PrimaryGreenY = primaries[3];
  PrimaryBlueX = primaries[4];
  PrimaryBlueY = primaries[5];
}

void ColorCorrectPixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t product, const ProfileMatrix& matrix,
                       const ColorTarget& target, int out[3]) {
  const double in[4] = {kUnitOfByte[red], kUnitOfByte[green], kUnitOfByte[blue], kUnitOfByte[product]};
  double xyz[3];
  for (int k = 0; k < 3; ++k) {
    double v = 0.0;
    for (int j = 0; j < 4; ++j) v += in[j] * matrix[k][j];
    xyz[k] = v * target.whiteAdaptation[k];
  }
  for (int k = 0; k < 3; ++k) {
    double o = 0.0;
    for (int j = 0; j < 3; ++j) o += target.xyzToRgb[k][j] * xyz[j];
    if (o >= 1.0) o = 1.0;
    // Written so that a NaN (from overflowing extreme matrices) also becomes 0.
    if (!(o > 0.0)) o = 0.0;
    out[k] = static_cast<int>(o * 255.0);
  }
}

CorrectEstimate EstimateOfCorrection(const ProfileMatrix& matrix, const ColorTarget& target) {
  CorrectEstimate estimate{};
  for (int m = 0; m < 3; ++m) {
    if (matrix[m][3] != 0) return estimate;
  }
  for (int k = 0; k < 3; ++k) {
    double bound = 0;
    for (int m = 0; m < 3; ++m) {
      const double weight = std::fabs(target.xyzToRgb[k][m]) * std::fabs(target.whiteAdaptation[m]);
      bound += weight * (std::fabs(matrix[m][0]) + std::fabs(matrix[m][1]) + std::fabs(matrix[m][2]));
    }
    // Also refuses not a number; the bound keeps the estimates far inside the 32-bit integers.
    if (!(bound <= 65536)) return estimate;
    for (int j = 0; j < 3; ++j) {
      double sum = 0;
      for (int m = 0; m < 3; ++m) sum += target.xyzToRgb[k][m] * (target.whiteAdaptation[m] * matrix[m][j]);
      estimate.coefficient[k][j] = static_cast<float>(sum);
    }
    estimate.margin[k] = static_cast<float>(255 * bound * 0x1p-20 + 0x1p-30);
  }
  estimate.usable = true;
  return estimate;
}

CorrectRunKernel SelectColorCorrectRun(SimdLevel level) {
  if (level == SimdLevel::Avx512) return ColorCorrectRunAvx512;
  return HasAvx2(level) ? ColorCorrectRunAvx2 : nullptr;
}

int ImgColorCorrectionPixels(DibBlock bitmap, int code, int white, const TransparencyArg& transparency) {
  const std::optional<DibView> view = ViewCorrectable(bitmap);
  if (!view) return 0;
  const std::optional<ProfileCode> profile = ParseProfileCode(code);
  if (!profile || !SetUpTarget(*profile, white)) return 0;

  // A local copy: the byte stores of the pass cannot then force the globals to be read per pixel.
  const Conversion conversion{&ColorProfileMatrix[profile->profile], {WhiteAdaptation, XyzToRgbMatrix}};
  const ChannelKey key(transparency);
  const auto width = static_cast<uint32_t>(view->width);
  const uint32_t rows = CorrectedRows(*view);
  const CorrectRunKernel kernel = SelectColorCorrectRun(ActiveSimdLevel());
  const CorrectRun run{conversion.profile, conversion.target,
                       kernel ? EstimateOfCorrection(*conversion.profile, conversion.target) : CorrectEstimate{}};
  for (uint32_t r = 0; r < rows; ++r) {
    if (key.inForce()) {
      ConvertKeyedRow(view->row(r), width, conversion, key);
    } else {
      ConvertRow(view->row(r), width, conversion, kernel, run);
    }
  }
  return 1;
}

int ImgColorCorrectionDib(HGLOBAL bitmap, int code, int white, const TransparencyArg& transparency) {
  GlobalLockGuard lock(bitmap);
  if (!lock) return 0;
  return ImgColorCorrectionPixels(lock.block(), code, white, transparency);
}

}  // namespace ormi
