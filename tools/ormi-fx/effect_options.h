// The options of ormi-fx as CLI11 options: each effect's parameters and extra pictures, and the
// picture options that every effect (and the command line before it) takes.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "file_options.h"
#include "host/catalog.h"

namespace ormi::fx {

// The picture options as typed; the same storage serves every segment of a chain, so an option
// given after any of its effects counts (the last one given wins).
struct RawOptions {
  std::string outDir, format, transparentColor;
  int depth = 0;
  bool alphaTransparency = false;
  FileOptions file;
};

// What one effect's options write into during one parse.
struct EffectStorage {
  const host::EffectInfo* effect = nullptr;
  CLI::App* command = nullptr;
  std::vector<std::vector<double>> params;  // the value (or a list's values) of each parameter
  std::vector<long long> ints;              // an integer parameter as typed (0x... for colours)
  std::vector<std::string> lists;           // a list parameter as typed ("" when not given)
  std::vector<std::string> extraFiles;
  std::vector<std::string> files;

  // The values in the layout that the catalog's invoke expects.
  std::vector<double> values() const;
};

// Adds --out-dir, --format, --depth, --transparent-color and --alpha-transparency.
void AddPictureOptions(CLI::App& app, RawOptions& raw);

// Adds the effect's command with its parameters, extra pictures, the picture options and FILES.
void AddEffect(CLI::App& app, EffectStorage& entry, RawOptions& raw);

}  // namespace ormi::fx
