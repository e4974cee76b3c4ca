#include "bench/bench_cases.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "host/bitmap_convert.h"
#include "host/image_handle.h"

namespace ormi::bench {
namespace {

HGLOBAL MakeBitmap(int depth, int size) {
  HGLOBAL bitmap32 = MakeNoise(size, size, false);
  if (depth == 32) return bitmap32;
  HGLOBAL converted = host::ConvertBitmapDepth(bitmap32, depth);
  GlobalFree(bitmap32);
  return converted;
}

// A 1-bit text mask of the picture's size: stripes of masked and open pixels.
HGLOBAL MakeTextMask(int size) {
  const size_t rows = static_cast<size_t>(size), stride = (rows + 31) / 32 * 4;
  HGLOBAL block = GlobalAlloc(GHND, 40 + 8 + stride * rows);
  auto* data = static_cast<uint8_t*>(GlobalLock(block));
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = size;
  header.biHeight = size;
  header.biPlanes = 1;
  header.biBitCount = 1;
  header.biClrUsed = 2;
  std::memcpy(data, &header, sizeof header);
  std::memcpy(data + 44, "\xFF\xFF\xFF\x00", 4);
  for (size_t r = 0; r < rows; ++r) std::memset(data + 48 + r * stride, (r / 8) % 2 ? 0xF0 : 0x0F, stride);
  GlobalUnlock(block);
  return block;
}

int PreferredDepth(const host::EffectInfo& effect) {
  for (int depth : {32, 24, 8}) {
    for (int accepted : effect.depths) {
      if (accepted == depth) return depth;
    }
  }
  return effect.depths.empty() ? 32 : effect.depths.front();
}

// Default values with the variant's overrides put in place by parameter name.
std::vector<double> ValuesOf(const host::EffectInfo& effect, const Variant& variant) {
  std::vector<double> values = host::DefaultValues(effect);
  size_t at = 0;
  for (const host::EffectParam& param : effect.params) {
    for (const auto& [name, value] : variant.values) {
      if (std::strcmp(name, param.name) == 0) values[at] = value;
    }
    at += host::ValueCount(param);
  }
  return values;
}

}  // namespace

HGLOBAL MakeNoise(int width, int height, bool holes) {
  const size_t bytes = size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> pixels(bytes);
  std::mt19937 random(12345);
  for (size_t i = 0; i < bytes; i += 4) {
    uint32_t value = static_cast<uint32_t>(random()) | 0xFF000000u;
    if (holes && value % 4 == 0) value &= 0x00FFFFFFu;
    std::memcpy(pixels.data() + i, &value, 4);
  }
  return host::BitmapFromTopDownBgra(pixels.data(), width, height);
}

HGLOBAL MakeBenchImage(const host::EffectInfo& effect, int size) {
  return host::WrapBitmap(MakeBitmap(PreferredDepth(effect), size));
}

Extras::Extras(const host::EffectInfo& effect, int size) {
  for (const host::ExtraInput& extra : effect.extras) {
    switch (extra.kind) {
      case host::ExtraKind::AlphaImage: handles.push_back(host::WrapBitmap(MakeNoise(size, size, true))); break;
      case host::ExtraKind::TextMask: handles.push_back(MakeTextMask(size)); break;
      case host::ExtraKind::Tile: handles.push_back(MakeNoise(16, 16, false)); break;
    }
    kinds.push_back(extra.kind);
  }
}

Extras::~Extras() {
  for (size_t i = 0; i < handles.size(); ++i) {
    if (kinds[i] == host::ExtraKind::AlphaImage) {
      host::FreeImageHandle(handles[i]);
    } else {
      GlobalFree(handles[i]);
    }
  }
}

std::vector<Variant> VariantsOf(const host::EffectInfo& effect) {
  if (effect.result == host::ResultKind::NoImage || effect.result == host::ResultKind::Painted) return {};
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

ExportCall::ExportCall(const host::EffectInfo& effect, const Variant& variant, int size)
    : effect_(effect),
      image_(MakeBenchImage(effect, size)),
      extras_(effect, size),
      values_(ValuesOf(effect, variant)),
      args_{image_, values_, extras_.handles, RECT{0, 0, size - 1, size - 1}} {
  const ImageRecord first = *static_cast<ImageRecord*>(GlobalLock(image_));
  GlobalUnlock(image_);
  transparency_ = first.transparency;
  transparentColor_ = first.transparentColor;
}

ExportCall::~ExportCall() { host::FreeImageHandle(image_); }

intptr_t ExportCall::operator()() {
  auto* record = static_cast<ImageRecord*>(GlobalLock(image_));
  record->transparency = transparency_;
  record->transparentColor = transparentColor_;
  GlobalUnlock(image_);
  const intptr_t result = effect_.invoke(args_);
  if (result != 0 && effect_.result == host::ResultKind::NewImage) {
    host::FreeImageHandle(reinterpret_cast<HGLOBAL>(result));
  } else if (result != 0 && effect_.result == host::ResultKind::NewBitmap) {
    GlobalFree(reinterpret_cast<HGLOBAL>(result));
  }
  return result;
}

GlobalBuffer::GlobalBuffer(size_t bytes, uint8_t fill) : block_(GlobalAlloc(GHND, bytes)) {
  data_ = static_cast<uint8_t*>(GlobalLock(block_));
  if (data_ == nullptr) {
    std::fprintf(stderr, "cannot allocate %zu bytes\n", bytes);
    std::exit(1);
  }
  std::memset(data_, fill, bytes);
}

GlobalBuffer::~GlobalBuffer() {
  GlobalUnlock(block_);
  GlobalFree(block_);
}

void FreshCopy(const uint8_t* from, size_t bytes) {
  HGLOBAL block = GlobalAlloc(GHND, bytes);
  void* to = GlobalLock(block);
  std::memcpy(to, from, bytes);
  GlobalUnlock(block);
  GlobalFree(block);
}

void InPlacePass(uint8_t* data, size_t bytes) {
  auto* word = reinterpret_cast<uint32_t*>(data);
  for (size_t i = 0; i < bytes / 4; ++i) word[i] ^= 0x00FFFFFFu;
}

}  // namespace ormi::bench
