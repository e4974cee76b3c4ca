// What every export makes of representative inputs, one line per call: the export, the depth, the
// parameter values and a digest of everything the call left behind (the image, a new image or
// bitmap, the painted pixels, the return value). The native library and the DLL must print the
// same lines; floating point from two maths libraries is where they could part.
#pragma once

#include <string>
#include <vector>

namespace ormi::test {

std::vector<std::string> ResultDigests();

}  // namespace ormi::test
