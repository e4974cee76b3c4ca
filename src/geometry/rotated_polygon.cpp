// FillRotatedPolygon. Each destination row is zeros up to the left edge, the span between the
// edges, zeros to the end; rows are written in tiles (FillRows) with the same bytes. The left edge
// walks the corners backwards from the lowest one, the right edge forwards; each is re-seeded at
// the row of every corner it reaches, with increments (target - corner) / rows, all divisions
// truncating towards zero. A span pixel samples the source at the exact 16.16 sum of the span
// increments, held as a pixel index plus two carried fractions, so the hot loop neither
// multiplies nor divides. Edge state is kept in 64 bits: it equals 32-bit 16.16 arithmetic
// wherever that does not overflow, and stays exact for pictures wider or taller than 32767.
#include "geometry/rotated_polygon.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "geometry/rotation_engine.h"
#include "geometry/scan_span_kernels.h"
#include "image/dib.h"
#include "image/global_memory.h"
#include "image/record.h"
#include "image/transparency.h"

namespace ormi {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr double kCanvasLimit = std::numeric_limits<int32_t>::max();

struct ScanEdge {
  int64_t column = 0, u = 0, v = 0;     // 16.16
  int64_t dColumn = 0, du = 0, dv = 0;  // per row
  int vertex = 0;                       // corner at which the edge is next re-seeded

