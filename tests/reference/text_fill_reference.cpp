#include "decor/gradient.h"
#include "decor/text_fill.h"
#include "reference/reference.h"

namespace ormi::reference {

std::vector<uint8_t> GradientForTextPixels(int width, int height, uint32_t from, uint32_t to, int degrees,
                                           HGLOBAL mask) {
  const GradientSteps steps = GradientRamp(width, height, from, to, degrees);
  const std::optional<DibView> maskView = ViewDib({static_cast<uint8_t*>(GlobalLock(mask)), GlobalSize(mask)});
  std::vector<uint8_t> pixels(size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(height));
  uint32_t rowPen[3];
  for (int c = 0; c < 3; ++c) rowPen[c] = static_cast<uint32_t>(steps.start[c]);
  for (int r = height; r-- > 0;) {
    uint32_t pen[3] = {rowPen[0], rowPen[1], rowPen[2]};
    for (int x = 0; x < width; ++x) {
      const uint32_t color =
          0xFF000000u | (pen[0] >> 8 & 0xFF) << 16 | (pen[1] >> 8 & 0xFF) << 8 | (pen[2] >> 8 & 0xFF);
      StorePixel<uint32_t>(&pixels[4 * (static_cast<size_t>(r) * static_cast<size_t>(width) + static_cast<size_t>(x))],
                           MaskBit(maskView->row(static_cast<size_t>(r)), static_cast<size_t>(x)) ? 0u : color);
      for (int c = 0; c < 3; ++c) pen[c] += static_cast<uint32_t>(steps.stepX[static_cast<size_t>(c)]);
    }
    for (int c = 0; c < 3; ++c) rowPen[c] += static_cast<uint32_t>(steps.stepY[static_cast<size_t>(c)]);
  }
  GlobalUnlock(mask);
  return pixels;
}

std::vector<uint8_t> TileForTextPixels(int width, int height, HGLOBAL mask, HGLOBAL tile) {
  const std::optional<DibView> maskView = ViewDib({static_cast<uint8_t*>(GlobalLock(mask)), GlobalSize(mask)});
  const std::optional<DibView> tileView = ViewDib({static_cast<uint8_t*>(GlobalLock(tile)), GlobalSize(tile)});
  std::vector<uint8_t> pixels(size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(height));
  for (size_t r = 0; r < static_cast<size_t>(height); ++r) {
    const uint8_t* tileRow = tileView->row(r % tileView->rows);
    size_t column = 0;
    for (size_t x = 0; x < static_cast<size_t>(width); ++x) {
      const uint32_t value = MaskBit(maskView->row(r), x) ? 0u : LoadPixel<uint32_t>(tileRow + 4 * column);
      StorePixel<uint32_t>(&pixels[4 * (r * static_cast<size_t>(width) + x)], value);
      if (++column == static_cast<size_t>(tileView->width)) column = 0;
    }
  }
  GlobalUnlock(tile);
  GlobalUnlock(mask);
  return pixels;
}

}  // namespace ormi::reference
