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

// Border rows, then each source row between border columns, then border rows.
void CopyIntoCanvas(const Canvas& canvas, const DibView& source, size_t border, uint32_t fill) {
  const size_t width = static_cast<uint32_t>(source.width);
  uint8_t* p = FillPixels(canvas.bits, border * canvas.width, fill);
  for (size_t r = 0; r < source.rows; ++r) {
    p = FillPixels(p, border, fill);
    std::memcpy(p, source.row(r), 4 * width);
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

// Fills the row's new alphas into the buffer; true when any of them differs from the row's own, so
// that rows a pass leaves as they were are not written back. Runs of pixels that keep their alpha
// go four at a time above the scalar level.
// The kernel is a template argument, so that rows of many alpha-0 pixels, where it is entered at
// nearly every pixel, call it directly; the scalar level has none.
struct NoPass {
  static constexpr bool kVector = false;
  static size_t Run(const uint8_t*, size_t x, size_t, uint8_t*) { return x; }
};
template <PassAlphasKernel Kernel>
struct VectorPass {
  static constexpr bool kVector = true;
  static size_t Run(const uint8_t* row, size_t x, size_t end, uint8_t* buffer) { return Kernel(row, x, end, buffer); }
};

// A part of the canvas: rows top..bottom - 1, columns left..right - 1.
struct Window {
  size_t top, bottom, left, right;
};

template <class Pass>
bool ComputeRow(const Canvas& canvas, const Window& window, size_t r, const std::array<uint8_t, 256>& scaled,
                uint8_t* buffer) {
  const uint8_t *above = canvas.row(r - 1), *here = canvas.row(r), *below = canvas.row(r + 1);
  bool changed = false;
  const size_t end = window.right;
  for (size_t x = window.left; x < end; ++x) {
    if constexpr (Pass::kVector) {
      x = Pass::Run(here, x, end, buffer);
      if (x == end) break;
    }
    const uint8_t a = here[4 * x + 3];
    if (a != 0) {
      buffer[x] = a;
      continue;
    }
    buffer[x] = scaled[FirstNeighbourAlpha(above, here, below, x)];
    changed |= buffer[x] != 0;
  }
  return changed;
}

// Only pixels of alpha 0 can have changed: every other one's buffer entry is its own alpha.
template <class Pass>
void StoreRow(const Canvas& canvas, const Window& window, size_t r, const uint8_t* buffer) {
  uint8_t* p = canvas.row(r);
  for (size_t x = window.left; x < window.right; ++x) {
    if constexpr (Pass::kVector) {
      x = Pass::Run(p, x, window.right, nullptr);
      if (x == window.right) break;
    }
    p[4 * x + 3] = buffer[x];
  }
}

// One pass in the pipeline: its divisor k + 1 as a table, the two row buffers that hold its last two
// rows until they may be stored, whether those rows changed, and whether any row did.
struct PassStage {
  std::array<uint8_t, 256> scaled;
  uint8_t* odd;
  uint8_t* even;
  bool changed[2];
  bool moved;

  void start(int k, uint8_t* oddRow, uint8_t* evenRow) {
    for (int a = 0; a < 256; ++a) scaled[static_cast<size_t>(a)] = static_cast<uint8_t>(int64_t{a} * k / (k + 1));
    odd = oddRow;
    even = evenRow;
    changed[0] = changed[1] = moved = false;
  }
  uint8_t* buffer(size_t r) const { return r % 2 ? odd : even; }
};

// Up to kStages passes go down the window together, each two rows behind the one before it: when
// a pass computes row r, the pass before it has just stored row r + 1 and is done with rows up to
// r, and its own row r - 1 waits in its buffer. Every pass thus reads exactly the rows the previous
// pass left, while the picture is read and written once per group of passes instead of per pass.
// True when the group's last pass changed an alpha.
template <class Pass>
bool DiffuseGroup(const Canvas& canvas, const Window& window, int firstK, int count, uint8_t* odd, uint8_t* even) {
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
        stage.changed[r % 2] = ComputeRow<Pass>(canvas, window, r, stage.scaled, stage.buffer(r));
        stage.moved |= stage.changed[r % 2];
        if (i > 0 && stage.changed[(r - 1) % 2]) StoreRow<Pass>(canvas, window, r - 1, stage.buffer(r - 1));
      } else if (i == rows && stage.changed[(r - 1) % 2]) {
        StoreRow<Pass>(canvas, window, r - 1, stage.buffer(r - 1));
      }
    }
  }
  return stages[static_cast<size_t>(count - 1)].moved;
}

// `source` is the source's place in the canvas.
void Diffuse(const Canvas& canvas, const Window& source, int passes, uint8_t* odd, uint8_t* even) {
  const SimdLevel level = ActiveSimdLevel();
  size_t done = 0;
  for (int k = passes; k >= 1; k -= kStages) {
    const int count = k < kStages ? k : kStages;
    // The border is passes + 1 wide, so the grown source stays inside the outermost ring.
    const size_t reach = done + static_cast<size_t>(count);
    const Window window{source.top - reach, source.bottom + reach, source.left - reach, source.right + reach};
    bool moved;
    if (HasAvx2(level)) {
      moved = DiffuseGroup<VectorPass<PassNonZeroAlphasAvx2>>(canvas, window, k, count, odd, even);
    } else if (level == SimdLevel::Sse2) {
      moved = DiffuseGroup<VectorPass<PassNonZeroAlphasSse2>>(canvas, window, k, count, odd, even);
    } else {
      moved = DiffuseGroup<NoPass>(canvas, window, k, count, odd, even);
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
  HeapBytes odd, even;
  if (passes > 0) {
    const size_t stages = static_cast<size_t>(passes < kStages ? passes : kStages);
    odd = AllocateHeapBytes(stages * canvasWidth);  // fits: the canvas has more rows than stages
    even = AllocateHeapBytes(stages * canvasWidth);
    if (!odd || !even) return nullptr;
  }

  WritePlainInfoHeader(bitmapLock.data(), static_cast<int32_t>(size->width), static_cast<int32_t>(size->height), 32);
  const Canvas canvas{bitmapLock.data() + kInfoHeaderBytes, canvasWidth, static_cast<size_t>(size->height)};
  const uint32_t fill = LoadPixel<uint32_t>(view->bits()) & 0x00FFFFFFu;
  const size_t border = static_cast<size_t>(passes) + 1;
  CopyIntoCanvas(canvas, *view, border, fill);
  sourceLock.unlock();
  const Window placed{border, border + view->rows, border, border + static_cast<size_t>(source.width)};
  if (passes > 0) Diffuse(canvas, placed, passes, odd.get(), even.get());
  bitmapLock.unlock();

  HGLOBAL image = CreateImageRecord(bitmap.handle(), 1, ORMI_ALPHA_TRANSPARENCY);
  if (image) bitmap.release();
  return image;
}

}  // namespace ormi
