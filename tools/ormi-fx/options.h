// What a command line asks ormi-fx to do: the chain of effects with their values, the files, and
// the options that say how pictures are read and written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "file_options.h"
#include "host/catalog.h"
#include "host/picture_file.h"

namespace ormi::fx {

struct PictureOptions {
  std::string outDir;                         // batch: every file is an input, written here
  std::optional<host::PictureFormat> format;  // overrides the output's extension
  int depth = 0;                              // 8, 24 or 32: convert after reading; 0 keeps the depth
  std::optional<uint32_t> transparentColor;   // a colour key (COLORREF) for the record
  bool alphaTransparency = false;             // mark the record as carrying alpha
  FileOptions file;                           // limits and encoder settings
  int jobs = 1;                               // batch: files worked on at once
};

// One effect of a chain, with its parameter values laid out as the catalog's invoke expects.
struct Step {
  const host::EffectInfo* effect = nullptr;
  std::vector<double> values;
  std::vector<std::string> extraFiles;  // the files of the effect's extra pictures, in catalog order
  int maskThreshold = 128;              // a mask that is not 1-bit: darker than this is text
  bool maskInvert = false;              // light is text
};

}  // namespace ormi::fx
