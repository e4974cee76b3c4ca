// ormi-fx: applies ormiEffects to picture files from the command line.
//   ormi-fx EFFECT [--option VALUE]... [then EFFECT [--option VALUE]...]... INPUT OUTPUT
//   ormi-fx EFFECT [--option VALUE]... --out-dir DIR INPUT...
//   ormi-fx EFFECT [--option VALUE]...          (an effect that takes no picture)
//   ormi-fx info FILE | demo OUT_DIR [--input FILE] | list
#include <cstdio>
#include <string>

#include "apply.h"
#include "batch.h"
#include "command_line.h"
#include "demo.h"
#include "exit_status.h"
#include "host/catalog.h"
#include "info.h"
#include "simd/simd_level.h"

namespace {

int ListEffects() {
  for (const ormi::host::EffectInfo& effect : ormi::host::EffectCatalog()) {
    std::printf("%-22s %s\n", effect.name, effect.description);
  }
  return ormi::fx::kDone;
}

int PrintVersion() {
  static const char* const levels[] = {"scalar", "SSE2", "AVX2", "AVX-512 (BW, VBMI)"};
  std::printf("ormi-fx %s, ormiEffects %s, vector level %s\n", ORMI_VERSION, ORMI_VERSION,
              levels[static_cast<int>(ormi::DetectedSimdLevel())]);
  return ormi::fx::kDone;
}

// Effects that take no picture, run without files.
int RunWithoutFiles(const std::vector<ormi::fx::Step>& steps) {
  for (const ormi::fx::Step& step : steps) {
    std::string error;
    if (const int status = ormi::fx::RunWithoutImage(*step.effect, step.values, error); status != ormi::fx::kDone) {
      std::fprintf(stderr, "ormi-fx: %s\n", error.c_str());
      return status;
    }
  }
  return ormi::fx::kDone;
}

}  // namespace

int main(int argc, char** argv) {
  const ormi::fx::CommandLine line = ormi::fx::ParseCommandLine(argc, argv);
  switch (line.action) {
    case ormi::fx::Action::Exit: return line.exitStatus;
    case ormi::fx::Action::List: return ListEffects();
    case ormi::fx::Action::Version: return PrintVersion();
    case ormi::fx::Action::Info: return ormi::fx::RunInfo(line.infoFile);
    case ormi::fx::Action::Demo: return ormi::fx::RunDemo(line.demoDir, line.demoInput);
    case ormi::fx::Action::Effects:
      if (line.files.empty()) return RunWithoutFiles(line.steps);
      return ormi::fx::RunFiles(line.steps, line.files, line.options);
  }
  return ormi::fx::kUsageError;
}
