// Alpha diffusion (halo): the source is copied into the centre of a picture enlarged by n + 1
// pixels on every side; the border takes the first stored source pixel's colour with alpha 0.
// Then n passes, k = n down to 1: every pixel of alpha 0 takes the first non-zero alpha among
// its neighbours (right, below, below right, below left, left, above, above left, above right;
// rows in memory order) times k / (k + 1), truncated. Each row's new alphas wait in one of two
// row buffers until the next row is computed, so a pass reads only the previous pass's values.
// The outermost ring keeps alpha 0.
// A neighbour of alpha 1 gives 0 and one of 2 or more gives at least 1 whatever k is, so whether a
// pass changes anything depends on the picture alone: after the first pass that changes nothing,
// none does, and the diffusion ends there (at most 255 passes change anything, since each new
// alpha is below the one it came from). After j passes no alpha lies farther than j from the
// source, so a pass only visits the source grown by the passes done so far.
#include "alpha/alpha_diffusion.h"

#include <array>
#include <cstring>
#include <limits>

#include "alpha/alpha_diffusion_kernels.h"
#include "image/dib.h"
#include "image/global_memory.h"
#include "image/heap_buffer.h"
#include "image/record.h"
#include "simd/simd_level.h"

namespace ormi {
namespace {

// The enlarged picture being built: a locked 32-bit bitmap without colour table.
struct Canvas {
  uint8_t* bits;
  size_t width, height;  // NW, NH
  uint8_t* row(size_t r) const { return bits + r * 4 * width; }
};

// A part of the canvas: rows top..bottom - 1, columns left..right - 1.
struct Window {
  size_t top, bottom, left, right;
};

// Where the source lies in the canvas, and which of its rows are solid (see CopyIntoCanvas); a
// solid row's source columns keep their alphas through every pass, so a pass looks only at the
// columns beside them. No rows are marked at the scalar level, which looks at every pixel.
struct Placement {
  Window source;
  const uint8_t* solid;

  template <class Visit>
  void forEachSpan(const Window& window, size_t r, Visit&& visit) const {
    if (solid != nullptr && solid[r]) {
      visit(window.left, source.left);
      visit(source.right, window.right);
    } else {
      visit(window.left, window.right);
    }
  }
};

// Passes that go down the picture together (see DiffuseGroup).
constexpr int kStages = 8;

struct CanvasSize {
  int64_t width, height;
  size_t bytes;
};

std::optional<CanvasSize> CanvasSizeOf(int64_t width, int64_t height, int64_t passes) {
  const int64_t border = 2 * passes + 2;
  const int64_t canvasWidth = width + border, canvasHeight = height + border;
  constexpr int64_t kMaxSide = std::numeric_limits<int32_t>::max();
  if (canvasWidth > kMaxSide || canvasHeight > kMaxSide) return std::nullopt;
  const uint64_t pixels = static_cast<uint64_t>(canvasWidth) * static_cast<uint64_t>(canvasHeight);
  if (pixels > (std::numeric_limits<size_t>::max() - kInfoHeaderBytes) / 4) return std::nullopt;
  return CanvasSize{canvasWidth, canvasHeight, static_cast<size_t>(kInfoHeaderBytes + 4 * pixels)};
}

uint8_t* FillPixels(uint8_t* p, size_t count, uint32_t value) {
  for (size_t i = 0; i < count; ++i, p += 4) StorePixel<uint32_t>(p, value);
  return p;
}

// Border rows, then each source row between border columns, then border rows. With a kernel,
// also marks in `solid` (one byte per canvas row) the rows whose source pixels all have an alpha.
void CopyIntoCanvas(const Canvas& canvas, const DibView& source, size_t border, uint32_t fill, SkipAlphasKernel skip,
                    uint8_t* solid) {
  const size_t width = static_cast<uint32_t>(source.width);
  uint8_t* p = FillPixels(canvas.bits, border * canvas.width, fill);
  if (solid) std::memset(solid, 0, canvas.height);
  for (size_t r = 0; r < source.rows; ++r) {
    p = FillPixels(p, border, fill);
    std::memcpy(p, source.row(r), 4 * width);
    if (solid) solid[border + r] = skip(p, 0, width) == width;
    p = FillPixels(p + 4 * width, border, fill);
  }
  FillPixels(p, border * canvas.width, fill);
}

uint8_t FirstNeighbourAlpha(const uint8_t* above, const uint8_t* here, const uint8_t* below, size_t x) {
  const size_t left = 4 * (x - 1) + 3, centre = 4 * x + 3, right = 4 * (x + 1) + 3;
  for (uint8_t a :
       {here[right], below[centre], below[right], below[left], here[left], above[centre], above[left], above[right]}) {
    if (a != 0) return a;
  }
  return 0;
}

// The new alphas of a row's pixels of alpha 0 go into the row buffer (the others keep theirs and
// have no entry), with a list of those that changed, so that rows a pass leaves as they were are
// not written back and rows with few changes are written pixel by pixel. Runs of pixels with an
// alpha are skipped several at a time above the scalar level.
// The kernel is a template argument, so that rows of many alpha-0 pixels, where it is entered at
// nearly every pixel, call it directly; the scalar level has none.
struct NoSkip {
  static constexpr bool kVector = false;
  static size_t Run(const uint8_t*, size_t x, size_t) { return x; }
};
template <SkipAlphasKernel Kernel>
struct VectorSkip {
  static constexpr bool kVector = true;
  static size_t Run(const uint8_t* row, size_t x, size_t end) { return Kernel(row, x, end); }
};

// The pixels of a row whose alpha a pass changes: how many, and where, while they fit the list.
struct RowChanges {
  static constexpr size_t kListed = 64;
  size_t count = 0;
  std::array<uint32_t, kListed> at;

