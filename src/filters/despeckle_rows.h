// Row kernels of despeckle's hulling passes. A pass maps one row of cells to a new row, each cell
// from its own level b and its neighbours along the step's direction (a behind, c ahead):
//   raise, first pass:  b + 1 when a > b
//   lower, first pass:  b - 1 when b > a + 1
//   raise, second pass: b + 1 when a + 1 > b and c > b
//   lower, second pass: b - 1 when a + 1 < b and c < b
// on integers, so a + 1 is 256 when a is 255 and no level leaves 0..255. The output row never
// overlaps an input row, which lets a vector kernel redo a few cells at its tail. Two more kernels
// move a pixel row into the channel rows (blue, green, red) and the levels back into the pixels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/transparency.h"
#include "simd/simd_level.h"

namespace ormi {

inline uint8_t RaiseFirstCell(unsigned b, unsigned a) { return static_cast<uint8_t>(b + (a > b)); }
inline uint8_t LowerFirstCell(unsigned b, unsigned a) { return static_cast<uint8_t>(b - (b > a + 1)); }
inline uint8_t RaiseSecondCell(unsigned b, unsigned a, unsigned c) {
  return static_cast<uint8_t>(b + (a + 1 > b && c > b));
}
inline uint8_t LowerSecondCell(unsigned b, unsigned a, unsigned c) {
  return static_cast<uint8_t>(b - (a + 1 < b && c < b));
}

// out[i] from b[i] and a[i], i < n.
using HullFirstRow = void (*)(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t n);
// out[i] from b[i], a[i] and c[i], i < n.
using HullSecondRow = void (*)(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t n);

// A whole step (first pass and second) along a direction across rows, on one row of cells, from
// the step's input rows: mid (the row itself), behind at -o, ahead at +o and ahead2 at +2o, each
// from the cell that pairs with mid's first; dx is the step's column offset. The first pass's cells
// outside the image are 0: the whole row behind / ahead when behindLive / aheadLive is false (it
// is the frame), and the one cell of each at the row's ends whose column leaves the image.
using HullStepRow = void (*)(const uint8_t* mid, const uint8_t* behind, const uint8_t* ahead, const uint8_t* ahead2,
                             bool behindLive, bool aheadLive, int dx, uint8_t* out, size_t n);
// The same step on two rows at once, n and n + o, which share two of their first-pass rows: rows[j]
// is the step's input row at n + (j - 1) o, j = 0..4, from its first cell (column 0); out0 is row n
// and out1 row n + o. The first pass is 0 on row n - o unless firstLive and on row n + 2o unless
// lastLive (they are the frame); rows n and n + o are inside the image.
using HullStepPairRow = void (*)(const uint8_t* const rows[5], bool firstLive, bool lastLive, int dx, uint8_t* out0,
                                 uint8_t* out1, size_t n);

// Channel rows are indexed blue, green, red: a pixel's byte order.
constexpr size_t kHullChannels = 3;
// cells[c][x] = byte c of pixel x.
using HullFillRow = void (*)(const uint8_t* pixels, uint32_t width, uint8_t* const cells[kHullChannels]);
// Colour key: pixels other than the key take the levels with alpha 0, key pixels stay; all
// pixels: each takes the levels and keeps its alpha.
using HullWriteBackRow = void (*)(uint8_t* pixels, uint32_t width, const PixelSelection& selection,
                                  const uint8_t* const cells[kHullChannels]);

struct HullRows {
  HullFirstRow raiseFirst, lowerFirst;
  HullSecondRow raiseSecond, lowerSecond;
  HullFillRow fill;
  HullWriteBackRow writeBack;
  // Fused steps where a level has them (AVX-512), else none: the row schedule then runs the passes.
  HullStepRow raiseStep = nullptr, lowerStep = nullptr;
  HullStepPairRow raiseStepPair = nullptr, lowerStepPair = nullptr;
  HullFirstRow first(int sense) const { return sense > 0 ? raiseFirst : lowerFirst; }
  HullSecondRow second(int sense) const { return sense > 0 ? raiseSecond : lowerSecond; }
  HullStepRow step(int sense) const { return sense > 0 ? raiseStep : lowerStep; }
  HullStepPairRow stepPair(int sense) const { return sense > 0 ? raiseStepPair : lowerStepPair; }
};

// The scalar walk from cell `from` on, shared by the vector kernels for rows shorter than a register.
void RaiseFirstTail(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t from, size_t n);
void LowerFirstTail(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t from, size_t n);
void RaiseSecondTail(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t from, size_t n);
void LowerSecondTail(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t from, size_t n);

// Cells from .. to - 1 of a step (see HullStepRow), one at a time.
void StepCells(int sense, const uint8_t* mid, const uint8_t* behind, const uint8_t* ahead, const uint8_t* ahead2,
               bool behindLive, bool aheadLive, int dx, uint8_t* out, size_t from, size_t to, size_t n);

void FillTail(const uint8_t* pixels, uint32_t from, uint32_t width, uint8_t* const cells[kHullChannels]);
void WriteBackTail(uint8_t* pixels, uint32_t from, uint32_t width, const PixelSelection& selection,
                   const uint8_t* const cells[kHullChannels]);

// The AVX2 hulling rows, with the SSE2 fill and write-back.
HullRows HullRowsAvx2(HullFillRow fill, HullWriteBackRow writeBack);
// The AVX-512 rows (with VBMI), fill, write-back and fused steps included.
HullRows HullRowsAvx512();

// The kernels of a level, chosen once per call.
HullRows SelectHullRows(SimdLevel level);

}  // namespace ormi
