// The component pass of brightness, contrast and gamma.
//
// Every red, green and blue component c becomes map[c]. 16-bit fields are widened to 8 bits
// (R8 = (r * 8 & 255) | (r >> 2 & 7), six-bit green (g * 4 & 255) | (g >> 4 & 3)), mapped, and
// narrowed again by dropping the low bits; bits outside the three fields become 0.
#include "tone/component_pass.h"

#include "tone/table_kernels.h"

namespace ormi {
namespace {

// The transparent colour's bytes as they stand in a pixel or colour-table entry (blue, green, red).
struct ColorBytes {
  uint8_t blue, green, red;
};
ColorBytes BytesOf(uint32_t colorref) {
  return {static_cast<uint8_t>(colorref >> 16), static_cast<uint8_t>(colorref >> 8), static_cast<uint8_t>(colorref)};
}

inline bool MatchesBgr(const uint8_t* p, const ColorBytes& key) {
  return p[0] == key.blue && p[1] == key.green && p[2] == key.red;
}

inline void MapBgr(uint8_t* p, const ComponentTable& map) {
  p[0] = map[p[0]];
  p[1] = map[p[1]];
  p[2] = map[p[2]];
}

// 24 bits: `Step` bytes per pixel, of which the first three are blue, green, red.
template <size_t Step>
void MapBgrRows(const DibView& view, const ComponentTable& map, const ColorBytes* key) {
  const size_t width = static_cast<uint32_t>(view.width);
  for (size_t r = 0; r < view.pixelRows(); ++r) {
    uint8_t* p = view.row(r);
    if (key) {
      for (size_t x = 0; x < width; ++x, p += Step) {
        if (!MatchesBgr(p, *key)) MapBgr(p, map);
      }
    } else {
      for (size_t x = 0; x < width; ++x, p += Step) MapBgr(p, map);
    }
  }
}

// 32 bits: whole words in and out, the fourth byte carried over unchanged; a row at a time through
// the vector kernel where there is one.
void Map32Rows(const DibView& view, const ComponentTable& map, const ColorBytes* key) {
  const size_t width = static_cast<uint32_t>(view.width);
  const Table32Rule rule{key != nullptr, key ? PackRgb(key->red, key->green, key->blue) : 0, 0x00FFFFFFu, 0xFF000000u};
  const Table32Kernel kernel = SelectTable32(ActiveSimdLevel());
  // Last row first: the kernel walks each row from its end, and the mean that contrast takes just
  // before ended there.
  for (size_t r = view.pixelRows(); r-- != 0;) {
    uint8_t* p = view.row(r);
    if (kernel) {
      kernel(p, width, map, rule);
      continue;
    }
    for (size_t x = 0; x < width; ++x, p += 4) StorePixel<uint32_t>(p, MapPixel32(LoadPixel<uint32_t>(p), map, rule));
  }
}

// A 16-bit pixel matches when its fields, each taken as a byte, equal the colour's top bits.
struct Key16 {
  uint8_t red, green, blue;
};
Key16 Key16Of(uint32_t colorref, const Rgb16Layout& layout) {
  const ColorBytes bytes = BytesOf(colorref);
  const int greenDrop = layout.sixBitGreen() ? 2 : 3;
  return {static_cast<uint8_t>(bytes.red >> 3), static_cast<uint8_t>(bytes.green >> greenDrop),
          static_cast<uint8_t>(bytes.blue >> 3)};
}

void Map16Rows(const DibView& view, const ComponentTable& map, const TransparencyArg& transparency) {
  const Rgb16Layout layout = DibRgb16Layout(view);
  const int greenDrop = layout.sixBitGreen() ? 2 : 3;
  const bool keyed = transparency.has_value();
  const Key16 key = keyed ? Key16Of(*transparency, layout) : Key16{};
  const size_t width = static_cast<uint32_t>(view.width);
  for (size_t r = 0; r < view.pixelRows(); ++r) {
    uint8_t* p = view.row(r);
    for (size_t x = 0; x < width; ++x, p += 2) {
      const Rgb16Fields fields = SplitRgb16(LoadPixel<uint16_t>(p), layout);
      if (keyed && static_cast<uint8_t>(fields.red) == key.red && static_cast<uint8_t>(fields.green) == key.green &&
          static_cast<uint8_t>(fields.blue) == key.blue) {
        continue;
      }
      const uint32_t wide = WidenRgb16(fields, layout);
      const uint32_t value = (uint32_t{map[RedOf(wide)]} >> 3 << layout.redShift) +
                             (uint32_t{map[GreenOf(wide)]} >> greenDrop << layout.greenShift) +
                             (uint32_t{map[BlueOf(wide)]} >> 3 << layout.blueShift);
      StorePixel<uint16_t>(p, static_cast<uint16_t>(value));
    }
  }
}

}  // namespace

void MapColorTable(const DibView& view, const ComponentTable& map, const TransparencyArg& transparency) {
  const ColorBytes key = transparency ? BytesOf(*transparency) : ColorBytes{};
  uint8_t* entry = view.colorTable();
  for (size_t i = 0; i < view.colorCount; ++i, entry += 4) {
    if (transparency && MatchesBgr(entry, key)) continue;
    MapBgr(entry, map);
  }
}

void MapPixels(const DibView& view, const ComponentTable& map, const TransparencyArg& transparency) {
  switch (view.bitCount) {
    case 16: Map16Rows(view, map, transparency); break;
    case 24: {
      const ColorBytes key = transparency ? BytesOf(*transparency) : ColorBytes{};
      MapBgrRows<3>(view, map, transparency ? &key : nullptr);
      break;
    }
    case 32: {
      // At 32 bits a colour with bit 31 set says the alpha bytes carry the transparency instead.
      const bool keyed = transparency && !SaysAlphaCarriesTransparency(*transparency);
      const ColorBytes key = keyed ? BytesOf(*transparency) : ColorBytes{};
      Map32Rows(view, map, keyed ? &key : nullptr);
      break;
    }
    default: break;
  }
}

}  // namespace ormi
