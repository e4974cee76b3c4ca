// Vector spans of the any-angle scan: cell k of a span samples source pixel
// (floor((u + k du) / 65536), floor((v + k dv) / 65536)), the position the scalar walk reaches by
// adding the increments k times. Every position of a span lies between those of its two edges,
// inside the source, so when the source is narrower and lower than 32768 pixels the positions fit
// 32-bit lanes: wrapping lane arithmetic then gives them exactly, and gathers fetch the samples.
// A kernel writes whole vectors of cells from the span's start and returns how many it wrote.
#pragma once

#include <cstddef>
#include <cstdint>

#include "geometry/rotated_polygon.h"
#include "simd/simd_level.h"

namespace ormi {

struct ScanSpan {
  uint8_t* cells;   // the span's first cell in its first pixel row
  size_t rowBytes;  // from one pixel row of the cell row to the next
  int64_t count;    // cells in the span
  const uint8_t* source;
  uint32_t width;  // source pixels per row
  int64_t u, v, du, dv;
  uint32_t key;  // ScanTransparency::ColorKey only
};

// Whether positions of this source fit the kernels' 32-bit lanes.
inline bool SpanLanesFit(const ScanSource& source) { return source.width < 32768 && source.rows < 32768; }

using ScanSpanKernel = int64_t (*)(const ScanSpan& span);

// Cells of 1 or 2 pixels; for other sizes, or below AVX2, none (the scalar walk writes every cell).
ScanSpanKernel SelectScanSpan(SimdLevel level, int cellSize, ScanTransparency mode);

// A level's kernel from its class template Span<B, Mode> with a static Run, for cells of 1 and 2.
template <template <int, ScanTransparency> class Span, int B>
ScanSpanKernel SpanKernelOfMode(ScanTransparency mode) {
  switch (mode) {
    case ScanTransparency::Opaque: return Span<B, ScanTransparency::Opaque>::Run;
    case ScanTransparency::AlphaKept: return Span<B, ScanTransparency::AlphaKept>::Run;
    case ScanTransparency::ColorKey: return Span<B, ScanTransparency::ColorKey>::Run;
  }
  return nullptr;
}
template <template <int, ScanTransparency> class Span>
ScanSpanKernel SpanKernelFor(int cellSize, ScanTransparency mode) {
  if (cellSize == 1) return SpanKernelOfMode<Span, 1>(mode);
  if (cellSize == 2) return SpanKernelOfMode<Span, 2>(mode);
  return nullptr;
}

ScanSpanKernel ScanSpanAvx2(int cellSize, ScanTransparency mode);
ScanSpanKernel ScanSpanAvx512(int cellSize, ScanTransparency mode);

}  // namespace ormi
