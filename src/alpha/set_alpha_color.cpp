// Set alpha colour: where a 32-bit mask pixel has alpha 0, the target pixel at the same row and
// column takes the colour (blue from bits 16..23 of the COLORREF, green 8..15, red 0..7). The
// target's fourth byte and its row padding are never written; other pixels are left alone.
#include "alpha/set_alpha_color.h"

#include "image/global_memory.h"
#include "image/record.h"

namespace ormi {
namespace {

struct Bgr {
  uint8_t blue, green, red;
};

Bgr BgrOf(uint32_t color) {
  return {static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8), static_cast<uint8_t>(color)};
}

// `step` is the target's bytes per pixel: 3 or 4.
template <size_t step>
void PaintRow(const uint8_t* mask, uint8_t* target, size_t width, Bgr color) {
  for (size_t x = 0; x < width; ++x, mask += 4, target += step) {
    if (mask[3] != 0) continue;
    target[0] = color.blue;
    target[1] = color.green;
    target[2] = color.red;
  }
}

template <size_t step>
void PaintRows(const DibView& mask, const DibView& target, Bgr color) {
  const size_t width = static_cast<uint32_t>(mask.width);
  for (size_t r = 0; r < mask.rows; ++r) PaintRow<step>(mask.row(r), target.row(r), width, color);
}

void SetAlphaColorPixels24(const DibView& mask, const DibView& target, Bgr color) { PaintRows<3>(mask, target, color); }
void SetAlphaColorPixels32(const DibView& mask, const DibView& target, Bgr color) { PaintRows<4>(mask, target, color); }

}  // namespace

int SetAlphaColorPixels(DibBlock mask, DibBlock target, uint32_t color) {
  const std::optional<DibView> maskView = ViewDib(mask);
  const std::optional<DibView> targetView = ViewDib(target);
  if (!maskView || !targetView) return 0;
  if (maskView->bitCount != 32 || maskView->width != targetView->width || maskView->height != targetView->height) {
    return 0;
  }
  switch (targetView->bitCount) {
    case 24: SetAlphaColorPixels24(*maskView, *targetView, BgrOf(color)); return 1;
    case 32: SetAlphaColorPixels32(*maskView, *targetView, BgrOf(color)); return 1;
    default: return 0;
  }
}

int SetAlphaColorDib(HGLOBAL mask, HGLOBAL target, uint32_t color) {
  GlobalLockGuard maskLock(mask);
  if (!maskLock) return 0;
  GlobalLockGuard targetLock(target);
  if (!targetLock) return 0;
  return SetAlphaColorPixels(maskLock.block(), targetLock.block(), color);
}

int SetAlphaColorImages(const ImageRecord& mask, const ImageRecord& target, uint32_t color) {
  if (mask.bitmap == 0 || target.bitmap == 0) return 0;
  return SetAlphaColorDib(BitmapOf(mask), BitmapOf(target), color);
}

}  // namespace ormi
