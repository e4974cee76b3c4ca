#include "batch.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "chain.h"
#include "exit_status.h"
#include "picture_io.h"
#include "progress.h"

namespace ormi::fx {

int RunFiles(const std::vector<Step>& steps, const std::vector<std::string>& files, const PictureOptions& options) {
  if (const int status = CheckOutputs(files, options); status != kDone) return status;
  if (options.outDir.empty()) {
    std::string error;
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
  // Outputs are decided in order before any job starts, so that the first of two inputs of the
  // same name wins however the jobs run.
  std::vector<std::string> outputs(files.size());
  std::set<std::string> written;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string output = OutputPathFor(files[i], options);
    if (written.insert(output).second) outputs[i] = output;
  }
  Progress progress(files.size(), StderrIsTerminal());
  std::mutex report;  // the progress line, the worst status and the count of failures
  std::atomic<size_t> next{0};
  int worst = kDone;
  size_t failed = 0;
  // Each job takes the next file until none is left: at most `jobs` pictures are in memory.
  const auto work = [&] {
    for (size_t i = next++; i < files.size(); i = next++) {
      {
        const std::lock_guard<std::mutex> lock(report);
        progress.begin(files[i]);
      }
      std::string error;
      int status = kFileError;
      if (outputs[i].empty()) {
        error = files[i] + ": another input already went to " + OutputPathFor(files[i], options);
      } else {
        status = ProcessFile(steps, options, files[i], outputs[i], error);
      }
      const std::lock_guard<std::mutex> lock(report);
      if (status != kDone) {
        progress.message("ormi-fx: " + error);
        worst = std::max(worst, status);
        ++failed;
      }
      progress.done();
    }
  };
  const size_t jobs = std::min(files.size(), static_cast<size_t>(std::max(1, options.jobs)));
  std::vector<std::thread> threads;
  for (size_t j = 1; j < jobs; ++j) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();
  if (failed > 0) {
    progress.message("ormi-fx: " + std::to_string(failed) + " of " + std::to_string(files.size()) + " files failed");
  }
  return worst;
}

}  // namespace ormi::fx
