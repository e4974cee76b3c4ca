// Seeds of the picture harness: small valid files of every format and variant.
#pragma once

#include <string>

namespace ormi::fuzz {

void WritePictureSeeds(const std::string& dir);

}  // namespace ormi::fuzz