  void seed(const RotatedPolygon& p, int i) {
    column = p.column[i] * 65536;
    u = p.u[i];
    v = p.v[i];
  }
  void advance() {
    column += dColumn;
    u += du;
    v += dv;
  }
};

// Re-seeds an edge at every corner on row y that it reaches, walking the corners by `step`
// (3 backwards, 1 forwards). Corners on one row are passed at most four times.
void Reseed(ScanEdge& edge, const RotatedPolygon& p, int64_t y, int step) {
  for (int guard = 0; guard < 4 && p.row[edge.vertex] == y; ++guard) {
    const int from = edge.vertex, to = (from + step) & 3;
    edge.seed(p, from);
    const int64_t rows = p.row[to] - p.row[from];
    if (rows != 0) {
      edge.dColumn = (p.column[to] * 65536 - p.column[from] * 65536) / rows;
      edge.du = (p.u[to] - p.u[from]) / rows;
      edge.dv = (p.v[to] - p.v[from]) / rows;
    }
    edge.vertex = to;
  }
}

int StartVertex(const RotatedPolygon& p) {
  if (p.row[3] == 0) return 3;
  int i = 0;
  while (i < 3 && p.row[i] != 0) ++i;
  return i;
}

// A canvas of one cell row: every corner is on it, and the row runs from the leftmost corner to
// the rightmost, each edge taking that corner's column and source position.
void SeedSingleRow(const RotatedPolygon& p, ScanEdge& left, ScanEdge& right) {
  int leftmost = 0, rightmost = 0;
  for (int i = 1; i < 4; ++i) {
    if (p.column[i] < p.column[leftmost]) leftmost = i;
    if (p.column[i] > p.column[rightmost]) rightmost = i;
  }
  left.seed(p, leftmost);
  right.seed(p, rightmost);
}

template <ScanTransparency Mode>
inline uint32_t Treat(uint32_t pixel, uint32_t key) {
  if constexpr (Mode == ScanTransparency::Opaque) {
    return pixel | kOpaque;
  } else if constexpr (Mode == ScanTransparency::AlphaKept) {
    return pixel;
  } else {
    return (pixel | kOpaque) == key ? 0 : pixel | kOpaque;
  }
}

// One cell: B pixels in each of B rows.
template <int B>
inline void StoreCell(uint8_t* cell, size_t rowBytes, uint32_t value) {
  for (int r = 0; r < B; ++r, cell += rowBytes) {
    for (int c = 0; c < B; ++c) StorePixel<uint32_t>(cell + 4 * c, value);
  }
}

template <int B>
void ZeroCells(uint8_t* row, size_t rowBytes, int64_t from, int64_t to) {
  if (to <= from) return;
  const auto offset = static_cast<size_t>(from) * 4 * B, bytes = static_cast<size_t>(to - from) * 4 * B;
  for (int r = 0; r < B; ++r, row += rowBytes) std::memset(row + offset, 0, bytes);
}

template <int B, ScanTransparency Mode>
void WriteSpan(uint8_t* cell, size_t rowBytes, int64_t cells, const ScanSource& source, const ScanEdge& left,
               int64_t du, int64_t dv, uint32_t key) {
  const auto width = static_cast<ptrdiff_t>(source.width);
  ptrdiff_t index = static_cast<ptrdiff_t>((left.v >> 16) * width + (left.u >> 16));
  const auto step = static_cast<ptrdiff_t>((du >> 16) + (dv >> 16) * width);
  uint32_t uFraction = static_cast<uint32_t>(left.u) << 16, vFraction = static_cast<uint32_t>(left.v) << 16;
  const uint32_t duFraction = static_cast<uint32_t>(du) << 16, dvFraction = static_cast<uint32_t>(dv) << 16;
  for (int64_t k = 0; k < cells; ++k, cell += 4 * B) {
    StoreCell<B>(cell, rowBytes, Treat<Mode>(LoadPixel<uint32_t>(source.bits + 4 * index), key));
    const uint32_t u = uFraction + duFraction, v = vFraction + dvFraction;
    index += step + (u < uFraction ? 1 : 0) + (v < vFraction ? width : 0);
    uFraction = u;
    vFraction = v;
  }
}

bool InSource(const ScanEdge& edge, const ScanSource& source) {
  const int64_t lastU = (int64_t{source.width} - 1) * 65536, lastV = (int64_t{source.rows} - 1) * 65536;
  return edge.u >= 0 && edge.u <= lastU && edge.v >= 0 && edge.v <= lastV;
}

// The span from its left edge: whole vectors of cells by the kernel where there is one, the rest
// by the scalar walk from where the kernel stopped.
template <int B, ScanTransparency Mode>
void FillSpan(uint8_t* first, size_t rowBytes, int64_t cells, const ScanSource& source, const ScanEdge& left,
              int64_t du, int64_t dv, uint32_t key, ScanSpanKernel vector) {
  const int64_t done =
      vector ? vector({first, rowBytes, cells, source.bits, source.width, left.u, left.v, du, dv, key}) : 0;
  if (done == cells) return;
  ScanEdge from = left;
  from.u += done * du;
  from.v += done * dv;
  WriteSpan<B, Mode>(first + static_cast<size_t>(done) * 4 * B, rowBytes, cells - done, source, from, du, dv, key);
}

// The tiles the canvas is written in: bands of rows, each band in strips of columns. A whole row's
// span runs diagonally through the source and meets a new source row, on its own 4 KB page, every
// few pixels; the rows of a band read a strip's pages one after the other, while their
// translations and lines are still cached. Eight rows by 1024 pixels measured best at 30 degrees
// on 4 KB pages (taller bands or narrower strips were slower than whole rows).
constexpr int64_t kBandPixels = 8, kStripPixels = 1024;
// Strips end on a span's cell number that is a multiple of every kernel's vector length, so that
// the kernels leave no more scalar tails than they do on whole rows.
constexpr int64_t kVectorCells = 16;

// A row of cells worked out for its band: its span, and how much of the row is written so far.
struct RowPlan {
  bool span;
  int64_t xl, xr;  // the span's first and last cell
  ScanEdge left;   // where the span starts sampling
  int64_t du, dv;  // per cell
  int64_t written;
};

// Writes the row's cells from where it stopped up to `end` (the strip's end, moved on to the next
// vector boundary of the span when it falls inside the span).
template <int B, ScanTransparency Mode>
void FillRowPart(uint8_t* row, size_t rowBytes, RowPlan& plan, int64_t end, const ScanSource& source, uint32_t key,
                 ScanSpanKernel vector) {
  const int64_t from = plan.written;
  int64_t to = end;
  if (plan.span && to > plan.xl && to <= plan.xr) {
    to = std::min(plan.xr + 1, plan.xl + (to - plan.xl + kVectorCells - 1) / kVectorCells * kVectorCells);
  }
  if (to <= from) return;
  plan.written = to;
  if (!plan.span) {
    ZeroCells<B>(row, rowBytes, from, to);
    return;
  }
  ZeroCells<B>(row, rowBytes, from, std::min(to, plan.xl));
  const int64_t first = std::max(from, plan.xl), last = std::min(to, plan.xr + 1);
  if (first < last) {
    ScanEdge start = plan.left;
    start.u += (first - plan.xl) * plan.du;
    start.v += (first - plan.xl) * plan.dv;
    FillSpan<B, Mode>(row + static_cast<size_t>(first) * 4 * B, rowBytes, last - first, source, start, plan.du, plan.dv,
                      key, vector);
  }
  ZeroCells<B>(row, rowBytes, std::max(from, plan.xr + 1), to);
}

template <int B, ScanTransparency Mode>
void FillRows(const RotatedPolygon& p, const ScanSource& source, uint8_t* canvas, uint32_t key, ScanSpanKernel vector) {
  constexpr int64_t kBandRows = kBandPixels / B, kStripCells = kStripPixels / B;
  const int64_t cellsPerRow = p.lastColumn + 1;
  const size_t rowBytes = static_cast<size_t>(cellsPerRow) * 4 * B;
  ScanEdge left, right;
  left.vertex = right.vertex = StartVertex(p);
  if (p.lastRow == 0) SeedSingleRow(p, left, right);
  int64_t du = 0, dv = 0;
  RowPlan plans[kBandRows];
  for (int64_t band = 0; band <= p.lastRow; band += kBandRows) {
    const int64_t rows = std::min(kBandRows, p.lastRow + 1 - band);
    for (int64_t i = 0; i < rows; ++i) {
      const int64_t y = band + i;
      if (y != p.lastRow) {
        Reseed(left, p, y, 3);
        Reseed(right, p, y, 1);
      }
      const int64_t xl = left.column >> 16, xr = right.column >> 16;
      if (xr != xl) {
        du = (right.u - left.u) / (xr - xl);
        dv = (right.v - left.v) / (xr - xl);
      }
      // The edges stay between their corners, so this holds; it keeps every read inside the source.
      const bool span = xl <= xr && xl >= 0 && xr < cellsPerRow && InSource(left, source) && InSource(right, source);
      plans[i] = {span, xl, xr, left, du, dv, 0};
      left.advance();
      right.advance();
    }
    for (int64_t end = kStripCells;; end += kStripCells) {
      const int64_t stripEnd = std::min(end, cellsPerRow);
      for (int64_t i = 0; i < rows; ++i) {
        uint8_t* row = canvas + static_cast<size_t>(band + i) * rowBytes * B;
        FillRowPart<B, Mode>(row, rowBytes, plans[i], stripEnd, source, key, vector);
      }
      if (stripEnd == cellsPerRow) break;
    }
  }
}

template <int B>
void FillCells(const RotatedPolygon& p, const ScanSource& source, uint8_t* canvas, ScanPixels pixels) {
  const ScanSpanKernel vector = SpanLanesFit(source) ? SelectScanSpan(ActiveSimdLevel(), B, pixels.mode) : nullptr;
  switch (pixels.mode) {
    case ScanTransparency::Opaque: FillRows<B, ScanTransparency::Opaque>(p, source, canvas, pixels.key, vector); break;
    case ScanTransparency::AlphaKept:
      FillRows<B, ScanTransparency::AlphaKept>(p, source, canvas, pixels.key, vector);
      break;
    case ScanTransparency::ColorKey:
      FillRows<B, ScanTransparency::ColorKey>(p, source, canvas, pixels.key, vector);
      break;
  }
}

}  // namespace

