// Despeckle: complementary hulling on byte planes. Each channel is copied into a plane with a
// one-cell frame of zeros (so a neighbour outside the image is level 0 and the loops need no
// bounds tests), then worked on by 16 steps (four directions, raising and lowering both ways),
// each of which moves single cells by exactly one level in two passes. The comparisons are binding
// as written, including "a > b" (not a >= b + 2) in the raising first pass and "a + 1 < b" in the
// lowering second pass (despeckle_rows.h).
//
// Row n of a pass reads rows n - 1 .. n + 1 of the pass before (only row n for the horizontal
// direction), so the 32 passes of a channel can run as a pipeline: a pass that looks across rows
// works one row behind the pass before it, the run of horizontal passes takes a row through all
// of them at once, each stage keeps its last three rows in a small ring, and the image is read
// once and written once. Where the rows have step kernels (AVX-512), a step across rows is one
// stage: its first pass is recomputed at the rows its second pass reads, from the stage before's
// rows, two rows behind it (one when the step runs upwards) and with five rows in each ring; half
// as many stages pass their rows through the caches, and going two rows a tick each first-pass row
// is made once for both. Whole planes serve short images, whose rings would outweigh them.
#include "filters/despeckle.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "filters/filter_frame.h"
#include "image/global_memory.h"

namespace ormi {
namespace {

struct Direction {
  int dx, dy;
};
constexpr Direction kDirections[4] = {{0, 1}, {1, 0}, {1, 1}, {-1, 1}};

// One pass of a step, along (dx, dy).
struct HullPass {
  bool second;
  int sense;
  int dx, dy;
};

// The 32 passes of a channel in order: per direction the steps (d, +1), (-d, +1), (-d, -1),
// (d, -1), each a first and a second pass.
constexpr std::array<HullPass, 32> kPasses = [] {
  std::array<HullPass, 32> passes{};
  size_t n = 0;
  for (const Direction& d : kDirections) {
    const HullPass steps[4] = {
        {false, +1, d.dx, d.dy}, {false, +1, -d.dx, -d.dy}, {false, -1, -d.dx, -d.dy}, {false, -1, d.dx, d.dy}};
    for (const HullPass& step : steps) {
      passes[n++] = step;
      passes[n++] = {true, step.sense, step.dx, step.dy};
    }
  }
  return passes;
}();

constexpr size_t kChannels = kHullChannels;

// A stage of the row schedule: one pass that looks at neighbouring rows, a whole step (such a first
// pass with its second, fused) when the rows have step kernels, or the whole run of passes along
// the row direction, which a row can go through alone in two small rows kept hot.
struct HullStage {
  size_t first, count;
  bool step;
};

constexpr size_t CountStages() {
  size_t stages = 0;
  for (size_t p = 0; p < kPasses.size(); ++p) stages += (p == 0 || kPasses[p].dy != 0 || kPasses[p - 1].dy != 0);
  return stages;
}
constexpr size_t kPassStages = CountStages();  // 25

// The stages in order, with or without fused steps; returns how many.
size_t StagesOfPasses(bool steps, std::array<HullStage, kPassStages>& stages) {
  size_t n = 0;
  for (size_t p = 0; p < kPasses.size();) {
    if (kPasses[p].dy == 0) {
      size_t count = 1;
      while (p + count < kPasses.size() && kPasses[p + count].dy == 0) ++count;
      stages[n++] = {p, count, false};
      p += count;
    } else if (steps) {
      stages[n++] = {p, 2, true};  // a first pass and its second (kPasses pairs them)
      p += 2;
    } else {
      stages[n++] = {p++, 1, false};
    }
  }
  return n;
}

// Rows of the row schedule: the pixels' own and one ring per stage, three rows of every channel
// each (five with fused steps, which read two rows either way and are half as many), and the two
// rows of a run.
constexpr size_t kStages = kPassStages + 1;
constexpr size_t kRingRows = 3, kStepRingRows = 5;
constexpr size_t kRunRows = 2;
constexpr uint64_t kRingPlaneRows = kStages * kRingRows * kChannels + kRunRows;  // 236

// Pass `pass` on one row of cells: `mid` is that row of the pass before (from its first interior
// cell), `behind` and `ahead` the same cell's neighbours at -o and +o.
void RunPass(const HullPass& pass, const HullRows& rows, const uint8_t* mid, const uint8_t* behind,
             const uint8_t* ahead, uint8_t* out, uint32_t width) {
  if (pass.second) {
    rows.second(pass.sense)(mid, behind, ahead, out, width);
  } else {
    rows.first(pass.sense)(mid, ahead, out, width);
  }
}

// Planes: every pass over the whole plane of a channel, plane -> scratch -> plane.
int DespeckleInPlanes(const DibView& view, uint32_t width, const PixelSelection& selection, const HullRows& rows) {
  const std::optional<size_t> planeBytes = DespecklePlaneBytes(width, view.rows);
  if (!planeBytes) return 0;
  // Allocated in the order blue, red, green, scratch; those taken are freed on every path.
  std::array<std::optional<WorkingBlock>, 4> planes;
  for (std::optional<WorkingBlock>& plane : planes) {
    if (!plane.emplace(kWorkingMemoryFlags, *planeBytes)) return 0;
  }
  uint8_t* const channels[kChannels] = {planes[0]->data(), planes[2]->data(), planes[1]->data()};
  uint8_t* const scratch = planes[3]->data();
  const size_t pitch = size_t{width} + 2;

  for (uint32_t y = 0; y < view.rows; ++y) {
    const size_t cell = (y + 1) * pitch + 1;
    uint8_t* const cells[kChannels] = {channels[0] + cell, channels[1] + cell, channels[2] + cell};
    rows.fill(view.row(y), width, cells);
  }
  for (uint8_t* plane : {channels[2], channels[1], channels[0]}) {
    for (const Direction& d : kDirections) {
      DespeckleStep(d.dx, d.dy, +1, width, view.rows, plane, scratch, rows);
      DespeckleStep(-d.dx, -d.dy, +1, width, view.rows, plane, scratch, rows);
      DespeckleStep(-d.dx, -d.dy, -1, width, view.rows, plane, scratch, rows);
      DespeckleStep(d.dx, d.dy, -1, width, view.rows, plane, scratch, rows);
    }
  }
  for (uint32_t y = 0; y < view.rows; ++y) {
    const size_t cell = (y + 1) * pitch + 1;
    const uint8_t* const cells[kChannels] = {channels[0] + cell, channels[1] + cell, channels[2] + cell};
    rows.writeBack(view.row(y), width, selection, cells);
  }
  return 1;
}

// Bytes from one ring row to the next: a padded row rounded up to 128 bytes and then 64 more, so
// that rows read and written together never lie a multiple of 4 KiB apart, where the processor
// would take a load for a store to the same place and wait for it.
constexpr uint64_t RingPitch(uint32_t width) { return ((uint64_t{width} + 2 + 127) & ~uint64_t{127}) + 64; }

// The rings of the row schedule. Stage 0 holds the pixels' levels, stage k the output of the k-th
// stage of passes; plane row n (0 and H + 1 being the frame) of a stage lives in slot n mod the
// ring's rows, a slot being one padded row of each channel. Frame columns are never written and stay
// 0 from the allocation.
class HullRings {
 public:
  HullRings(uint8_t* base, size_t pitch, size_t rows) : base_(base), pitch_(pitch), rows_(rows) {}

