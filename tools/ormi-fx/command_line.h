// The command line: EFFECT [--option VALUE]... [then EFFECT [--option VALUE]...]... FILES, and
// the list, info and demo commands. Parsing is CLI11's; each effect between two "then" is parsed
// on its own, so that the same effect can appear twice with different values.
#pragma once

#include <string>
#include <vector>

#include "host/effect_check.h"
#include "options.h"

namespace ormi::fx {

enum class Action { Exit, List, Info, Demo, Effects, Version };

struct CommandLine {
  Action action = Action::Exit;
  int exitStatus = 0;  // for Action::Exit: help printed (0) or a usage error reported (2)
  std::vector<Step> steps;
  std::vector<std::string> files;  // INPUT OUTPUT, or with --out-dir the inputs
  PictureOptions options;
  std::string infoFile, demoDir, demoInput;
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

// The depths an effect takes, said and converted to, are the host's words.
using host::ConvertibleDepth;
using host::DescribeDepths;

}  // namespace ormi::fx
