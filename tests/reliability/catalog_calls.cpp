#include "reliability/catalog_calls.h"

#include <algorithm>
#include <cstring>

#include "host/image_handle.h"

namespace ormi::test {
namespace {

// Large enough for every export's minimum (5x5 windows), odd sizes so rows need padding.
constexpr int kWidth = 9;
constexpr int kHeight = 7;

uint32_t NextRandom(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

// A bottom-up bitmap whose colour table and pixel bytes come from the seed, wrapped in a record
// whose header copy is taken after the table was filled.
std::unique_ptr<TestImage> RepresentativeImage(int depth, uint32_t seed) {
  HGLOBAL bitmap = MakeBitmap({.depth = depth, .width = kWidth, .height = kHeight});
  std::vector<uint8_t> bytes = BlockBytes(bitmap);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 40; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(NextRandom(state) >> 7);
  SetBlockBytes(bitmap, bytes);
  return std::make_unique<TestImage>(MakeImage(bitmap));
}

}  // namespace

bool CallableKind(const host::EffectInfo& effect) {
  switch (effect.result) {
    case host::ResultKind::InPlace:
    case host::ResultKind::NewImage:
    case host::ResultKind::NoImage: return true;
  }
  return false;
}

const host::EffectInfo& EffectNamed(const char* exportName) {
  const host::EffectInfo* effect = host::FindEffect(exportName);
  if (!effect) {
    ADD_FAILURE() << exportName << " is not in the catalog";
    std::abort();
  }
  return *effect;
}

int RepresentativeDepth(const host::EffectInfo& effect) {
  if (effect.depths.empty()) return 32;
  if (std::find(effect.depths.begin(), effect.depths.end(), 32) != effect.depths.end()) return 32;
  return *std::max_element(effect.depths.begin(), effect.depths.end());
}

PreparedCall::PreparedCall(const host::EffectInfo& effect, uint32_t seed)
    : PreparedCall(effect, seed, RepresentativeDepth(effect), host::DefaultValues(effect)) {}

PreparedCall::PreparedCall(const host::EffectInfo& effect, uint32_t seed, int depth, std::vector<double> values)
    : effect_(&effect), values_(std::move(values)) {
  if (effect.result != host::ResultKind::NoImage) image_ = RepresentativeImage(depth, seed);
}

intptr_t PreparedCall::invoke() const {
  host::EffectArgs args;
  args.image = image_ ? image_->handle() : nullptr;
  args.values = values_;
  return effect_->invoke(args);
}

PreparedCall::Snapshot PreparedCall::snapshot() const {
  Snapshot s;
  if (!image_) return s;
  s.record = BlockBytes(image_->handle());
  s.bitmap = image_->bytes();
  s.headerCopy = image_->headerCopyBytes();
  s.locks = LockStateOf(*image_);
  return s;
}

void FreeResult(const host::EffectInfo& effect, intptr_t result) {
  if (result == 0) return;
  if (effect.result == host::ResultKind::NewImage) host::FreeImageHandle(reinterpret_cast<HGLOBAL>(result));
}

std::vector<const char*> CatalogExportNames() {
  std::vector<const char*> names;
  for (const host::EffectInfo& effect : host::EffectCatalog()) names.push_back(effect.exportName);
  return names;
}

}  // namespace ormi::test
