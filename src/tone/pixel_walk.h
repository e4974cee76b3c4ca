// The walk that the 32-bit colour adjustments share: every pixel of a run, with an optional colour
// key. Under a key, pixels equal to it (alpha 0 included) stay and every changed pixel gets alpha 0;
// without one, every pixel changes and keeps its alpha.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "image/dib.h"
#include "image/transparency.h"
#include "tone/table_kernels.h"

namespace ormi {

constexpr uint8_t RedOf(uint32_t pixel) { return static_cast<uint8_t>(pixel >> 16); }
constexpr uint8_t GreenOf(uint32_t pixel) { return static_cast<uint8_t>(pixel >> 8); }
constexpr uint8_t BlueOf(uint32_t pixel) { return static_cast<uint8_t>(pixel); }
constexpr uint32_t PackRgb(uint32_t red, uint32_t green, uint32_t blue) { return red << 16 | green << 8 | blue; }

// Pixels that a 32-bit walk visits: biHeight rows of biWidth pixels, one run without padding.
// Rows stored top-down (negative biHeight) give none unless the routine takes the absolute value.
enum class TopDownRows { None, Absolute };
inline size_t PixelRun32(const DibView& view, TopDownRows topDown) {
  if (view.topDown() && topDown == TopDownRows::None) return 0;
  return size_t{static_cast<uint32_t>(view.width)} * view.rows;
}

// `change(pixel)` gives the new red << 16 | green << 8 | blue of a pixel; its high byte is ignored.
// The colour is never compared when bit 31 of the transparent colour is set.
template <class Change>
inline void WalkPixels32(uint8_t* bits, size_t count, const TransparencyArg& transparency, Change&& change) {
  const PixelSelection selection = SelectPixels(transparency, /*offersAlphaKey=*/false);
  if (selection.mode == Selection::ColorKey) {
    const uint32_t key = selection.key;
    for (size_t i = 0; i < count; ++i, bits += 4) {
      const uint32_t value = LoadPixel<uint32_t>(bits);
      if (value != key) StorePixel<uint32_t>(bits, change(value) & 0x00FFFFFFu);
    }
    return;
  }
  for (size_t i = 0; i < count; ++i, bits += 4) {
    const uint32_t value = LoadPixel<uint32_t>(bits);
    StorePixel<uint32_t>(bits, (change(value) & 0x00FFFFFFu) | (value & 0xFF000000u));
  }
}

// A map of component values, 0..255 to 0..255, computed once per call.
using ComponentTable = std::array<uint8_t, 256>;

// The walk's rules as the vector table kernels take them.
inline Table32Rule Table32RuleOf(const TransparencyArg& transparency) {
  const PixelSelection selection = SelectPixels(transparency, /*offersAlphaKey=*/false);
  const bool keyed = selection.mode == Selection::ColorKey;
  return Table32Rule{keyed, selection.key, 0xFFFFFFFFu, keyed ? 0u : 0xFF000000u};
}

// The same walk through one table applied to red, green and blue alike.
inline void ApplyComponentTable32(uint8_t* bits, size_t count, const TransparencyArg& transparency,
                                  const ComponentTable& table) {
  if (const Table32Kernel kernel = SelectTable32(ActiveSimdLevel())) {
    kernel(bits, count, table, Table32RuleOf(transparency));
    return;
  }
  WalkPixels32(bits, count, transparency, [&table](uint32_t value) {
    return PackRgb(table[RedOf(value)], table[GreenOf(value)], table[BlueOf(value)]);
  });
}

}  // namespace ormi
