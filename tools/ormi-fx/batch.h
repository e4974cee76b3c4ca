// Running a chain over files: one INPUT to one OUTPUT, or with --out-dir every input into DIR.
#pragma once

#include <string>
#include <vector>

#include "options.h"

namespace ormi::fx {

// Runs the chain on every input. A failing file is reported on one line and the others go on;
// the status is kDone when every file was written, else the highest status of a failure.
int RunFiles(const std::vector<Step>& steps, const std::vector<std::string>& files, const PictureOptions& options);

}  // namespace ormi::fx
