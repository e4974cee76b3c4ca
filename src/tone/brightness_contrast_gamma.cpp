// Brightness, contrast and preset gamma.
//
//   brightness: m(c) = clamp(c + delta, 0, 255);
//   gamma:      m(c) = GammaPresetLevel(level, c), tabulated once per call;
//   contrast:   m(c) = ContrastLevel(c, amount, pivot), pivot = 0.299 R + 0.587 G + 0.114 B of the
//               image's mean colour; computed in doubles and truncated towards zero, then clamped.
// Each map is tabulated for the 256 component values and sent through the component pass: the colour
// table of palette images (the header copy refreshed after it), the pixels at 16, 24 and 32 bits.
#include "tone/brightness_contrast_gamma.h"

#include <array>
#include <cstdint>
#include <optional>

#include "image/global_memory.h"
#include "image/record.h"
#include "image/transparency.h"
#include "tone/channel_sums.h"
#include "tone/component_pass.h"
#include "tone/gamma_presets.h"

namespace ormi {
namespace {

bool IsPixelDepth(unsigned depth) { return depth == 16 || depth == 24 || depth == 32; }

// Sums of the components of every pixel. Whole numbers far below 2^53, so the integer sums equal,
// bit for bit, the sums a double accumulator would reach, without its dependent additions.
struct ColorSums {
  uint64_t red = 0, green = 0, blue = 0;
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
    for (size_t r = 0; r < view.pixelRows(); ++r) {
      const uint8_t* row = view.row(r);
      for (size_t x = 0; x < width; ++x) {
        const uint8_t index =
            view.bitCount == 8 ? row[x] : static_cast<uint8_t>(x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4);
        sums.add(palette[index]);
      }
    }
  } else if (view.bitCount == 16) {
    const Rgb16Layout layout = DibRgb16Layout(view);
    for (size_t r = 0; r < view.pixelRows(); ++r) {
      const uint8_t* p = view.row(r);
      for (size_t x = 0; x < width; ++x, p += 2)
        sums.add(WidenRgb16(SplitRgb16(LoadPixel<uint16_t>(p), layout), layout));
    }
  } else if (view.bitCount == 32) {
    uint64_t channels[3] = {0, 0, 0};
    const SimdLevel level = ActiveSimdLevel();
    for (size_t r = 0; r < view.pixelRows(); ++r) AddChannelSums32(view.row(r), width, channels, level);
    sums.blue = channels[0];
    sums.green = channels[1];
    sums.red = channels[2];
  } else if (view.bitCount == 24) {
    // Three independent sums per row instead of one chain of double additions per pixel.
    const size_t step = 3;
    for (size_t r = 0; r < view.pixelRows(); ++r) {
      const uint8_t* p = view.row(r);
      uint64_t blue = 0, green = 0, red = 0;
      for (size_t x = 0; x < width; ++x, p += step) {
        blue += p[0];
        green += p[1];
        red += p[2];
      }
      sums.blue += blue;
      sums.green += green;
      sums.red += red;
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
    MapPixels(*view, map, transparency);
    return 1;
  }
  MapColorTable(tables, map, transparency);
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

}  // namespace

int ContrastLevel(int component, int amount, double pivot) {
  const double c = component;
  double value;
  if (amount == -100) {
    value = pivot;
  } else if (amount <= 0) {
    value = c + ((c - pivot) / 100) * amount;
  } else if (c <= pivot) {
    value = c - (pivot / 100) * amount;
  } else {
    value = c + ((255 - pivot) / 100) * amount;
  }
  // Clamped before the conversion, which would overflow for large amounts; same result as
  // truncating first.
  if (value >= 255) return 255;
  if (!(value > 0)) return 0;
  return static_cast<int>(value);
}

MeanColor DibMeanColor(const DibView& bitmap) {
  const double area = static_cast<double>(static_cast<uint32_t>(bitmap.width)) * bitmap.rows;
  if (area == 0) return {};
  const ColorSums sums = SumPixels(bitmap);
  return {static_cast<double>(sums.red) / area, static_cast<double>(sums.green) / area,
          static_cast<double>(sums.blue) / area};
}

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
  const MeanColor mean = DibMeanColor(*view);
  const double pivot = 0.299 * mean.red + 0.587 * mean.green + 0.114 * mean.blue;
  ComponentTable map;
  for (int c = 0; c < 256; ++c) map[static_cast<size_t>(c)] = static_cast<uint8_t>(ContrastLevel(c, amount, pivot));
  return ApplyMap(record, *tables, map);
}

}  // namespace ormi
