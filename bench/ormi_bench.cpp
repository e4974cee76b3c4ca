// ormi-bench: times every export of the catalog on one large 32-bit image (4096 x 4096 unless
// --size W says otherwise), beside a memcpy of the same bytes and an in-place pass over them, so
// that each effect's cost reads as a ratio to the memory bandwidth of the machine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_cases.h"

namespace {

using ormi::bench::GlobalBuffer;

int g_size = 4096;

size_t ImageBytes() { return size_t{4} * static_cast<size_t>(g_size) * static_cast<size_t>(g_size); }

void SetRate(benchmark::State& state) {
  state.counters["MP/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * g_size * g_size / 1e6, benchmark::Counter::kIsRate);
}

void BM_Memcpy(benchmark::State& state) {
  const GlobalBuffer from(ImageBytes(), 1), to(ImageBytes(), 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), ImageBytes());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

void BM_FreshCopy(benchmark::State& state) {
  const GlobalBuffer from(ImageBytes(), 1);
  for (auto _ : state) ormi::bench::FreshCopy(from.data(), ImageBytes());
  SetRate(state);
}

void BM_InPlacePass(benchmark::State& state) {
  const GlobalBuffer buffer(ImageBytes(), 7);
  for (auto _ : state) {
    ormi::bench::InPlacePass(buffer.data(), ImageBytes());
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

void BM_Export(benchmark::State& state, const ormi::host::EffectInfo* effect, const ormi::bench::Variant& variant) {
  ormi::bench::ExportCall call(*effect, variant, g_size);
  for (auto _ : state) benchmark::DoNotOptimize(call());
  SetRate(state);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
      g_size = std::max(8, std::atoi(argv[++i]));
    } else {
      rest.push_back(argv[i]);
    }
  }
  int restCount = static_cast<int>(rest.size());
  benchmark::RegisterBenchmark("BM_Memcpy", BM_Memcpy)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_InPlacePass", BM_InPlacePass)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_FreshCopy", BM_FreshCopy)->Unit(benchmark::kMillisecond);
  for (const ormi::host::EffectInfo& effect : ormi::host::EffectCatalog()) {
    for (const ormi::bench::Variant& variant : ormi::bench::VariantsOf(effect)) {
      benchmark::RegisterBenchmark((std::string("BM_") + effect.exportName + variant.suffix).c_str(), BM_Export,
                                   &effect, variant)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&restCount, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
