#pragma once

#include <string>

namespace ormi::fx {

// Renders the built-in sample (and the picture at `input`, when given) through every effect of
// the catalog into OUT_DIR as PNG files, with an index.html gallery. Returns an exit status.
int RunDemo(const std::string& outDir, const std::string& input = {});

}  // namespace ormi::fx
