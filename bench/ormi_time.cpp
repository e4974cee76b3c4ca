// ormi-time: the portable timing program. Times every export of the catalog, and the floors, on
// the pictures ormi-bench makes, with nothing but a steady clock, so that it builds wherever the
// library does: natively, and as a Windows program against the DLL (bench/compare --dll runs it
// under Wine). Each repetition calls one case until --min-time seconds have passed; the median of
// the repetitions' times per call is printed, one "name<TAB>milliseconds" line per case.
//
//   ormi-time [--size W] [--repetitions N] [--min-time S] [--filter SUBSTRING]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_cases.h"

namespace {

struct Options {
  int size = 4096;
  int repetitions = 5;
  double minTime = 0.2;
  std::string filter;
};

// Keeps a result alive so that no call can be dropped as unused.
volatile intptr_t g_sink;

double MedianMilliseconds(const Options& options, const std::function<void()>& once) {
  using Clock = std::chrono::steady_clock;
  once();  // warm up: tables, first-touch pages
  std::vector<double> perCall;
  for (int r = 0; r < options.repetitions; ++r) {
    const Clock::time_point start = Clock::now();
    long calls = 0;
    double seconds = 0;
    do {
      once();
      ++calls;
      seconds = std::chrono::duration<double>(Clock::now() - start).count();
    } while (seconds < options.minTime);
    perCall.push_back(1000 * seconds / static_cast<double>(calls));
  }
  std::sort(perCall.begin(), perCall.end());
  const size_t n = perCall.size();
  return n % 2 ? perCall[n / 2] : (perCall[n / 2 - 1] + perCall[n / 2]) / 2;
}

void Report(const Options& options, const std::string& name, const std::function<void()>& once) {
  if (!options.filter.empty() && name.find(options.filter) == std::string::npos && name != "BM_Memcpy") return;
  std::printf("%s\t%.3f\n", name.c_str(), MedianMilliseconds(options, once));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--size") {
      options.size = std::max(8, std::atoi(argv[i + 1]));
    } else if (flag == "--repetitions") {
      options.repetitions = std::max(1, std::atoi(argv[i + 1]));
    } else if (flag == "--min-time") {
      options.minTime = std::atof(argv[i + 1]);
    } else if (flag == "--filter") {
      options.filter = argv[i + 1];
    } else {
      std::fprintf(stderr, "ormi-time: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  const size_t bytes = size_t{4} * static_cast<size_t>(options.size) * static_cast<size_t>(options.size);
  {
    const ormi::bench::GlobalBuffer from(bytes, 1), to(bytes, 0);
    Report(options, "BM_Memcpy", [&] {
      std::memcpy(to.data(), from.data(), bytes);
      g_sink = to.data()[bytes / 2];
    });
    Report(options, "BM_FreshCopy", [&] { ormi::bench::FreshCopy(from.data(), bytes); });
    Report(options, "BM_InPlacePass", [&] {
      ormi::bench::InPlacePass(to.data(), bytes);
      g_sink = to.data()[bytes / 2];
    });
  }
  for (const ormi::host::EffectInfo& effect : ormi::host::EffectCatalog()) {
    for (const ormi::bench::Variant& variant : ormi::bench::VariantsOf(effect)) {
      const std::string name = std::string("BM_") + effect.exportName + variant.suffix;
      if (!options.filter.empty() && name.find(options.filter) == std::string::npos) continue;
      ormi::bench::ExportCall call(effect, variant, options.size);
      Report(options, name, [&] { g_sink = call(); });
    }
  }
  return 0;
}