  uint8_t* cells(size_t stage, uint64_t row, size_t channel) const {
    return base_ + ((stage * rows_ + static_cast<size_t>(row % rows_)) * kChannels + channel) * pitch_;
  }
  void clearSlot(size_t stage, uint64_t row) const { std::memset(cells(stage, row, 0), 0, kChannels * pitch_); }

 private:
  uint8_t* base_;
  size_t pitch_;
  size_t rows_;
};

// Rows: at each tick every stage produces `perTick` rows, stage k those from perTick * tick - lag[k]
// on. A pass along a row direction needs no lag, a pass across rows one row; a fused step reads two
// rows ahead of its own when its dy is +1 and one when it is -1, so it lags two rows or one. Fused
// steps go two rows a tick, computing the first pass of the rows the two share once: with a lag of
// two (or one), a stage reads from row perTick * tick - lag[k - 1] - 3 on, and its ring of five
// rows still holds that. The channels stand alone until the write-back, so a tick takes one channel
// through every stage before the next, and a stage finds the rows the stage before just wrote
// still in the nearest cache. The last stage writes its pixel rows back only after the reading
// stage has taken them and all rows they influence.
int DespeckleInRows(const DibView& view, uint32_t width, const PixelSelection& selection, const HullRows& rows) {
  const std::optional<size_t> ringBytes = DespeckleRingBytes(width);
  if (!ringBytes) return 0;
  WorkingBlock block(kWorkingMemoryFlags, *ringBytes);
  if (!block) return 0;
  const bool steps = rows.raiseStep != nullptr;
  std::array<HullStage, kPassStages> stagesOfPasses{};
  const size_t stages = StagesOfPasses(steps, stagesOfPasses) + 1;  // and the pixels' own
  const size_t ringRows = steps ? kStepRingRows : kRingRows;
  const uint64_t perTick = steps ? 2 : 1;
  const auto pitch = static_cast<size_t>(RingPitch(width));
  const HullRings rings(block.data(), pitch, ringRows);
  // The run's rows follow the rings (within the 236 rows either way); their frame cells stay 0
  // like the rings'.
  uint8_t* const run = block.data() + stages * ringRows * kChannels * pitch;

  std::array<uint64_t, kStages> lag{};
  for (size_t k = 1; k < stages; ++k) {
    const HullStage& stage = stagesOfPasses[k - 1];
    const int dy = kPasses[stage.first].dy;
    lag[k] = lag[k - 1] + (dy == 0 ? 0 : stage.step && dy > 0 ? 2 : 1);
  }
  const uint64_t lastLag = lag[stages - 1];
  const uint64_t lastRow = uint64_t{view.rows} + 1;  // the bottom frame row
  const size_t pixelBytes = 4 * size_t{width};
  const size_t prefetchShare = ((pixelBytes + stages - 2) / (stages - 1) + 63) & ~size_t{63};
  // Plane row `at` of a tick's rows of stage k, or nothing when there is none.
  const auto rowOf = [&](uint64_t tick, size_t k, uint64_t at) -> std::optional<uint64_t> {
    const uint64_t row = perTick * tick + at;
    if (row < lag[k] || row - lag[k] > lastRow) return std::nullopt;
    return row - lag[k];
  };
  const auto inside = [&](uint64_t row) { return row != 0 && row != lastRow; };

  for (uint64_t tick = 0; perTick * tick <= lastRow + lastLag; ++tick) {
    for (size_t k = 0; k < stages; ++k) {
      for (uint64_t at = 0; at < perTick; ++at) {
        const std::optional<uint64_t> row = rowOf(tick, k, at);
        if (!row) continue;
        if (!inside(*row)) {
          rings.clearSlot(k, *row);
        } else if (k == 0) {
          uint8_t* out[kChannels];
          for (size_t c = 0; c < kChannels; ++c) out[c] = rings.cells(0, *row, c) + 1;
          rows.fill(view.row(static_cast<size_t>(*row - 1)), width, out);
        }
      }
    }
    for (size_t c = 0; c < kChannels; ++c) {
      for (size_t k = 1; k < stages; ++k) {
        // The pixel rows of this tick's write-back and of the next tick's fill are asked of memory
        // while the last channel goes through the stages, a share of their cache lines before each:
        // asked any earlier, the rings' traffic would push them out of the cache again.
        if (c + 1 == kChannels) {
          for (uint64_t at = 0; at < perTick; ++at) {
            const std::optional<uint64_t> fillRow = rowOf(tick + 1, 0, at), backRow = rowOf(tick, stages - 1, at);
            const uint8_t* const nextFill =
                fillRow && inside(*fillRow) ? view.row(static_cast<size_t>(*fillRow - 1)) : nullptr;
            const uint8_t* const nextBack =
                backRow && inside(*backRow) ? view.row(static_cast<size_t>(*backRow - 1)) : nullptr;
            for (size_t b = (k - 1) * prefetchShare; b < std::min(pixelBytes, k * prefetchShare); b += 64) {
              if (nextFill) __builtin_prefetch(nextFill + b, 0, 2);
              if (nextBack) __builtin_prefetch(nextBack + b, 1, 2);
            }
          }
        }
        const HullStage& stage = stagesOfPasses[k - 1];
        const HullPass& lead = kPasses[stage.first];
        const auto dy = static_cast<uint64_t>(lead.dy);  // wraps for -1, as the rows do
        const std::optional<uint64_t> low = rowOf(tick, k, 0), high = rowOf(tick, k, perTick - 1);
        if (stage.step && perTick == 2 && low && high && inside(*low) && inside(*high)) {
          // Both rows at once, from the one the step's direction reaches first.
          const uint64_t row = lead.dy > 0 ? *low : *high;
          const uint8_t* in[5];
          for (uint64_t j = 0; j < 5; ++j) in[j] = rings.cells(k - 1, row + (j - 1) * dy, c) + 1;
          rows.stepPair(lead.sense)(in, inside(row - dy), inside(row + 2 * dy), lead.dx, rings.cells(k, row, c) + 1,
                                    rings.cells(k, row + dy, c) + 1, width);
          continue;
        }
        for (uint64_t at = 0; at < perTick; ++at) {
          const std::optional<uint64_t> row = rowOf(tick, k, at);
          if (!row || !inside(*row)) continue;
          uint8_t* const out = rings.cells(k, *row, c) + 1;
          if (stage.step) {
            // Rows n - dy and n + dy of the step's input are live unless they are the frame, whose
            // first-pass cells are 0.
            rows.step(lead.sense)(rings.cells(k - 1, *row, c) + 1, rings.cells(k - 1, *row - dy, c) + 1 - lead.dx,
                                  rings.cells(k - 1, *row + dy, c) + 1 + lead.dx,
                                  rings.cells(k - 1, *row + 2 * dy, c) + 1 + 2 * lead.dx, inside(*row - dy),
                                  inside(*row + dy), lead.dx, out, width);
            continue;
          }
          const uint8_t* mid = rings.cells(k - 1, *row, c) + 1;
          const uint8_t* behind = rings.cells(k - 1, *row - dy, c) + 1 - lead.dx;
          const uint8_t* ahead = rings.cells(k - 1, *row + dy, c) + 1 + lead.dx;
          for (size_t i = 0; i < stage.count; ++i) {
            const HullPass& pass = kPasses[stage.first + i];
            uint8_t* const into = i + 1 == stage.count ? out : run + (i % kRunRows) * pitch + 1;
            RunPass(pass, rows, mid, behind, ahead, into, width);
            // A run's later passes look along the row just made (their dy is 0).
            mid = into;
            if (i + 1 < stage.count) {
              behind = mid - kPasses[stage.first + i + 1].dx;
              ahead = mid + kPasses[stage.first + i + 1].dx;
            }
          }
        }
      }
    }
    for (uint64_t at = 0; at < perTick; ++at) {
      const std::optional<uint64_t> row = rowOf(tick, stages - 1, at);
      if (!row || !inside(*row)) continue;
      const uint8_t* out[kChannels];
      for (size_t c = 0; c < kChannels; ++c) out[c] = rings.cells(stages - 1, *row, c) + 1;
      rows.writeBack(view.row(static_cast<size_t>(*row - 1)), width, selection, out);
    }
  }
  return 1;
}

}  // namespace

std::optional<size_t> DespecklePlaneBytes(uint32_t width, uint32_t height, uint64_t limit) {
  // Both factors are below 2^32 + 2, so the product needs care only above 64 bits' reach.
  const uint64_t pitch = uint64_t{width} + 2, rows = uint64_t{height} + 2;
  if (pitch > limit / rows) return std::nullopt;
  return static_cast<size_t>(pitch * rows);
}

std::optional<size_t> DespeckleRingBytes(uint32_t width, uint64_t limit) {
  const uint64_t pitch = RingPitch(width);
  if (pitch > limit / kRingPlaneRows) return std::nullopt;
  return static_cast<size_t>(pitch * kRingPlaneRows);
}

void DespeckleStep(int dx, int dy, int sense, uint32_t width, uint32_t height, uint8_t* plane, uint8_t* scratch,
                   const HullRows& rows) {
  const size_t pitch = size_t{width} + 2;
  const ptrdiff_t o = dx + dy * static_cast<ptrdiff_t>(pitch);
  // Pass A reads only the plane and pass B only the scratch, so each row stands alone.
  for (uint32_t r = 1; r <= height; ++r) {
    const size_t cell = r * pitch + 1;
    rows.first(sense)(plane + cell, plane + cell + o, scratch + cell, width);
  }
  for (uint32_t r = 1; r <= height; ++r) {
    const size_t cell = r * pitch + 1;
    rows.second(sense)(scratch + cell, scratch + cell - o, scratch + cell + o, plane + cell, width);
  }
}

int ImgDespecklePixels(DibBlock bitmap, const TransparencyArg& transparency, DespeckleSchedule schedule) {
  const std::optional<DibView> tables = ViewDib(bitmap, DibExtent::Tables);
  if (!tables || tables->bitCount != 32) return 0;
  // Nothing to do for an empty or top-down bitmap: it stays as it is, and nothing is allocated.
  if (tables->width <= 0 || tables->height <= 0) return 1;
  const std::optional<DibView> view = ViewFilterRows(bitmap, 1);
  if (!view) return 0;
  const auto width = static_cast<uint32_t>(view->width);
  const PixelSelection selection = SelectPixels(transparency, /*offersAlphaKey=*/false);
  const HullRows rows = SelectHullRows(ActiveSimdLevel());
  if (schedule == DespeckleSchedule::BySize) {
    // The rings take 236 ring rows, the four planes 4 (H + 2) padded rows.
    const uint64_t ringBytes = kRingPlaneRows * RingPitch(width);
    const uint64_t planeBytes = 4 * (uint64_t{view->rows} + 2) * (uint64_t{width} + 2);
    schedule = planeBytes >= ringBytes ? DespeckleSchedule::Rows : DespeckleSchedule::Planes;
  }
  return schedule == DespeckleSchedule::Rows ? DespeckleInRows(*view, width, selection, rows)
                                             : DespeckleInPlanes(*view, width, selection, rows);
}

int ImgDespeckleDib(HGLOBAL bitmap, const TransparencyArg& transparency) {
  return WithLockedBitmap(bitmap, [&](DibBlock block) { return ImgDespecklePixels(block, transparency); });
}

}  // namespace ormi
