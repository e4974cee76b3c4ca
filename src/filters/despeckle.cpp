// Despeckle: complementary hulling on byte planes. Each channel is copied into a plane with a
// one-cell frame of zeros (so a neighbour outside the image is level 0 and the loops need no
// bounds tests), then worked on by 16 steps (four directions, raising and lowering both ways),
// each of which moves single cells by exactly one level. The comparisons are binding as written,
// including "a > b" (not a >= b + 2) in the raising first pass and "a + 1 < b" in the lowering
// second pass.
#include "filters/despeckle.h"

#include <array>

#include "filters/filter_frame.h"
#include "image/global_memory.h"

namespace ormi {
namespace {

struct Direction {
  int dx, dy;
};
constexpr Direction kDirections[4] = {{0, 1}, {1, 0}, {1, 1}, {-1, 1}};

// A padded plane: cell (r, c) at r * pitch + c, pixel (x, y) at cell (y + 1, x + 1).
struct PlaneShape {
  uint32_t width, height;
  size_t pitch;
};

// Pass A, plane -> scratch: compares each cell with its neighbour at +o.
template <int Sense>
void HullFirstPass(const PlaneShape& shape, ptrdiff_t o, const uint8_t* plane, uint8_t* scratch) {
  for (uint32_t r = 1; r <= shape.height; ++r) {
    const uint8_t* in = plane + r * shape.pitch + 1;
    uint8_t* out = scratch + r * shape.pitch + 1;
    for (uint32_t c = 0; c < shape.width; ++c) {
      const int b = in[c], a = in[c + o];
      if constexpr (Sense > 0) {
        out[c] = static_cast<uint8_t>(b + (a > b));  // b = 255 never rises: no a exceeds it
      } else {
        out[c] = static_cast<uint8_t>(b - (b > a + 1));
      }
    }
  }
}

// Pass B, scratch -> plane: compares each cell with its neighbours at -o and +o.
template <int Sense>
void HullSecondPass(const PlaneShape& shape, ptrdiff_t o, const uint8_t* scratch, uint8_t* plane) {
  for (uint32_t r = 1; r <= shape.height; ++r) {
    const uint8_t* in = scratch + r * shape.pitch + 1;
    uint8_t* out = plane + r * shape.pitch + 1;
    for (uint32_t c = 0; c < shape.width; ++c) {
      const int b = in[c], a = in[c - o], n = in[c + o];
      if constexpr (Sense > 0) {
        out[c] = static_cast<uint8_t>(b + (a + 1 > b && n > b));
      } else {
        out[c] = static_cast<uint8_t>(b - (a + 1 < b && n < b));
      }
    }
  }
}

void FillPlanes(const DibView& view, const PlaneShape& shape, uint8_t* blue, uint8_t* green, uint8_t* red) {
  for (uint32_t y = 0; y < shape.height; ++y) {
    const uint8_t* pixel = view.row(y);
    const size_t cell = (y + 1) * shape.pitch + 1;
    for (uint32_t x = 0; x < shape.width; ++x, pixel += 4) {
      blue[cell + x] = pixel[0];
      green[cell + x] = pixel[1];
      red[cell + x] = pixel[2];
    }
  }
}

void WriteBack(const DibView& view, const PlaneShape& shape, const PixelSelection& selection, const uint8_t* blue,
               const uint8_t* green, const uint8_t* red) {
  const bool keyed = selection.mode == Selection::ColorKey;
  for (uint32_t y = 0; y < shape.height; ++y) {
    uint8_t* pixel = view.row(y);
    const size_t cell = (y + 1) * shape.pitch + 1;
    for (uint32_t x = 0; x < shape.width; ++x, pixel += 4) {
      const uint32_t value = LoadPixel<uint32_t>(pixel);
      if (keyed && value == selection.key) continue;
      const uint32_t rgb = uint32_t{red[cell + x]} << 16 | uint32_t{green[cell + x]} << 8 | blue[cell + x];
      StorePixel<uint32_t>(pixel, keyed ? rgb : rgb | (value & 0xFF000000u));
    }
  }
}

}  // namespace

std::optional<size_t> DespecklePlaneBytes(uint32_t width, uint32_t height, uint64_t limit) {
  // Both factors are below 2^32 + 2, so the product needs care only above 64 bits' reach.
  const uint64_t pitch = uint64_t{width} + 2, rows = uint64_t{height} + 2;
  if (pitch > limit / rows) return std::nullopt;
  return static_cast<size_t>(pitch * rows);
}

void DespeckleStep(int dx, int dy, int sense, uint32_t width, uint32_t height, uint8_t* plane, uint8_t* scratch) {
  const PlaneShape shape{width, height, size_t{width} + 2};
  const ptrdiff_t o = dx + dy * static_cast<ptrdiff_t>(shape.pitch);
  if (sense > 0) {
    HullFirstPass<+1>(shape, o, plane, scratch);
    HullSecondPass<+1>(shape, o, scratch, plane);
  } else {
    HullFirstPass<-1>(shape, o, plane, scratch);
    HullSecondPass<-1>(shape, o, scratch, plane);
  }
}

int ImgDespecklePixels(DibBlock bitmap, const TransparencyArg& transparency) {
  const std::optional<DibView> tables = ViewDib(bitmap, DibExtent::Tables);
  if (!tables || tables->bitCount != 32) return 0;
  // Nothing to do for an empty or top-down bitmap: it stays as it is, and nothing is allocated.
  if (tables->width <= 0 || tables->height <= 0) return 1;
  const std::optional<DibView> view = ViewFilterRows(bitmap, 1);
  if (!view) return 0;
  const PlaneShape shape{static_cast<uint32_t>(view->width), view->rows,
                         size_t{static_cast<uint32_t>(view->width)} + 2};
  const std::optional<size_t> planeBytes = DespecklePlaneBytes(shape.width, shape.height);
  if (!planeBytes) return 0;

  // Allocated in the order blue, red, green, scratch; those taken are freed on every path.
  std::array<std::optional<WorkingBlock>, 4> planes;
  for (std::optional<WorkingBlock>& plane : planes) {
    if (!plane.emplace(kWorkingMemoryFlags, *planeBytes)) return 0;
  }
  uint8_t* const blue = planes[0]->data();
  uint8_t* const red = planes[1]->data();
  uint8_t* const green = planes[2]->data();
  uint8_t* const scratch = planes[3]->data();

  FillPlanes(*view, shape, blue, green, red);
  for (uint8_t* plane : {red, green, blue}) {
    for (const Direction& d : kDirections) {
      DespeckleStep(d.dx, d.dy, +1, shape.width, shape.height, plane, scratch);
      DespeckleStep(-d.dx, -d.dy, +1, shape.width, shape.height, plane, scratch);
      DespeckleStep(-d.dx, -d.dy, -1, shape.width, shape.height, plane, scratch);
      DespeckleStep(d.dx, d.dy, -1, shape.width, shape.height, plane, scratch);
    }
  }
  WriteBack(*view, shape, SelectPixels(transparency, /*offersAlphaKey=*/false), blue, green, red);
  return 1;
}

int ImgDespeckleDib(HGLOBAL bitmap, const TransparencyArg& transparency) {
  return WithLockedBitmap(bitmap, [&](DibBlock block) { return ImgDespecklePixels(block, transparency); });
}

}  // namespace ormi
