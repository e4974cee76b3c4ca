// The options of ormi-fx as CLI11 options: each effect's parameters and extra pictures, and the
// picture options that every effect (and the command line before it) takes. Values are read by
// ormi-fx itself, so that a mistake is said in words ("'abc' is not a number").
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
  int jobs = 0;  // 0: one per core
  bool alphaTransparency = false;
  FileOptions file;
};

// What one effect's options write into during one parse.
struct EffectStorage {
  const host::EffectInfo* effect = nullptr;
  CLI::App* command = nullptr;
  std::vector<std::string> texts;  // each parameter as typed ("" when not given)
  std::vector<std::string> extraFiles;
  std::vector<std::string> files;
  int maskThreshold = 128;
  bool maskInvert = false;

  // The values in the layout that the catalog's invoke expects.
  std::vector<double> values() const;
};

// Reads one parameter's text (a list's comma-separated values) into `values`; false with the
// reason in `error`.
bool ReadParam(const host::EffectParam& param, const std::string& text, std::vector<double>& values,
               std::string& error);

// "integer", "number", "colour", "list of 6 numbers"
std::string TypeWord(const host::EffectParam& param);

// Adds --out-dir, --format, --depth, --jobs, --transparent-color and --alpha-transparency.
void AddPictureOptions(CLI::App& app, RawOptions& raw);

// Adds the effect's command with its parameters, extra pictures, the picture options and FILES.
void AddEffect(CLI::App& app, EffectStorage& entry, RawOptions& raw);

// The line that --help gives once about colours.
extern const char* const kColourNote;

}  // namespace ormi::fx