ScanSpanKernel SelectScanSpan(SimdLevel level, int cellSize, ScanTransparency mode) {
  if (level == SimdLevel::Avx512) return ScanSpanAvx512(cellSize, mode);
  return HasAvx2(level) ? ScanSpanAvx2(cellSize, mode) : nullptr;
}

std::optional<RotatedPolygon> RotateCorners(int32_t width, int32_t height, int degrees, int cellSize) {
  const float divisor = 2.0f * static_cast<float>(cellSize);
  const float left = static_cast<float>(-width) / divisor, bottom = static_cast<float>(-height) / divisor;
  PointF corners[4] = {{left, bottom}, {-left, bottom}, {-left, -bottom}, {left, -bottom}};
  for (PointF& corner : corners) RotatePoint(corner, degrees);
  const float minX = MinOf4(corners[0].x, corners[1].x, corners[2].x, corners[3].x);
  const float maxX = MaxOf4(corners[0].x, corners[1].x, corners[2].x, corners[3].x);
  const float minY = MinOf4(corners[0].y, corners[1].y, corners[2].y, corners[3].y);
  const float maxY = MaxOf4(corners[0].y, corners[1].y, corners[2].y, corners[3].y);

  const double spanX = std::trunc(static_cast<double>(maxX) - minX),
               spanY = std::trunc(static_cast<double>(maxY) - minY);
  if (!(spanX >= 0 && spanY >= 0) || (spanX + 1) * cellSize > kCanvasLimit || (spanY + 1) * cellSize > kCanvasLimit) {
    return std::nullopt;
  }
  RotatedPolygon p{};
  p.lastColumn = static_cast<int64_t>(spanX);
  p.lastRow = static_cast<int64_t>(spanY);
  const int64_t lastU = (int64_t{width} - 1) * 65536, lastV = (int64_t{height} - 1) * 65536;
  const int64_t u[4] = {0, lastU, lastU, 0}, v[4] = {0, 0, lastV, lastV};
  for (int i = 0; i < 4; ++i) {
    // Every corner lies within the bounds, so these stay between 0 and Wm, Hm.
    p.column[i] = static_cast<int64_t>(static_cast<double>(corners[i].x) - minX);
    p.row[i] = static_cast<int64_t>(static_cast<double>(corners[i].y) - minY);
    p.u[i] = u[i];
    p.v[i] = v[i];
  }
  return p;
}

