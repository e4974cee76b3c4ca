// How pictures are read and written: the pixel limit, damaged data, orientation, JPEG quality,
// PNG compression, and whether a batch may replace its inputs.
#pragma once

#include <cstdint>
#include <string>

#include "host/picture_file.h"

namespace CLI {
class App;
class Validator;
}  // namespace CLI

namespace ormi::fx {

struct FileOptions {
  uint64_t maxPixels = host::kDefaultMaxPixels;
  int quality = host::kDefaultJpegQuality;
  int compression = host::kDefaultPngCompression;
  bool lenient = false;
  bool noAutoOrient = false;
  bool overwrite = false;  // --out-dir may write over one of its inputs

  host::ReadOptions read() const { return {maxPixels, lenient, !noAutoOrient}; }
  host::WriteOptions write(bool fullChroma) const { return {quality, compression, fullChroma}; }
};

// Adds --max-pixels, --lenient, --no-auto-orient, --quality, --compression and --overwrite.
void AddFileOptions(CLI::App& app, FileOptions& options, const std::string& group);

// Accepts the name of a format that can be written (--format).
CLI::Validator WritableFormat();

}  // namespace ormi::fx
