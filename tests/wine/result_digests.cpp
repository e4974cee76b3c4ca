#include "wine/result_digests.h"

#include <cstdio>

#include "host/catalog.h"
#include "reliability/catalog_calls.h"

namespace ormi::test {
namespace {

// FNV-1a over byte runs.
struct Digest {
  uint64_t value = 14695981039346656037ull;
  void add(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) value = (value ^ bytes[i]) * 1099511628211ull;
  }
  void add(const std::vector<uint8_t>& bytes) { add(bytes.data(), bytes.size()); }
};

// The defaults, then each numeric parameter at its bounds in turn; angles also every 7 degrees.
std::vector<std::vector<double>> ValueSets(const host::EffectInfo& effect) {
  const std::vector<double> defaults = host::DefaultValues(effect);
  std::vector<std::vector<double>> sets{defaults};
  size_t index = 0;
  for (const host::EffectParam& param : effect.params) {
    if (param.kind == host::ParamKind::Int || param.kind == host::ParamKind::Double) {
      std::vector<double> probes{param.min, param.max};
      if (std::string(param.name) == "degrees") {
        for (int degrees = 1; degrees < 360; degrees += 7) probes.push_back(degrees);
      }
      for (double probe : probes) {
        sets.push_back(defaults);
        sets.back()[index] = probe;
      }
    }
    index += host::ValueCount(param);
  }
  return sets;
}

std::string DigestOf(const host::EffectInfo& effect, int depth, const std::vector<double>& values) {
  PreparedCall call(effect, 11, depth, values);
  const intptr_t result = call.invoke();
  const PreparedCall::Snapshot after = call.snapshot();
  Digest digest;
  digest.add(after.bitmap);
  digest.add(reinterpret_cast<const uint8_t*>(after.dcPixels.data()), after.dcPixels.size() * 4);
  if (result != 0 && effect.result == host::ResultKind::NewImage) {
    const TestImage created(reinterpret_cast<HGLOBAL>(result));  // freed at scope end
    digest.add(created.bytes());
  } else if (result != 0 && effect.result == host::ResultKind::NewBitmap) {
    digest.add(BlockBytes(reinterpret_cast<HGLOBAL>(result)));
    GlobalFree(reinterpret_cast<HGLOBAL>(result));
  } else {
    const int64_t returned = result;
    digest.add(reinterpret_cast<const uint8_t*>(&returned), sizeof returned);
  }
  std::string line = std::string(effect.exportName) + " depth " + std::to_string(depth) + " values";
  char text[64];
  for (double value : values) {
    std::snprintf(text, sizeof text, " %g", value);
    line += text;
  }
  std::snprintf(text, sizeof text, " -> %016llx", static_cast<unsigned long long>(digest.value));
  return line + text;
}

}  // namespace

std::vector<std::string> ResultDigests() {
  std::vector<std::string> lines;
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    std::vector<int> depths = effect.depths;
    if (depths.empty()) depths.push_back(RepresentativeDepth(effect));
    for (int depth : depths) {
      for (const std::vector<double>& values : ValueSets(effect)) lines.push_back(DigestOf(effect, depth, values));
    }
  }
  return lines;
}

}  // namespace ormi::test
