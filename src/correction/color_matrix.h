// 3x3 matrices of the colour correction: inversion by cofactors and the XYZ-to-RGB matrix of an
// output space given by its primaries and white.
#pragma once

#include <array>
#include <optional>

namespace ormi {

using Vector3 = std::array<double, 3>;
using Matrix3 = std::array<Vector3, 3>;  // row-major

// The inverse of m (the transposed cofactors over the determinant), or nothing when m is
// singular (within rounding) or the inverse is not finite.
std::optional<Matrix3> InvertMatrix3(const Matrix3& m);

// The matrix from XYZ to the RGB space whose primaries have the chromaticities red, green and blue
// (x, y, z) and whose white has the chromaticity white; nothing when the primaries make it singular.
std::optional<Matrix3> BuildXyzToRgbMatrix(const Vector3& white, const Vector3& red, const Vector3& green,
                                           const Vector3& blue);

}  // namespace ormi
