// Histogram equalisation and normalisation of 32-bit images.
//
// Both count the luminance level (77 R + 150 G + 29 B) >> 8 of every pixel (keyed pixels included),
// build one 256-entry table and send red, green and blue through it in the shared pixel walk.
//   equalise:  T[i] = trunc(255 (C[i] - C[0]) / d) in doubles, C the cumulative counts and
//              d = C[255] - C[0] when above 1, else 1;
//   normalise: T[i] = (i - lo) 254 div (hi - lo) between the levels lo and hi that clip 1 % of the
//              pixels (N div 100) at each end; 0 below lo and 254 above hi. SSE2 and AVX2 kernels compute
//              it in fixed point (stretch_kernels.h) instead of looking it up.
#include "tone/histogram.h"

#include <array>
#include <cstdint>
#include <optional>

#include "image/global_memory.h"
#include "tone/luminance_kernels.h"
#include "tone/pixel_walk.h"
#include "tone/stretch_kernels.h"

namespace ormi {
namespace {

using Histogram = std::array<uint64_t, 256>;

constexpr size_t kMinEqualiseSide = 5;

// The levels of a block of pixels (vector code where there is some), then four interleaved
// 32-bit histograms, so that neighbouring pixels of one level do not wait on each other's
// increments; folded into the 64-bit counts every 2^24 pixels, far before they wrap. The levels of
// the next block are found before the current one is counted, so that its pixels are being read
// while the counts go in.
Histogram LuminanceHistogram(const uint8_t* bits, size_t count) {
  Histogram histogram{};
  constexpr size_t kChunk = size_t{1} << 24;
  constexpr size_t kBlock = 128;
  const SimdLevel simd = ActiveSimdLevel();
  std::array<std::array<uint32_t, 256>, 4> partial;
  std::array<std::array<uint8_t, kBlock>, 2> levels;
  for (size_t start = 0; start < count; start += kChunk) {
    const size_t end = count - start < kChunk ? count : start + kChunk;
    for (auto& counts : partial) counts.fill(0);
    const auto blockAt = [&](size_t i) { return end - i < kBlock ? end - i : kBlock; };
    size_t i = start, n = blockAt(start), current = 0;
    LuminanceLevels(bits + 4 * start, n, levels[current].data(), simd);
    while (i < end) {
      const size_t next = i + n, following = next < end ? blockAt(next) : 0;
      if (following != 0) LuminanceLevels(bits + 4 * next, following, levels[current ^ 1].data(), simd);
      const uint8_t* block = levels[current].data();
      size_t k = 0;
      for (; k + 4 <= n; k += 4) {
        ++partial[0][block[k]];
        ++partial[1][block[k + 1]];
        ++partial[2][block[k + 2]];
        ++partial[3][block[k + 3]];
      }
      for (; k < n; ++k) ++partial[0][block[k]];
      i = next;
      n = following;
      current ^= 1;
    }
    for (size_t level = 0; level < 256; ++level)
      histogram[level] += uint64_t{partial[0][level]} + partial[1][level] + partial[2][level] + partial[3][level];
  }
  return histogram;
}

// The first level from the bottom at which more than `clip` pixels lie at or below it; 255 at most.
int LowerLevel(const Histogram& histogram, uint64_t clip) {
  uint64_t sum = 0;
  int level = 0;
  for (; level < 255; ++level) {
    sum += histogram[level];
    if (sum > clip) break;
  }
  return level;
}

// The same from the top; 0 at least.
int UpperLevel(const Histogram& histogram, uint64_t clip) {
  uint64_t sum = 0;
  int level = 255;
  for (; level > 0; --level) {
    sum += histogram[level];
    if (sum > clip) break;
  }
  return level;
}

struct StretchLevels {
  int lo, hi;
};

// The levels of the stretch, or nothing when the image has a single occupied level.
std::optional<StretchLevels> NormaliseLevels(const Histogram& histogram, uint64_t pixels) {
  int lo = LowerLevel(histogram, pixels / 100);
  int hi = UpperLevel(histogram, pixels / 100);
  if (lo == hi) {
    lo = LowerLevel(histogram, 0);
    hi = UpperLevel(histogram, 0);
    if (lo == hi) return std::nullopt;
  }
  return StretchLevels{lo, hi};
}

ComponentTable NormaliseTable(const StretchLevels& levels) {
  ComponentTable table{};
  for (int i = 0; i < 256; ++i) {
    if (i < levels.lo) {
      table[i] = 0;
    } else if (i > levels.hi) {
      table[i] = 254;
    } else {
      table[i] = static_cast<uint8_t>((i - levels.lo) * 254 / (levels.hi - levels.lo));
    }
  }
  return table;
}

ComponentTable EqualiseTable(const Histogram& histogram) {
  std::array<uint64_t, 256> cumulative{};
  uint64_t sum = 0;
  for (int i = 0; i < 256; ++i) cumulative[i] = sum += histogram[i];
  const uint64_t spread = cumulative[255] - cumulative[0];
  const double divisor = static_cast<double>(spread > 1 ? spread : 1);
  ComponentTable table{};
  for (int i = 0; i < 256; ++i) {
    table[i] = static_cast<uint8_t>(255.0 * static_cast<double>(cumulative[i] - cumulative[0]) / divisor);
  }
  return table;
}

template <class Pixels>
int WithLockedBitmap(HGLOBAL bitmap, const TransparencyArg& transparency, Pixels pixels) {
  GlobalLockGuard lock(bitmap);
  if (!lock) return 0;
  return pixels(lock.block(), transparency) != 0 ? 1 : 0;
}

}  // namespace

int ImgEqualisePixels(DibBlock bitmap, const TransparencyArg& transparency) {
  const std::optional<DibView> view = ViewDib(bitmap);
  if (!view || view->bitCount != 32) return 0;
  // Signed sides: a top-down bitmap (negative height) is refused with the small ones.
  if (view->height < static_cast<int32_t>(kMinEqualiseSide) || view->width < static_cast<int32_t>(kMinEqualiseSide)) {
    return 0;
  }
  const size_t count = PixelRun32(*view, TopDownRows::None);
  const Histogram histogram = LuminanceHistogram(view->bits(), count);
  ApplyComponentTable32(view->bits(), count, transparency, EqualiseTable(histogram));
  return 1;
}

int ImgNormalisePixels(DibBlock bitmap, const TransparencyArg& transparency) {
  // Only 32-bit rows form the single run of pixels walked here; any other layout is refused.
  const std::optional<DibView> view = ViewDib(bitmap);
  if (!view || view->bitCount != 32) return 0;
  const size_t count = PixelRun32(*view, TopDownRows::Absolute);
  const Histogram histogram = LuminanceHistogram(view->bits(), count);
  const std::optional<StretchLevels> levels = NormaliseLevels(histogram, count);
  if (!levels) return 0;
  // The vector kernels compute the table's values; the table finishes the last few pixels.
  size_t done = 0;
  if (const StretchKernel stretch = SelectStretch(ActiveSimdLevel())) {
    done = stretch(view->bits(), count, StretchOf(levels->lo, levels->hi), Table32RuleOf(transparency));
  }
  ApplyComponentTable32(view->bits() + 4 * done, count - done, transparency, NormaliseTable(*levels));
  return 1;
}

int ImgEqualiseDib(HGLOBAL bitmap, const TransparencyArg& transparency) {
  return WithLockedBitmap(bitmap, transparency, ImgEqualisePixels);
}

int ImgNormaliseDib(HGLOBAL bitmap, const TransparencyArg& transparency) {
  return WithLockedBitmap(bitmap, transparency, ImgNormalisePixels);
}

}  // namespace ormi
