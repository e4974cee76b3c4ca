// Matrix helpers of the colour correction. The evaluation orders are those the results depend on:
//   det = a*e*i - a*h*f + b*f*g - b*d*i + c*h*d - c*e*g, summed left to right;
//   inverse[r][c] = (+/-) cofactor / det.
// The output matrix: primaries as columns M, wn = (wx / wy, 1, wz / wy), S = M^-1 wn, every column
// j of M scaled by S[j], and the result inverted.
#include "correction/color_matrix.h"

#include <cmath>

namespace ormi {
namespace {

bool IsFinite(const Matrix3& m) {
  for (const Vector3& row : m) {
    for (double v : row) {
      if (!std::isfinite(v)) return false;
    }
  }
  return true;
}

// A determinant this small against the product of the rows' lengths (its largest possible size)
// is the rounding noise of a singular matrix, such as that of primaries on one line: its inverse
// would be meaningless or a division by zero.
bool IsInvertible(const Matrix3& m, double det) {
  constexpr double kSingularRatio = 1e-12;
  double rowLengths = 1.0;
  for (const Vector3& row : m) rowLengths *= std::sqrt(row[0] * row[0] + row[1] * row[1] + row[2] * row[2]);
  return std::isfinite(det) && std::fabs(det) > kSingularRatio * rowLengths;
}

}  // namespace

std::optional<Matrix3> InvertMatrix3(const Matrix3& m) {
  const double a = m[0][0], b = m[0][1], c = m[0][2];
  const double d = m[1][0], e = m[1][1], f = m[1][2];
  const double g = m[2][0], h = m[2][1], i = m[2][2];
  const double det = a * e * i - a * h * f + b * f * g - b * d * i + c * h * d - c * e * g;
  if (!IsInvertible(m, det)) return std::nullopt;
  Matrix3 r;
  r[0][0] = (e * i - f * h) / det;
  r[0][1] = -(b * i - c * h) / det;
  r[0][2] = (b * f - c * e) / det;
  r[1][0] = -(d * i - f * g) / det;
  r[1][1] = (a * i - c * g) / det;
  r[1][2] = -(a * f - c * d) / det;
  r[2][0] = (d * h - e * g) / det;
  r[2][1] = -(a * h - b * g) / det;
  r[2][2] = (a * e - b * d) / det;
  if (!IsFinite(r)) return std::nullopt;
  return r;
}

std::optional<Matrix3> BuildXyzToRgbMatrix(const Vector3& white, const Vector3& red, const Vector3& green,
                                           const Vector3& blue) {
  Matrix3 m;
  for (int k = 0; k < 3; ++k) m[k] = {red[k], green[k], blue[k]};
  const Vector3 wn = {white[0] / white[1], 1.0, white[2] / white[1]};
  const std::optional<Matrix3> inverse = InvertMatrix3(m);
  if (!inverse) return std::nullopt;
  Vector3 s;
  for (int k = 0; k < 3; ++k) {
    double sum = 0.0;
    for (int j = 0; j < 3; ++j) sum += (*inverse)[k][j] * wn[j];
    s[k] = sum;
  }
  for (int k = 0; k < 3; ++k) {
    for (int j = 0; j < 3; ++j) m[k][j] *= s[j];
  }
  return InvertMatrix3(m);
}

}  // namespace ormi
