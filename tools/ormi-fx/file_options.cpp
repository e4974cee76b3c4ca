#include "file_options.h"

#include <CLI/CLI.hpp>

namespace ormi::fx {

void AddFileOptions(CLI::App& app, FileOptions& options, const std::string& group) {
  app.add_option("--max-pixels", options.maxPixels, "Refuse pictures of more pixels than this (default 2^28)")
      ->group(group)
      ->check(CLI::Range(uint64_t{1}, uint64_t{1} << 40));
  app.add_flag("--lenient", options.lenient, "Keep what decodes from a damaged PNG or JPEG (and say so)")->group(group);
  app.add_flag("--no-auto-orient", options.noAutoOrient, "Keep a JPEG as stored, not turned as its EXIF says")
      ->group(group);
  app.add_option("--quality", options.quality, "JPEG quality, 1 to 100 (default 92)")
      ->group(group)
      ->check(CLI::Range(1, 100));
  app.add_option("--compression", options.compression, "PNG compression, 0 (none) to 9 (smallest, slowest); default 4")
      ->group(group)
      ->check(CLI::Range(0, 9));
  app.add_flag("--overwrite", options.overwrite, "Let --out-dir replace one of its inputs")->group(group);
}

CLI::Validator WritableFormat() {
  return CLI::Validator(
      [](std::string& name) {
        const auto format = host::FormatFromName(name);
        return format && host::CanWrite(*format)
                   ? std::string()
                   : "'" + name + "' is not a format ormi-fx writes (" + host::WritableFormatNames() + ")";
      },
      "FORMAT");
}

}  // namespace ormi::fx
