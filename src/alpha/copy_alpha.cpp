// Copy alpha: the destination keeps its colour bytes and takes the source's alpha byte, pixel by
// pixel, between two 32-bit pictures of the same size. The destination record also takes the
// source record's transparency state, so that the copied alpha means what it meant there.
#include "alpha/copy_alpha.h"

#include "alpha/alpha_kernels.h"
#include "image/global_memory.h"
#include "image/record.h"

namespace ormi {

int ImgCopyAlphaPixels(DibBlock destination, DibBlock source) {
  const std::optional<DibView> to = ViewDib(destination);
  const std::optional<DibView> from = ViewDib(source);
  if (!to || !from) return 0;
  if (to->bitCount != 32 || from->bitCount != 32 || to->width != from->width || to->height != from->height) return 0;
  uint8_t* p = to->bits();
  const uint8_t* q = from->bits();
  const size_t pixels = size_t{from->rows} * static_cast<uint32_t>(from->width);
  if (const CopyAlphaKernel kernel = SelectCopyAlpha(ActiveSimdLevel())) {
    kernel(p, q, pixels);
    return 1;
  }
  for (size_t i = 0; i < pixels; ++i, p += 4, q += 4) p[3] = q[3];
  return 1;
}

int ImgCopyAlphaDib(HGLOBAL destination, HGLOBAL source) {
  GlobalLockGuard sourceLock(source);
  if (!sourceLock) return 0;
  GlobalLockGuard destinationLock(destination);
  if (!destinationLock) return 0;
  return ImgCopyAlphaPixels(destinationLock.block(), sourceLock.block());
}

int CopyAlphaImages(ImageRecord& destination, const ImageRecord& source) {
  const int result = ImgCopyAlphaDib(BitmapOf(destination), BitmapOf(source));
  destination.transparency = source.transparency;
  destination.transparentColor = source.transparentColor;
  return result;
}

}  // namespace ormi
