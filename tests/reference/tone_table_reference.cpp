// The plain brightness, contrast and preset gamma kept as the reference of the optimised ones:
// byte-wise component pass, mean colour summed in doubles pixel by pixel.
#include <array>
#include <cstdint>
#include <optional>

#include "image/global_memory.h"
#include "image/record.h"
#include "image/transparency.h"
#include "reference/reference.h"
#include "tone/brightness_contrast_gamma.h"
#include "tone/component_pass.h"
#include "tone/gamma_presets.h"

namespace ormi::reference {
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

// 24 and 32 bits: `Step` bytes per pixel, of which the first three are blue, green, red.
template <size_t Step>
void MapBgrRows(const DibView& view, const ComponentTable& map, const ColorBytes* key) {
  const size_t width = static_cast<uint32_t>(view.width);
  for (size_t r = 0; r < view.rows; ++r) {
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
  for (size_t r = 0; r < view.rows; ++r) {
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

void PlainMapColorTable(const DibView& view, const ComponentTable& map, const TransparencyArg& transparency) {
  const ColorBytes key = transparency ? BytesOf(*transparency) : ColorBytes{};
  uint8_t* entry = view.colorTable();
  for (size_t i = 0; i < view.colorCount; ++i, entry += 4) {
    if (transparency && MatchesBgr(entry, key)) continue;
    MapBgr(entry, map);
  }
}

void PlainMapPixels(const DibView& view, const ComponentTable& map, const TransparencyArg& transparency) {
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
      MapBgrRows<4>(view, map, keyed ? &key : nullptr);
      break;
    }
    default: break;
  }
}

bool IsPixelDepth(unsigned depth) { return depth == 16 || depth == 24 || depth == 32; }

// Sums of the components of every pixel, in doubles.
struct ColorSums {
  double red = 0, green = 0, blue = 0;
  void add(uint32_t rgb) {
    red += RedOf(rgb);
    green += GreenOf(rgb);
    blue += BlueOf(rgb);
  }
};

// Palette indices beyond the colour table read as black, so no index reaches outside it.
std::array<uint32_t, 256> PaletteOf(const DibView& view) {
  std::array<uint32_t, 256> palette{};
  const size_t entries = view.colorCount < 256 ? view.colorCount : 256;
  for (size_t i = 0; i < entries; ++i) palette[i] = LoadPixel<uint32_t>(view.colorTable() + 4 * i);
  return palette;
}

ColorSums SumPixels(const DibView& view) {
  ColorSums sums;
  const size_t width = static_cast<uint32_t>(view.width);
  if (view.bitCount == 4 || view.bitCount == 8) {
    const std::array<uint32_t, 256> palette = PaletteOf(view);
    for (size_t r = 0; r < view.rows; ++r) {
      const uint8_t* row = view.row(r);
      for (size_t x = 0; x < width; ++x) {
        const uint8_t index =
            view.bitCount == 8 ? row[x] : static_cast<uint8_t>(x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4);
        sums.add(palette[index]);
      }
    }
  } else if (view.bitCount == 16) {
    const Rgb16Layout layout = DibRgb16Layout(view);
    for (size_t r = 0; r < view.rows; ++r) {
      const uint8_t* p = view.row(r);
      for (size_t x = 0; x < width; ++x, p += 2)
        sums.add(WidenRgb16(SplitRgb16(LoadPixel<uint16_t>(p), layout), layout));
    }
  } else if (view.bitCount == 24 || view.bitCount == 32) {
    const size_t step = view.bitCount / 8u;
    for (size_t r = 0; r < view.rows; ++r) {
      const uint8_t* p = view.row(r);
      for (size_t x = 0; x < width; ++x, p += step) sums.add(PackRgb(p[2], p[1], p[0]));
    }
  }
  return sums;
}

// Sends the map over the colour table or the pixels of a locked bitmap.
int ApplyMap(ImageRecord& record, const DibView& tables, const ComponentTable& map) {
  const TransparencyArg transparency = TransparencyArgOf(record);
  if (IsPixelDepth(tables.bitCount)) {
    // Every row that the header claims must lie inside the block before a pixel changes.
    const std::optional<DibView> view = ViewDib(DibBlock{tables.base, tables.blockSize});
    if (!view) return 0;
    PlainMapPixels(*view, map, transparency);
    return 1;
  }
  PlainMapColorTable(tables, map, transparency);
  RefreshHeaderCopy(record, tables, tables.bitsOffset);
  return 1;
}

// The direct-frame work of brightness and gamma: bitmap locked, map applied, 0 when it cannot be.
int MapLockedBitmap(ImageRecord& record, const ComponentTable& map) {
  GlobalLockGuard bitmap(BitmapOf(record));
  if (!bitmap) return 0;
  const std::optional<DibView> tables = ViewDib(bitmap.block(), DibExtent::Tables);
  if (!tables) return 0;
  return ApplyMap(record, *tables, map);
}

MeanColor PlainMeanColor(const DibView& bitmap) {
  const double area = static_cast<double>(static_cast<uint32_t>(bitmap.width)) * bitmap.rows;
  if (area == 0) return {};
  const ColorSums sums = SumPixels(bitmap);
  return {sums.red / area, sums.green / area, sums.blue / area};
}

}  // namespace

int BrightnessImage(ImageRecord& record, int delta) {
  ComponentTable map;
  for (int c = 0; c < 256; ++c) {
    const int64_t value = int64_t{c} + delta;
    map[static_cast<size_t>(c)] = static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
  }
  return MapLockedBitmap(record, map);
}

int GammaImage(ImageRecord& record, int level) {
  ComponentTable map;
  BuildGammaPresetTable(map, level);
  return MapLockedBitmap(record, map);
}

int ContrastImage(ImageRecord& record, int amount) {
  GlobalLockGuard bitmap(BitmapOf(record));
  if (!bitmap) return 0;
  const std::optional<DibView> tables = ViewDib(bitmap.block(), DibExtent::Tables);
  if (!tables) return 0;
  if (tables->bitCount == 1) return 0;
  if (tables->bitCount > 8 && !IsPixelDepth(tables->bitCount)) return 1;
  // The mean reads every pixel, palette images included.
  const std::optional<DibView> view = ViewDib(bitmap.block());
  if (!view) return 0;
  // Without pixels there is no mean grey to pivot on: the image is left as it is.
  if (view->width == 0 || view->rows == 0) return 1;
  const MeanColor mean = PlainMeanColor(*view);
  const double pivot = 0.299 * mean.red + 0.587 * mean.green + 0.114 * mean.blue;
  ComponentTable map;
  for (int c = 0; c < 256; ++c) map[static_cast<size_t>(c)] = static_cast<uint8_t>(ContrastLevel(c, amount, pivot));
  return ApplyMap(record, *tables, map);
}

}  // namespace ormi::reference
