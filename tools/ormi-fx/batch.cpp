#include "batch.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "chain.h"
#include "exit_status.h"
#include "picture_io.h"
#include "progress.h"

namespace ormi::fx {

std::string OutputPathFor(const std::string& input, const PictureOptions& options) {
  std::filesystem::path name = std::filesystem::path(input).filename();
  if (options.format && host::FormatFromPath(name.string()) != options.format) {
    name.replace_extension(ExtensionOf(*options.format));
  }
  return (std::filesystem::path(options.outDir) / name).string();
}

int RunFiles(const std::vector<Step>& steps, const std::vector<std::string>& files, const PictureOptions& options) {
  std::string error;
  if (const int status = CheckOutputs(files, options); status != kDone) return status;
  if (options.outDir.empty()) {
    const int status = ProcessFile(steps, options, files[0], files[1], error);
    if (status != kDone) std::fprintf(stderr, "ormi-fx: %s\n", error.c_str());
    return status;
  }
  std::error_code ec;
  std::filesystem::create_directories(options.outDir, ec);
  if (ec) {
    std::fprintf(stderr, "ormi-fx: %s: %s\n", options.outDir.c_str(), ec.message().c_str());
    return kFileError;
  }
  Progress progress(files.size(), StderrIsTerminal());
  std::set<std::string> written;
  int worst = kDone;
  size_t failed = 0;
  for (const std::string& input : files) {
    progress.begin(input);
    const std::string output = OutputPathFor(input, options);
    int status = kFileError;
    if (!written.insert(output).second) {
      error = input + ": another input already went to " + output;
    } else {
      status = ProcessFile(steps, options, input, output, error);
    }
    if (status != kDone) {
      progress.message("ormi-fx: " + error);
      worst = std::max(worst, status);
      ++failed;
    }
    progress.done();
  }
  if (failed > 0) {
    progress.message("ormi-fx: " + std::to_string(failed) + " of " + std::to_string(files.size()) + " files failed");
  }
  return worst;
}

}  // namespace ormi::fx
