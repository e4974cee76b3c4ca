// The walk that the 3x3 and 5x5 filters share: rows and columns whose window lies inside the
// image, read from the RowRing, the pixel selection of the transparency argument, and the alpha
// byte it prescribes. A filter contributes only its kernel: a callable that maps a window to
// 0x00RRGGBB, inlined into the walk (no call through a pointer per pixel).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "filters/filter_frame.h"
#include "filters/row_ring.h"
#include "image/dib.h"
#include "image/transparency.h"

namespace ormi {

// K rows of the ring, top row of the window first, and the byte offset of the window's left column.
template <uint32_t K>
struct Window {
  const uint8_t* rows[K];
  size_t left;

  // Channel byte c (0 blue, 1 green, 2 red, 3 alpha) of window pixel (row i, column j).
  uint32_t at(uint32_t i, uint32_t j, uint32_t c) const { return rows[i][left + 4 * j + c]; }
};

// Builds a pixel from one channel function: f(c) gives the new value 0..255 of channel byte c.
template <class ChannelFunction>
inline uint32_t ComposeChannels(ChannelFunction&& f) {
  return f(2u) << 16 | f(1u) << 8 | f(0u);
}

namespace window_filter_detail {

template <uint32_t K, Selection Mode, class Kernel>
void FilterRow(const Window<K>& rows, uint8_t* out, uint32_t width, uint32_t key, const Kernel& kernel, uint32_t from) {
  constexpr uint32_t kRadius = K / 2;
  Window<K> window = rows;
  for (uint32_t x = from; x + kRadius < width; ++x) {
    const uint32_t centre = LoadPixel<uint32_t>(rows.rows[kRadius] + 4 * x);
    if constexpr (Mode == Selection::ColorKey) {
      if (centre == key) continue;
    } else if constexpr (Mode == Selection::AlphaKey) {
      if ((centre >> 24) == 0) continue;
    }
    window.left = 4 * size_t{x - kRadius};
    const uint32_t rgb = kernel(window);
    StorePixel<uint32_t>(out + 4 * size_t{x}, Mode == Selection::ColorKey ? rgb : rgb | (centre & 0xFF000000u));
  }
}

template <uint32_t K, Selection Mode, class Kernel, class RowStart>
void WalkRows(const DibView& view, uint32_t key, RowRing<K>& ring, const Kernel& kernel, const RowStart& rowStart) {
  constexpr uint32_t kRadius = K / 2;
  const uint32_t width = static_cast<uint32_t>(view.width);
  for (uint32_t r = 0; r + 1 < K; ++r) ring.load(view, r);
  for (uint32_t y = kRadius; y + kRadius < view.rows; ++y) {
    ring.load(view, y + kRadius);  // still unfiltered: only rows above it were written
    Window<K> window{};
    for (uint32_t i = 0; i < K; ++i) window.rows[i] = ring.slot(y - kRadius + i);
    const uint32_t from = rowStart(window.rows, view.row(y), width, Mode, key);
    FilterRow<K, Mode>(window, view.row(y), width, key, kernel, from);
  }
}

}  // namespace window_filter_detail

// The scalar walk starts every row at its first filtered column.
template <uint32_t K>
struct ScalarRowStart {
  uint32_t operator()(const uint8_t* const*, uint8_t*, uint32_t, Selection, uint32_t) const { return K / 2; }
};

// Filters every pixel whose K x K window lies inside the image and that the selection lets
// through; the border of K / 2 pixels is never written. The view comes from ViewFilterRows with
// minSide >= K and the ring is sized for its rows. `rowStart(rows, out, width, mode, key)` may
// filter a leading part of each row (a vector kernel) and returns where the scalar walk goes on.
template <uint32_t K, class Kernel, class RowStart = ScalarRowStart<K>>
void FilterWindows(const DibView& view, const PixelSelection& selection, RowRing<K>& ring, const Kernel& kernel,
                   const RowStart& rowStart = {}) {
  using namespace window_filter_detail;
  switch (selection.mode) {
    case Selection::AllPixels: WalkRows<K, Selection::AllPixels>(view, 0, ring, kernel, rowStart); break;
    case Selection::ColorKey: WalkRows<K, Selection::ColorKey>(view, selection.key, ring, kernel, rowStart); break;
    case Selection::AlphaKey: WalkRows<K, Selection::AlphaKey>(view, 0, ring, kernel, rowStart); break;
  }
}

// The whole run of a 3x3 filter on a locked bitmap: 1 when it filtered, 0 when the bitmap is
// refused or the ring cannot be allocated.
template <class Kernel, class RowStart = ScalarRowStart<3>>
int Filter3x3(DibBlock bitmap, const PixelSelection& selection, const Kernel& kernel, const RowStart& rowStart = {}) {
  const std::optional<DibView> view = ViewFilterRows(bitmap, 3);
  if (!view) return 0;
  RowRing<3> ring(view->stride);
  if (!ring) return 0;
  FilterWindows(*view, selection, ring, kernel, rowStart);
  return 1;
}

}  // namespace ormi