ScanPixels ScanPixelsOf(const ImageRecord& source) {
  if (!HasTransparency(source)) return {ScanTransparency::Opaque, 0};
  if (SaysAlphaCarriesTransparency(source.transparentColor)) return {ScanTransparency::AlphaKept, 0};
  return {ScanTransparency::ColorKey, kOpaque | KeyPixelForm(source.transparentColor)};
}

void FillRotatedPolygon(const RotatedPolygon& polygon, const ScanSource& source, uint8_t* canvas, int cellSize,
                        ScanPixels pixels) {
  switch (cellSize) {
    case 1: FillCells<1>(polygon, source, canvas, pixels); break;
    case 2: FillCells<2>(polygon, source, canvas, pixels); break;
    case 4: FillCells<4>(polygon, source, canvas, pixels); break;
    case 8: FillCells<8>(polygon, source, canvas, pixels); break;
    default: break;
  }
}

HGLOBAL RotateScanned(const ImageRecord& record, int degrees, int cellSize, UINT allocFlags) {
  const std::optional<BITMAPINFOHEADER> headerCopy = HeaderCopyOf(record);
  if (!headerCopy || headerCopy->biBitCount != 32) return nullptr;
  GlobalLockGuard sourceLock(BitmapOf(record));
  const std::optional<DibView> view = TurnSourceView(sourceLock, *headerCopy);
  // An empty picture has no pixel to sample.
  if (!view || view->width < 1 || view->rows < 1) return nullptr;
  const std::optional<RotatedPolygon> polygon = RotateCorners(view->width, view->height, degrees, cellSize);
  if (!polygon) return nullptr;

  const auto columns = static_cast<uint64_t>(polygon->lastColumn + 1) * static_cast<uint64_t>(cellSize);
  const auto rows = static_cast<uint64_t>(polygon->lastRow + 1) * static_cast<uint64_t>(cellSize);
  const std::optional<size_t> bytes = TurnedBitmapBytes(view->bitsOffset, 4 * columns, rows);
  if (!bytes) return nullptr;
  GlobalBlock block(allocFlags, *bytes);
  if (!block) return nullptr;
  GlobalLockGuard target(block.handle());
  if (!target) return nullptr;

  std::memcpy(target.data(), view->base, view->bitsOffset);
  // The scan writes every pixel but not the spare bytes behind the rows; a block that is not
  // zero-filled would hand whatever memory held before to the host.
  const auto pixelBytes = static_cast<size_t>(4 * columns * rows);  // part of *bytes, so it fits
  std::memset(target.data() + view->bitsOffset + pixelBytes, 0, *bytes - view->bitsOffset - pixelBytes);
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(target.data());
  header->biWidth = static_cast<LONG>(columns);
  header->biHeight = static_cast<LONG>(rows);
  const ScanSource source{view->bits(), static_cast<uint32_t>(view->width), view->rows};
  FillRotatedPolygon(*polygon, source, target.data() + view->bitsOffset, cellSize, ScanPixelsOf(record));

  sourceLock.unlock();
  target.unlock();
  return HandOverRotatedBitmap(block.release(), record, TurnKind::AnyAngle);
}

}  // namespace ormi
