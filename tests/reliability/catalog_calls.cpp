#include "reliability/catalog_calls.h"

#include <algorithm>
#include <cstring>

#include "host/image_handle.h"

namespace ormi::test {
namespace {

// Large enough for every export's minimum (5x5 windows), odd sizes so rows need padding.
constexpr int kWidth = 9, kHeight = 7;

uint32_t NextRandom(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

// A bitmap laid out as the layout says whose colour table and pixel bytes come from the seed.
HGLOBAL RandomBitmap(const BitmapSpec& layout, uint32_t seed) {
  HGLOBAL bitmap = MakeBitmap(layout);
  std::vector<uint8_t> bytes = BlockBytes(bitmap);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 40; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(NextRandom(state) >> 7);
  if (layout.depth == 32) {
    // Exact keys occur: opaque white pixels (the default colour of the alpha insertion) and
    // pixels with alpha 0 (what the alpha-colour painter looks for in its mask).
    for (size_t p = 0; 40 + 4 * p + 3 < bytes.size(); ++p) {
      if (p % 5 == 0) std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(40 + 4 * p), 4, uint8_t{0xFF});
      if (p % 4 == 1) bytes[40 + 4 * p + 3] = 0;
    }
  }
  SetBlockBytes(bitmap, bytes);
  return bitmap;
}

// Wrapped in a record whose header copy is taken after the colour table was filled.
std::unique_ptr<TestImage> RandomImage(const BitmapSpec& layout, uint32_t seed) {
  return std::make_unique<TestImage>(MakeImage(RandomBitmap(layout, seed)));
}

}  // namespace

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

PreparedCall::PreparedCall(const host::EffectInfo& effect, uint32_t seed, int depth, std::vector<double> values)
    : PreparedCall(effect, seed,
                   BitmapSpec{.depth = depth ? depth : RepresentativeDepth(effect), .width = kWidth, .height = kHeight},
                   values.empty() ? host::DefaultValues(effect) : std::move(values)) {}

PreparedCall::PreparedCall(const host::EffectInfo& effect, uint32_t seed, const BitmapSpec& image,
                           std::vector<double> values, const std::vector<BitmapSpec>& extras)
    : effect_(&effect), values_(std::move(values)) {
  if (effect.result == host::ResultKind::NoImage) return;
  image_ = RandomImage(image, seed);
  rect_ = RECT{0, 0, kWidth - 1, kHeight - 1};
  for (const host::ExtraInput& extra : effect.extras) {
    const size_t i = extras_.size();
    const uint32_t extraSeed = seed + 1000 * static_cast<uint32_t>(i + 1);
    BitmapSpec layout{.depth = extra.kind == host::ExtraKind::TextMask ? 1 : 32, .width = kWidth, .height = kHeight};
    if (extra.kind == host::ExtraKind::Tile) layout.width = 3, layout.height = 2;
    if (i < extras.size() && extras[i].depth != 0) layout = extras[i];
    if (extra.kind == host::ExtraKind::AlphaImage) {
      extraImages_.push_back(RandomImage(layout, extraSeed));
      extras_.push_back(extraImages_.back()->handle());
    } else {
      extraBitmaps_.push_back(RandomBitmap(layout, extraSeed));
      extras_.push_back(extraBitmaps_.back());
    }
  }
  if (effect.result == host::ResultKind::Painted) dc_ = Win32EmuCreateMemoryDC(kWidth, kHeight);
}

PreparedCall::~PreparedCall() {
  for (HGLOBAL bitmap : extraBitmaps_) GlobalFree(bitmap);
  if (dc_) Win32EmuDeleteMemoryDC(dc_);
}

host::EffectArgs PreparedCall::args() const {
  return {.image = image_ ? image_->handle() : nullptr, .values = values_, .extras = extras_, .rect = rect_, .dc = dc_};
}

intptr_t PreparedCall::invoke() const { return effect_->invoke(args()); }

PreparedCall::Snapshot PreparedCall::snapshot() const {
  Snapshot s;
  if (!image_) return s;
  s.record = BlockBytes(image_->handle());
  s.bitmap = image_->bytes();
  s.headerCopy = image_->headerCopyBytes();
  s.locks = LockStateOf(*image_);
  for (const auto& extra : extraImages_) {
    s.extras.insert(s.extras.end(), {BlockBytes(extra->handle()), extra->bytes(), extra->headerCopyBytes()});
    const LockState locks = LockStateOf(*extra);
    s.extraLocks.insert(s.extraLocks.end(), {locks.record, locks.bitmap, locks.header});
  }
  for (HGLOBAL bitmap : extraBitmaps_) {
    s.extras.push_back(BlockBytes(bitmap));
    s.extraLocks.push_back(LockCount(bitmap));
  }
  if (dc_) {
    const uint32_t* pixels = Win32EmuMemoryDCPixels(dc_);
    s.dcPixels.assign(pixels, pixels + kWidth * kHeight);
  }
  return s;
}

void FreeResult(const host::EffectInfo& effect, intptr_t result) {
  if (result == 0) return;
  if (effect.result == host::ResultKind::NewImage) host::FreeImageHandle(reinterpret_cast<HGLOBAL>(result));
  if (effect.result == host::ResultKind::NewBitmap) GlobalFree(reinterpret_cast<HGLOBAL>(result));
}

std::vector<const char*> CatalogExportNames() {
  std::vector<const char*> names;
  for (const host::EffectInfo& effect : host::EffectCatalog()) names.push_back(effect.exportName);
  return names;
}

}  // namespace ormi::test
