// ormi-bench: times every export of the catalog on one large 32-bit image (4096 x 4096 unless
// --size W says otherwise), beside a memcpy of the same bytes and an in-place pass over them, so
// that each effect's cost reads as a ratio to the memory bandwidth of the machine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
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

// A noisy picture: every effect has real work on every pixel. Opaque unless `holes`, which gives
// a quarter of the pixels alpha 0 (the alpha pictures that some effects take besides the input).
HGLOBAL MakeNoise(int width, int height, bool holes) {
  const size_t bytes = size_t{4} * width * height;
  std::vector<uint8_t> pixels(bytes);
  std::mt19937 random(12345);
  for (size_t i = 0; i < bytes; i += 4) {
    uint32_t value = static_cast<uint32_t>(random()) | 0xFF000000u;
    if (holes && value % 4 == 0) value &= 0x00FFFFFFu;
    std::memcpy(pixels.data() + i, &value, 4);
  }
  return ormi::host::BitmapFromTopDownBgra(pixels.data(), width, height);
}

HGLOBAL MakeBenchBitmap(int depth) {
  HGLOBAL bitmap32 = MakeNoise(g_size, g_size, false);
  if (depth == 32) return bitmap32;
  HGLOBAL converted = ormi::host::ConvertBitmapDepth(bitmap32, depth);
  GlobalFree(bitmap32);
  return converted;
}

// A 1-bit text mask of the picture's size: stripes of masked and open pixels.
HGLOBAL MakeTextMask() {
  const size_t stride = (static_cast<size_t>(g_size) + 31) / 32 * 4;
  const size_t bytes = 40 + 8 + stride * g_size;
  HGLOBAL block = GlobalAlloc(GHND, bytes);
  auto* data = static_cast<uint8_t*>(GlobalLock(block));
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = g_size;
  header.biHeight = g_size;
  header.biPlanes = 1;
  header.biBitCount = 1;
  header.biClrUsed = 2;
  std::memcpy(data, &header, sizeof header);
  std::memcpy(data + 44, "\xFF\xFF\xFF\x00", 4);
  for (size_t r = 0; r < static_cast<size_t>(g_size); ++r)
    std::memset(data + 48 + r * stride, (r / 8) % 2 ? 0xF0 : 0x0F, stride);
  GlobalUnlock(block);
  return block;
}

// The pictures an effect takes besides its input, and their release.
struct Extras {
  std::vector<HGLOBAL> handles;
  std::vector<ormi::host::ExtraKind> kinds;
  explicit Extras(const EffectInfo& effect) {
    for (const ormi::host::ExtraInput& extra : effect.extras) {
      switch (extra.kind) {
        case ormi::host::ExtraKind::AlphaImage:
          handles.push_back(ormi::host::WrapBitmap(MakeNoise(g_size, g_size, true)));
          break;
        case ormi::host::ExtraKind::TextMask: handles.push_back(MakeTextMask()); break;
        case ormi::host::ExtraKind::Tile: handles.push_back(MakeNoise(16, 16, false)); break;
      }
      kinds.push_back(extra.kind);
    }
  }
  ~Extras() {
    for (size_t i = 0; i < handles.size(); ++i) {
      if (kinds[i] == ormi::host::ExtraKind::AlphaImage) {
        ormi::host::FreeImageHandle(handles[i]);
      } else {
        GlobalFree(handles[i]);
      }
    }
  }
};

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

// A locked global block, the memory every image of the benchmarks lives in, so that the floors
// below and the exports pay the same for pages and address translation.
class GlobalBuffer {
 public:
  explicit GlobalBuffer(size_t bytes, uint8_t fill) : block_(GlobalAlloc(GHND, bytes)) {
    data_ = static_cast<uint8_t*>(GlobalLock(block_));
    if (data_ == nullptr) {
      std::fprintf(stderr, "ormi-bench: cannot allocate %zu bytes\n", bytes);
      std::exit(1);
    }
    std::memset(data_, fill, bytes);
  }
  ~GlobalBuffer() {
    GlobalUnlock(block_);
    GlobalFree(block_);
  }
  GlobalBuffer(const GlobalBuffer&) = delete;
  GlobalBuffer& operator=(const GlobalBuffer&) = delete;
  uint8_t* data() const { return data_; }

 private:
  HGLOBAL block_;
  uint8_t* data_ = nullptr;
};

void BM_Memcpy(benchmark::State& state) {
  const size_t bytes = size_t{4} * g_size * g_size;
  const GlobalBuffer from(bytes, 1), to(bytes, 0);
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
  const GlobalBuffer from(bytes, 1);
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
  const size_t words = size_t{1} * g_size * g_size;
  const GlobalBuffer buffer(4 * words, 7);
  auto* word = reinterpret_cast<uint32_t*>(buffer.data());
  for (auto _ : state) {
    for (size_t i = 0; i < words; ++i) word[i] ^= 0x00FFFFFFu;
    benchmark::DoNotOptimize(word);
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
  const Extras extras(*effect);
  const std::vector<double> values = ValuesOf(*effect, variant);
  ormi::host::EffectArgs args{image, values, extras.handles, RECT{0, 0, g_size - 1, g_size - 1}};
  // Some effects change the record's transparency and refuse a second call on it (insert alpha):
  // every call starts from the record's first state.
  const ImageRecord first = *static_cast<ImageRecord*>(GlobalLock(image));
  GlobalUnlock(image);
  for (auto _ : state) {
    auto* record = static_cast<ImageRecord*>(GlobalLock(image));
    record->transparency = first.transparency;
    record->transparentColor = first.transparentColor;
    GlobalUnlock(image);
    const intptr_t result = effect->invoke(args);
    if (result != 0 && effect->result == ormi::host::ResultKind::NewImage) {
      ormi::host::FreeImageHandle(reinterpret_cast<HGLOBAL>(result));
    } else if (result != 0 && effect->result == ormi::host::ResultKind::NewBitmap) {
      GlobalFree(reinterpret_cast<HGLOBAL>(result));
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
    // Effects without an image, and the painter (which needs a device context), are not timed.
    if (effect.result == ormi::host::ResultKind::NoImage || effect.result == ormi::host::ResultKind::Painted) continue;
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
