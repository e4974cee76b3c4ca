// ormi-time: the portable timing program. Times every export of the catalog, and the floors, on
// the pictures ormi-bench makes, with nothing but a steady clock, so that it builds wherever the
// library does: natively, and as a Windows program against the DLL (bench/compare --dll runs it
// under Wine). Each repetition calls one case until --min-time seconds have passed; the median of
// the repetitions' times per call is printed, one "name<TAB>milliseconds" line per case.
//
//   ormi-time [--size W] [--repetitions N] [--min-time S] [--filter SUBSTRING | --case NAME] [--list]
//
// --case times one case by its exact name (and BM_Memcpy, which every run times first, for its ratio);
// --list prints the names of the cases and times nothing.
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
  bool exact = false;
  bool list = false;

  bool selects(const std::string& name) const {
    if (name == "BM_Memcpy") return !list;  // the unit of every ratio
    if (list) std::printf("%s\n", name.c_str());
    return !list && (exact ? name == filter : name.find(filter) != std::string::npos);
  }
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
  if (!options.selects(name)) return;
  std::printf("%s\t%.3f\n", name.c_str(), MedianMilliseconds(options, once));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--list") {
      options.list = true;
      --i;
    } else if (i + 1 == argc) {
      std::fprintf(stderr, "ormi-time: %s needs a value\n", argv[i]);
      return 2;
    } else if (flag == "--size") {
      options.size = std::max(8, std::atoi(argv[i + 1]));
    } else if (flag == "--repetitions") {
      options.repetitions = std::max(1, std::atoi(argv[i + 1]));
    } else if (flag == "--min-time") {
      options.minTime = std::atof(argv[i + 1]);
    } else if (flag == "--filter" || flag == "--case") {
      options.filter = argv[i + 1];
      options.exact = flag == "--case";
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
      if (!options.selects(name)) continue;
      ormi::bench::ExportCall call(effect, variant, options.size);
      Report(options, name, [&] { g_sink = call(); });
    }
  }
  return 0;
}
