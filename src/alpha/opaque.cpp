// Opaque: writes the alpha channel of a 32-bit picture by one of four rules, chosen once per call.
//   fade      (key from the record, bit 31 set): alpha = max(alpha - level, 0)
//   hard key  (key with bit 31 clear):           alpha = pixel == key ? 0 : (255 - level) & 0xFF
//   uniform   (key given, level < 1):            alpha = (255 - level) & 0xFF
//   soft key  (key given, level >= 1):           tol = level - 1; outside the box of +-tol per
//     channel alpha = 255 (or kept); equal to the key 0; inside, the distance s to the key gives
//     ti = trunc(255 - s / 3 + 0.5) in single precision, and where ti < alpha (keeping mode)
//     alpha = trunc(ti / q), q = ((tol - 128) / 64)^3 + 9 rounded to single precision.
// Every per-pixel value comes from tables built once per call. Results are the low 8 bits.
#include "alpha/opaque.h"

#include <array>
#include <cmath>
#include <cstdlib>

#include "alpha/alpha_kernels.h"
#include "image/global_memory.h"
#include "image/record.h"
#include "image/transparency.h"

namespace ormi {
namespace {

constexpr uint32_t kColorBits = 0x00FFFFFFu;
constexpr int kMaxDistance = 3 * 255;

uint8_t LowByte(int64_t value) { return static_cast<uint8_t>(value & 0xFF); }

// Every pixel's alpha from a table indexed by its old alpha.
void MapAlpha(const DibView& view, const std::array<uint8_t, 256>& table) {
  uint8_t* p = view.bits();
  const size_t pixels = size_t{view.rows} * static_cast<uint32_t>(view.width);
  for (size_t i = 0; i < pixels; ++i, p += 4) p[3] = table[p[3]];
}

// Every pixel by a vector rule, or false when the level runs no vector code.
bool ApplyRule(const DibView& view, const AlphaRule& rule) {
  const AlphaRuleKernel kernel = SelectAlphaRule(ActiveSimdLevel());
  if (!kernel) return false;
  kernel(view.bits(), size_t{view.rows} * static_cast<uint32_t>(view.width), rule);
  return true;
}

void Fade(const DibView& view, int level) {
  // Within 0..255 the table is a saturating subtraction.
  if (level >= 0 && level <= 255 && ApplyRule(view, {false, 0, 0, true, static_cast<uint8_t>(level), 0})) return;
  std::array<uint8_t, 256> table;
  for (int a = 0; a < 256; ++a) {
    const int64_t faded = int64_t{a} - level;
    table[a] = faded < 0 ? 0 : LowByte(faded);
  }
  MapAlpha(view, table);
}

void HardKey(const DibView& view, int level, uint32_t color) {
  const uint32_t key = KeyPixelForm(color);
  const uint8_t others = LowByte(int64_t{255} - level);
  if (ApplyRule(view, {true, key, 0, false, 0, others})) return;
  uint8_t* p = view.bits();
  const size_t pixels = size_t{view.rows} * static_cast<uint32_t>(view.width);
  for (size_t i = 0; i < pixels; ++i, p += 4) {
    const uint32_t value = LoadPixel<uint32_t>(p) & kColorBits;
    p[3] = value == key ? 0 : others;
  }
}

void Uniform(const DibView& view, int level) {
  const int64_t alpha = int64_t{255} - level;
  const uint8_t uniform = alpha < 0 ? 0 : LowByte(alpha);
  if (ApplyRule(view, {false, 0, 0, false, 0, uniform})) return;
  std::array<uint8_t, 256> table;
  table.fill(uniform);
  MapAlpha(view, table);
}

// The box around the key and the alpha tables of the soft key, fixed for the call.
struct SoftKeyTables {
  uint32_t key = 0, lo = 0, hi = 0;
  int c0 = 0, c1 = 0, c2 = 0;
  std::array<uint8_t, kMaxDistance + 1> nearness{};  // ti for each distance s
  std::array<uint8_t, 256> scaled{};                 // ti / q for each ti
};

SoftKeyTables MakeSoftKeyTables(uint32_t key, int64_t tol) {
  SoftKeyTables t;
  t.key = key;
  t.c0 = static_cast<int>(key & 0xFF);
  t.c1 = static_cast<int>((key >> 8) & 0xFF);
  t.c2 = static_cast<int>((key >> 16) & 0xFF);
  auto low = [&](int c) { return static_cast<uint32_t>(c > tol ? c - tol : 0); };
  auto high = [&](int c) { return static_cast<uint32_t>(c + tol < 255 ? c + tol : 255); };
  // Byte 0 of the key bounds the pixel's red, as in the pixel form.
  t.lo = low(t.c0) << 16 | low(t.c1) << 8 | low(t.c2);
  t.hi = high(t.c0) << 16 | high(t.c1) << 8 | high(t.c2);
  for (int s = 0; s <= kMaxDistance; ++s) {
    const float f = static_cast<float>(s) / 3.0f;
    const float nearness = 255.0f - f + 0.5f;
    t.nearness[s] = static_cast<uint8_t>(static_cast<int>(nearness));
  }
  const float b = static_cast<float>(static_cast<double>(tol - 128) / 64.0);
  const float q = static_cast<float>(std::pow(static_cast<double>(b), 3.0) + 9.0);
  for (int ti = 0; ti < 256; ++ti) t.scaled[ti] = LowByte(static_cast<int>(static_cast<float>(ti) / q));
  return t;
}

// Inside the box the key's byte 0 is compared with the pixel's blue: the key is used as given.
uint8_t SoftKeyAlpha(const SoftKeyTables& t, uint32_t pixel, bool keepOutside) {
  const uint32_t value = pixel & kColorBits;
  const uint8_t alpha = static_cast<uint8_t>(pixel >> 24);
  if (value < t.lo || value > t.hi) return keepOutside ? alpha : 255;
  if (value == t.key) return 0;
  const int s = std::abs(t.c0 - static_cast<int>(value & 0xFF)) +
                std::abs(t.c1 - static_cast<int>((value >> 8) & 0xFF)) + std::abs(t.c2 - static_cast<int>(value >> 16));
  const uint8_t ti = t.nearness[s];
  return ti < alpha && keepOutside ? t.scaled[ti] : alpha;
}

void SoftKey(const DibView& view, int level, const OpaqueKey& key) {
  const int64_t tol = int64_t{level} - 1;
  if (tol > 250) {
    std::array<uint8_t, 256> transparent{};
    MapAlpha(view, transparent);
    return;
  }
  const SoftKeyTables tables = MakeSoftKeyTables(key.key, tol);
  uint8_t* p = view.bits();
  const size_t pixels = size_t{view.rows} * static_cast<uint32_t>(view.width);
  for (size_t i = 0; i < pixels; ++i, p += 4) p[3] = SoftKeyAlpha(tables, LoadPixel<uint32_t>(p), key.keepOutside);
}

}  // namespace

OpaqueKey OpaqueKeyOf(const ImageRecord& record, int color) {
  const uint32_t given = static_cast<uint32_t>(color);
  if (given == 0 && HasTransparency(record)) return {record.transparentColor, false, true};
  if (given & ORMI_ALPHA_TRANSPARENCY) return {given & ~ORMI_ALPHA_TRANSPARENCY, true, HasTransparency(record)};
  return {0, false, false};
}

int ImgOpaquePixels(DibBlock bitmap, int level, const OpaqueKey& key) {
  const std::optional<DibView> view = ViewDib(bitmap);
  if (!view || view->bitCount != 32) return 0;
  if (!key.useAsGiven) {
    if (key.key & ORMI_ALPHA_TRANSPARENCY) {
      Fade(*view, level);
    } else {
      HardKey(*view, level, key.key);
    }
  } else if (level < 1) {
    Uniform(*view, level);
  } else {
    SoftKey(*view, level, key);
  }
  return 1;
}

int ImgOpaqueDib(HGLOBAL bitmap, int level, const OpaqueKey& key) {
  GlobalLockGuard lock(bitmap);
  if (!lock) return 0;
  return ImgOpaquePixels(lock.block(), level, key) != 0 ? 1 : 0;
}

int OpaqueImage(ImageRecord& record, int level, int color) {
  const int result = ImgOpaqueDib(BitmapOf(record), level, OpaqueKeyOf(record, color));
  record.transparency = 1;
  record.transparentColor |= ORMI_ALPHA_TRANSPARENCY;
  return result;
}

}  // namespace ormi
