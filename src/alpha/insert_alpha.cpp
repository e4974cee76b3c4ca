// Insert alpha: every pixel whose colour bytes equal the colour (taken to pixel form, red in bits
// 16..23) gets the given alpha byte; other pixels are left alone. Afterwards the record says that
// its alpha bytes carry the transparency, with no colour kept.
#include "alpha/insert_alpha.h"

#include "alpha/alpha_kernels.h"
#include "image/global_memory.h"
#include "image/record.h"
#include "image/transparency.h"

namespace ormi {

int ImgInsertAlphaPixels(DibBlock bitmap, uint8_t alpha, uint32_t color) {
  const std::optional<DibView> view = ViewDib(bitmap);
  if (!view || view->bitCount != 32) return 0;
  const uint32_t key = KeyPixelForm(color);
  uint8_t* p = view->bits();
  const size_t pixels = size_t{view->rows} * static_cast<uint32_t>(view->width);
  if (const AlphaRuleKernel kernel = SelectAlphaRule(ActiveSimdLevel())) {
    kernel(p, pixels, {true, key, alpha, true, 0, 0});
    return 1;
  }
  for (size_t i = 0; i < pixels; ++i, p += 4) {
    if ((LoadPixel<uint32_t>(p) & 0x00FFFFFFu) == key) p[3] = alpha;
  }
  return 1;
}

int ImgInsertAlphaDib(HGLOBAL bitmap, uint8_t alpha, uint32_t color) {
  GlobalLockGuard lock(bitmap);
  if (!lock) return 0;
  return ImgInsertAlphaPixels(lock.block(), alpha, color);
}

int InsertAlphaImage(ImageRecord& record, int alpha, int color) {
  if (HasTransparency(record) && SaysAlphaCarriesTransparency(record.transparentColor)) return 0;
  const int result =
      ImgInsertAlphaDib(BitmapOf(record), static_cast<uint8_t>(alpha & 0xFF), static_cast<uint32_t>(color));
  record.transparency = 1;
  record.transparentColor = ORMI_ALPHA_TRANSPARENCY;
  return result;
}

}  // namespace ormi
