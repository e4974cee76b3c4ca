#pragma once

#include <string>

namespace ormi::fx {

// Renders the built-in sample through every effect of the catalog into OUT_DIR, with an
// index.html that shows the pictures side by side. Returns an exit status.
int RunDemo(const std::string& outDir);

}  // namespace ormi::fx
