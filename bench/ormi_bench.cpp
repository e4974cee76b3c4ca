// ormi-bench: times every export of the catalog on one large 32-bit image (4096 x 4096 unless
// --size W says otherwise), beside a memcpy of the same bytes and an in-place pass over them, so
// that each effect's cost reads as a ratio to the memory bandwidth of the machine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/catalog.h"
#include "host/image_handle.h"

namespace {

using ormi::host::EffectInfo;

int g_size = 4096;

// A noisy opaque picture: every effect has real work on every pixel.
HGLOBAL MakeBenchBitmap(int depth) {
  const size_t bytes = size_t{4} * g_size * g_size;
  std::vector<uint8_t> pixels(bytes);
  std::mt19937 random(12345);
  for (size_t i = 0; i < bytes; i += 4) {
    const uint32_t value = static_cast<uint32_t>(random()) | 0xFF000000u;
    std::memcpy(pixels.data() + i, &value, 4);
  }
  HGLOBAL bitmap32 = ormi::host::BitmapFromTopDownBgra(pixels.data(), g_size, g_size);
  if (depth == 32) return bitmap32;
  HGLOBAL converted = ormi::host::ConvertBitmapDepth(bitmap32, depth);
  GlobalFree(bitmap32);
  return converted;
}

int PreferredDepth(const EffectInfo& effect) {
  for (int depth : {32, 24, 8}) {
    for (int accepted : effect.depths) {
      if (accepted == depth) return depth;
    }
  }
  return effect.depths.empty() ? 32 : effect.depths.front();
}

void SetRate(benchmark::State& state) {
  state.counters["MP/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * g_size * g_size / 1e6, benchmark::Counter::kIsRate);
}

void BM_Memcpy(benchmark::State& state) {
  const size_t bytes = size_t{4} * g_size * g_size;
  std::vector<uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

// The floor of an export that returns a new image: a fresh zero-filled global block of the same
// size, the pixels copied into it, and the block freed. Its pages are new to the process on every
// call, so this carries the operating system's cost of mapping them.
void BM_FreshCopy(benchmark::State& state) {
  const size_t bytes = size_t{4} * g_size * g_size;
  std::vector<uint8_t> from(bytes, 1);
  for (auto _ : state) {
    HGLOBAL block = GlobalAlloc(GHND, bytes);
    void* to = GlobalLock(block);
    std::memcpy(to, from.data(), bytes);
    benchmark::DoNotOptimize(to);
    GlobalUnlock(block);
    GlobalFree(block);
  }
  SetRate(state);
}

void BM_InPlacePass(benchmark::State& state) {
  std::vector<uint32_t> words(size_t{1} * g_size * g_size, 7);
  for (auto _ : state) {
    for (uint32_t& word : words) word ^= 0x00FFFFFFu;
    benchmark::DoNotOptimize(words.data());
    benchmark::ClobberMemory();
  }
  SetRate(state);
}

// One timed configuration of an export: a name suffix ("" for the defaults), the parameters that
// differ from their defaults.
struct Variant {
  const char* suffix;
  std::vector<std::pair<const char*, double>> values;
};

// The settings the goals are stated for; every other export runs once with its defaults.
std::vector<Variant> VariantsOf(const EffectInfo& effect) {
  const std::string name = effect.exportName;
  if (name == "ImgRotate") return {{"/30", {{"degrees", 30}}}, {"/90", {{"degrees", 90}}}};
  if (name == "ImgBlockRotate")
    return {{"/30", {{"degrees", 30}, {"level", 1}}}, {"/90", {{"degrees", 90}, {"level", 1}}}};
  if (name == "ImgMirror")
    return {{"/rows", {{"rows", 1}, {"columns", 0}}},
            {"/columns", {{"rows", 0}, {"columns", 1}}},
            {"/both", {{"rows", 1}, {"columns", 1}}}};
  if (name == "ImgGammaCorrection") return {{"/30", {{"mode", 30}}}, {"/20", {{"mode", 20}}}};
  if (name == "ImgDiff") return {{"/4", {{"passes", 4}}}};
  return {{"", {}}};
}

// Default values with the variant's overrides put in place by parameter name.
std::vector<double> ValuesOf(const EffectInfo& effect, const Variant& variant) {
  std::vector<double> values = ormi::host::DefaultValues(effect);
  size_t at = 0;
  for (const ormi::host::EffectParam& param : effect.params) {
    for (const auto& [name, value] : variant.values) {
      if (std::strcmp(name, param.name) == 0) values[at] = value;
    }
    at += ormi::host::ValueCount(param);
  }
  return values;
}

void BM_Export(benchmark::State& state, const EffectInfo* effect, const Variant& variant) {
  HGLOBAL image = ormi::host::WrapBitmap(MakeBenchBitmap(PreferredDepth(*effect)));
  const std::vector<double> values = ValuesOf(*effect, variant);
  for (auto _ : state) {
    const intptr_t result = effect->invoke(ormi::host::EffectArgs{image, values});
    if (effect->result == ormi::host::ResultKind::NewImage && result != 0) {
      ormi::host::FreeImageHandle(reinterpret_cast<HGLOBAL>(result));
    }
    benchmark::DoNotOptimize(result);
  }
  ormi::host::FreeImageHandle(image);
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
  for (const EffectInfo& effect : ormi::host::EffectCatalog()) {
    if (effect.result != ormi::host::ResultKind::InPlace && effect.result != ormi::host::ResultKind::NewImage) continue;
    for (const Variant& variant : VariantsOf(effect)) {
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
