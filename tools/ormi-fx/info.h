#pragma once

#include <string>

namespace ormi::fx {

// ormi-fx info FILE: the bitmap header as ormi-fx reads the file, the colour table, and which
// effects of each family would accept the picture. Returns an exit status.
int RunInfo(const std::string& path);

}  // namespace ormi::fx
