// A chain of effects applied in order to one picture in memory.
#pragma once

#include <string>
#include <vector>

#include <ormi/win32.h>

#include "options.h"

namespace ormi::fx {

// Applies every step to the image; a rotation's new image takes the place of the old one, which
// is freed. Stops at the first step that fails; `error` then names the step (in a chain) and why.
int ApplyChain(const std::vector<Step>& steps, HGLOBAL& image, std::string& error);

// Reads INPUT, applies the chain and writes OUTPUT in `format`. Returns an exit status; `error`
// names the file and the reason when it is not kDone. Nothing is written when a step fails.
int ProcessFile(const std::vector<Step>& steps, const PictureOptions& options, const std::string& input,
                const std::string& output, std::string& error);

}  // namespace ormi::fx