  void add(size_t x) {
    if (count < kListed) at[count] = static_cast<uint32_t>(x);
    ++count;
  }
};

template <class Skip>
void ComputeRow(const Canvas& canvas, const Placement& placement, const Window& window, size_t r,
                const std::array<uint8_t, 256>& scaled, uint8_t* buffer, RowChanges& changes) {
  const uint8_t *above = canvas.row(r - 1), *here = canvas.row(r), *below = canvas.row(r + 1);
  changes.count = 0;
  placement.forEachSpan(window, r, [&](size_t x, size_t end) {
    for (; x < end; ++x) {
      if constexpr (Skip::kVector) {
        x = Skip::Run(here, x, end);
        if (x == end) break;
      }
      if (here[4 * x + 3] != 0) continue;
      buffer[x] = scaled[FirstNeighbourAlpha(above, here, below, x)];
      if (buffer[x] != 0) changes.add(x);
    }
  });
}

// Only pixels of alpha 0 can have changed, and only those have a buffer entry.
template <class Skip>
void StoreRow(const Canvas& canvas, const Placement& placement, const Window& window, size_t r, const uint8_t* buffer,
              const RowChanges& changes) {
  uint8_t* p = canvas.row(r);
  if (changes.count <= RowChanges::kListed) {
    for (size_t i = 0; i < changes.count; ++i) p[4 * size_t{changes.at[i]} + 3] = buffer[changes.at[i]];
    return;
  }
  placement.forEachSpan(window, r, [&](size_t x, size_t end) {
    for (; x < end; ++x) {
      if constexpr (Skip::kVector) {
        x = Skip::Run(p, x, end);
        if (x == end) break;
      }
      if (p[4 * x + 3] == 0) p[4 * x + 3] = buffer[x];
    }
  });
}

// One pass in the pipeline: its divisor k + 1 as a table, the two row buffers that hold its last two
// rows until they may be stored, whether those rows changed, and whether any row did.
struct PassStage {
  std::array<uint8_t, 256> scaled;
  uint8_t* odd;
  uint8_t* even;
  RowChanges changes[2];
  bool moved;

