// The plain despeckle kept as the reference of the vector rows and the row pipeline: four whole
// padded planes and 16 steps per channel, each step a straight pass plane -> scratch and a second
// one scratch -> plane, cell by cell.
#include <array>

#include "filters/filter_frame.h"
#include "image/global_memory.h"
#include "reference/reference.h"

namespace ormi::reference {
namespace {

struct Direction {
  int dx, dy;
};
constexpr Direction kDirections[4] = {{0, 1}, {1, 0}, {1, 1}, {-1, 1}};

void PlainStep(int dx, int dy, int sense, uint32_t width, uint32_t height, uint8_t* plane, uint8_t* scratch) {
  const size_t pitch = size_t{width} + 2;
  const ptrdiff_t o = dx + dy * static_cast<ptrdiff_t>(pitch);
  for (uint32_t r = 1; r <= height; ++r) {
    for (size_t p = r * pitch + 1; p <= r * pitch + width; ++p) {
      const int b = plane[p], a = plane[p + o];
      scratch[p] = static_cast<uint8_t>(sense > 0 ? b + (a > b) : b - (b > a + 1));
    }
  }
  for (uint32_t r = 1; r <= height; ++r) {
    for (size_t p = r * pitch + 1; p <= r * pitch + width; ++p) {
      const int b = scratch[p], a = scratch[p - o], c = scratch[p + o];
      plane[p] = static_cast<uint8_t>(sense > 0 ? b + (a + 1 > b && c > b) : b - (a + 1 < b && c < b));
    }
  }
}

}  // namespace

int DespecklePixels(DibBlock bitmap, const TransparencyArg& transparency) {
  const std::optional<DibView> tables = ViewDib(bitmap, DibExtent::Tables);
  if (!tables || tables->bitCount != 32) return 0;
  if (tables->width <= 0 || tables->height <= 0) return 1;
  const std::optional<DibView> view = ViewFilterRows(bitmap, 1);
  if (!view) return 0;
  const auto width = static_cast<uint32_t>(view->width);
  const uint32_t height = view->rows;
  const size_t pitch = size_t{width} + 2;
  const size_t planeBytes = pitch * (size_t{height} + 2);
  std::array<std::optional<WorkingBlock>, 4> planes;  // blue, red, green, scratch
  for (std::optional<WorkingBlock>& plane : planes) {
    if (!plane.emplace(kWorkingMemoryFlags, planeBytes)) return 0;
  }
  uint8_t* const blue = planes[0]->data();
  uint8_t* const red = planes[1]->data();
  uint8_t* const green = planes[2]->data();
  uint8_t* const scratch = planes[3]->data();

  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* pixel = view->row(y) + 4 * size_t{x};
      const size_t cell = (y + 1) * pitch + x + 1;
      blue[cell] = pixel[0];
      green[cell] = pixel[1];
      red[cell] = pixel[2];
    }
  }
  for (uint8_t* plane : {red, green, blue}) {
    for (const Direction& d : kDirections) {
      PlainStep(d.dx, d.dy, +1, width, height, plane, scratch);
      PlainStep(-d.dx, -d.dy, +1, width, height, plane, scratch);
      PlainStep(-d.dx, -d.dy, -1, width, height, plane, scratch);
      PlainStep(d.dx, d.dy, -1, width, height, plane, scratch);
    }
  }
  const PixelSelection selection = SelectPixels(transparency, /*offersAlphaKey=*/false);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* pixel = view->row(y) + 4 * size_t{x};
      const size_t cell = (y + 1) * pitch + x + 1;
      const uint32_t value = LoadPixel<uint32_t>(pixel);
      const uint32_t rgb = uint32_t{red[cell]} << 16 | uint32_t{green[cell]} << 8 | blue[cell];
      if (selection.mode == Selection::ColorKey) {
        if (value != selection.key) StorePixel<uint32_t>(pixel, rgb);
      } else {
        StorePixel<uint32_t>(pixel, rgb | (value & 0xFF000000u));
      }
    }
  }
  return 1;
}

}  // namespace ormi::reference