  void start(int k, uint8_t* oddRow, uint8_t* evenRow) {
    for (int a = 0; a < 256; ++a) scaled[static_cast<size_t>(a)] = static_cast<uint8_t>(int64_t{a} * k / (k + 1));
    odd = oddRow;
    even = evenRow;
    changes[0].count = changes[1].count = 0;
    moved = false;
  }
  uint8_t* buffer(size_t r) const { return r % 2 ? odd : even; }
};

// Up to kStages passes go down the window together, each two rows behind the one before it: when
// a pass computes row r, the pass before it has just stored row r + 1 and is done with rows up to
// r, and its own row r - 1 waits in its buffer. Every pass thus reads exactly the rows the previous
// pass left, while the picture is read and written once per group of passes instead of per pass.
// True when the group's last pass changed an alpha.
template <class Skip>
bool DiffuseGroup(const Canvas& canvas, const Placement& placement, const Window& window, int firstK, int count,
                  uint8_t* odd, uint8_t* even) {
  std::array<PassStage, kStages> stages;
  for (int s = 0; s < count; ++s) {
    stages[static_cast<size_t>(s)].start(firstK - s, odd + static_cast<size_t>(s) * canvas.width,
                                         even + static_cast<size_t>(s) * canvas.width);
  }
  const size_t rows = window.bottom - window.top;
  for (size_t step = 1; step <= rows + 1 + 2 * static_cast<size_t>(count - 1); ++step) {
    for (size_t s = 0; s < static_cast<size_t>(count); ++s) {
      if (step < 2 * s + 1) break;
      PassStage& stage = stages[s];
      const size_t i = step - 1 - 2 * s, r = window.top + i;
      if (i < rows) {
        ComputeRow<Skip>(canvas, placement, window, r, stage.scaled, stage.buffer(r), stage.changes[r % 2]);
        stage.moved |= stage.changes[r % 2].count != 0;
        if (i > 0) StoreRow<Skip>(canvas, placement, window, r - 1, stage.buffer(r - 1), stage.changes[(r - 1) % 2]);
      } else if (i == rows) {
        StoreRow<Skip>(canvas, placement, window, r - 1, stage.buffer(r - 1), stage.changes[(r - 1) % 2]);
      }
    }
  }
  return stages[static_cast<size_t>(count - 1)].moved;
}

// The kernel that skips pixels with an alpha at this level; none at the scalar level.
SkipAlphasKernel SkipKernelFor(SimdLevel level) {
  if (HasAvx2(level)) return SkipNonZeroAlphasAvx2;
  return level == SimdLevel::Sse2 ? SkipNonZeroAlphasSse2 : nullptr;
}

void Diffuse(const Canvas& canvas, const Placement& placement, int passes, SkipAlphasKernel skip, uint8_t* odd,
             uint8_t* even) {
  const Window& source = placement.source;
  size_t done = 0;
  for (int k = passes; k >= 1; k -= kStages) {
    const int count = k < kStages ? k : kStages;
    // The border is passes + 1 wide, so the grown source stays inside the outermost ring.
    const size_t reach = done + static_cast<size_t>(count);
    const Window window{source.top - reach, source.bottom + reach, source.left - reach, source.right + reach};
    bool moved;
    if (skip == SkipNonZeroAlphasAvx2) {
      moved = DiffuseGroup<VectorSkip<SkipNonZeroAlphasAvx2>>(canvas, placement, window, k, count, odd, even);
    } else if (skip == SkipNonZeroAlphasSse2) {
      moved = DiffuseGroup<VectorSkip<SkipNonZeroAlphasSse2>>(canvas, placement, window, k, count, odd, even);
    } else {
      moved = DiffuseGroup<NoSkip>(canvas, placement, window, k, count, odd, even);
    }
    if (!moved) return;
    done = reach;
  }
}

}  // namespace

HGLOBAL ImgDiffImage(const ImageRecord& source, int passes) {
  if (passes < 0 || source.width <= 0 || source.height <= 0) return nullptr;
  const std::optional<CanvasSize> size = CanvasSizeOf(source.width, source.height, passes);
  if (!size) return nullptr;

  GlobalLockGuard sourceLock(BitmapOf(source));
  if (!sourceLock) return nullptr;
  const std::optional<DibView> view = ViewDib(sourceLock.block());
  // The copy reads rows of exactly 4 * width bytes, so the bitmap must be what the record says.
  if (!view || view->bitCount != 32 || view->width != source.width ||
      view->rows != static_cast<uint32_t>(source.height)) {
    return nullptr;
  }

  GlobalBlock bitmap(GHND, size->bytes);
  if (!bitmap) return nullptr;
  GlobalLockGuard bitmapLock(bitmap.handle());
  if (!bitmapLock) return nullptr;
  const size_t canvasWidth = static_cast<size_t>(size->width);
  const SkipAlphasKernel skip = SkipKernelFor(ActiveSimdLevel());
  HeapBytes odd, even, solid;
  if (passes > 0) {
    const size_t stages = static_cast<size_t>(passes < kStages ? passes : kStages);
    odd = AllocateHeapBytes(stages * canvasWidth);  // fits: the canvas has more rows than stages
    even = AllocateHeapBytes(stages * canvasWidth);
    if (!odd || !even) return nullptr;
    if (skip) {
      solid = AllocateHeapBytes(static_cast<size_t>(size->height));
      if (!solid) return nullptr;
    }
  }

  WritePlainInfoHeader(bitmapLock.data(), static_cast<int32_t>(size->width), static_cast<int32_t>(size->height), 32);
  const Canvas canvas{bitmapLock.data() + kInfoHeaderBytes, canvasWidth, static_cast<size_t>(size->height)};
  const uint32_t fill = LoadPixel<uint32_t>(view->bits()) & 0x00FFFFFFu;
  const size_t border = static_cast<size_t>(passes) + 1;
  CopyIntoCanvas(canvas, *view, border, fill, skip, solid.get());
  sourceLock.unlock();
  const Placement placement{{border, border + view->rows, border, border + static_cast<size_t>(source.width)},
                            solid.get()};
  if (passes > 0) Diffuse(canvas, placement, passes, skip, odd.get(), even.get());
  bitmapLock.unlock();

  HGLOBAL image = CreateImageRecord(bitmap.handle(), 1, ORMI_ALPHA_TRANSPARENCY);
  if (image) bitmap.release();
  return image;
}

}  // namespace ormi
