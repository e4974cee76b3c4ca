#include "host/bitmap_convert.h"

#include <bit>
#include <cstring>
#include <optional>
#include <vector>

#include "image/dib.h"

namespace ormi::host {
namespace {

// One colour field of a 32-bit pixel, widened to 0..255.
struct Field {
  uint32_t mask = 0;
  int shift = 0;
  explicit Field(uint32_t m = 0) : mask(m), shift(m == 0 ? 0 : std::countr_zero(m)) {}
  uint32_t operator()(uint32_t pixel) const {
    const uint32_t max = mask >> shift;
    return max == 0 ? 0 : static_cast<uint32_t>((uint64_t{(pixel & mask) >> shift} * 255 + max / 2) / max);
  }
};

// Reads any supported pixel as 0xAARRGGBB (alpha 255 unless the source is 32-bit).
class PixelReader {
 public:
  explicit PixelReader(const DibView& view) : view_(view) {
    if (view.bitCount == 16) layout_ = DibRgb16Layout(view);
    // 32-bit masks other than the plain B, G, R, A byte order are applied; the bits no colour
    // takes are the alpha, as the fourth byte is in the plain order.
    if (view.bitCount == 32 && view.maskBytes == 12) {
      const uint8_t* masks = view.bits() - 12;
      const uint32_t r = LoadPixel<uint32_t>(masks), g = LoadPixel<uint32_t>(masks + 4),
                     b = LoadPixel<uint32_t>(masks + 8);
      masked32_ = r != 0x00FF0000u || g != 0x0000FF00u || b != 0x000000FFu;
      red_ = Field(r), green_ = Field(g), blue_ = Field(b), alpha_ = Field(~(r | g | b));
    }
  }

  uint32_t operator()(const uint8_t* row, uint32_t x) const {
    switch (view_.bitCount) {
      case 1: return Palette((row[x / 8] >> (7 - x % 8)) & 1);
      case 4: return Palette((row[x / 2] >> (x % 2 ? 0 : 4)) & 15);
      case 8: return Palette(row[x]);
      case 16: return From16(LoadPixel<uint16_t>(row + 2 * x));
      case 24: return 0xFF000000u | row[3 * x] | row[3 * x + 1] << 8 | static_cast<uint32_t>(row[3 * x + 2]) << 16;
      default: {
        const uint32_t p = LoadPixel<uint32_t>(row + 4 * x);
        if (!masked32_) return p;
        return (alpha_.mask == 0 ? 255u : alpha_(p)) << 24 | red_(p) << 16 | green_(p) << 8 | blue_(p);
      }
    }
  }

 private:
  uint32_t Palette(uint32_t index) const {
    if (index >= view_.colorCount) return 0xFF000000u;
    return 0xFF000000u | (LoadPixel<uint32_t>(view_.colorTable() + 4 * index) & 0x00FFFFFF);
  }
  static uint32_t Widen(uint32_t value, uint32_t mask, int shift) {
    const uint32_t max = mask >> shift;
    return max == 0 ? 0 : ((value & mask) >> shift) * 255 / max;
  }
  uint32_t From16(uint16_t p) const {
    return 0xFF000000u | Widen(p, layout_.redMask, layout_.redShift) << 16 |
           Widen(p, layout_.greenMask, layout_.greenShift) << 8 | Widen(p, layout_.blueMask, layout_.blueShift);
  }

  DibView view_;
  Rgb16Layout layout_{};
  bool masked32_ = false;
  Field red_, green_, blue_, alpha_;
};

uint8_t CubeLevel(uint32_t component) { return static_cast<uint8_t>((component * 5 + 127) / 255); }

// The fixed 6x6x6 colour cube of 8-bit conversions.
void FillCubePalette(const NewBitmap& out) {
  for (size_t i = 0; i < 216; ++i) {
    const uint32_t r = static_cast<uint32_t>(i / 36) * 51, g = static_cast<uint32_t>(i / 6 % 6) * 51,
                   b = static_cast<uint32_t>(i % 6) * 51;
    StorePixel<uint32_t>(out.data + 40 + 4 * i, r << 16 | g << 8 | b);
  }
}

void StoreConverted(uint8_t* row, uint32_t x, int depth, uint32_t argb) {
  switch (depth) {
    case 32: StorePixel<uint32_t>(row + 4 * x, argb); break;
    case 24:
      row[3 * x] = static_cast<uint8_t>(argb);
      row[3 * x + 1] = static_cast<uint8_t>(argb >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(argb >> 16);
      break;
    default:
      row[x] = static_cast<uint8_t>(CubeLevel((argb >> 16) & 255) * 36 + CubeLevel((argb >> 8) & 255) * 6 +
                                    CubeLevel(argb & 255));
  }
}

}  // namespace

HGLOBAL NewBitmap::Unlock() const {
  GlobalUnlock(handle);
  return handle;
}

NewBitmap AllocateBitmap(int width, int height, int depth, size_t colors) {
  NewBitmap out;
  out.bitsOffset = 40 + 4 * colors;
  out.stride = static_cast<size_t>(DibStride(width, static_cast<uint32_t>(depth)));
  out.handle = GlobalAlloc(GHND, out.bitsOffset + out.stride * static_cast<size_t>(height));
  out.data = static_cast<uint8_t*>(out.handle ? GlobalLock(out.handle) : nullptr);
  if (!out.data) {
    if (out.handle) GlobalFree(out.handle);
    return {};
  }
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(depth);
  header.biClrUsed = static_cast<DWORD>(colors);
  header.biSizeImage = static_cast<DWORD>(out.stride * static_cast<size_t>(height));
  std::memcpy(out.data, &header, sizeof header);
  return out;
}

HGLOBAL ConvertBitmapDepth(HGLOBAL bitmap, int depth) {
  if (depth != 32 && depth != 24 && depth != 8) return nullptr;
  auto* data = static_cast<uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  if (!data) return nullptr;
  const std::optional<DibView> view = ViewDib(DibBlock{data, GlobalSize(bitmap)});
  const bool readable = view && (view->bitCount == 1 || view->bitCount == 4 || view->bitCount == 8 ||
                                 view->bitCount == 16 || view->bitCount == 24 || view->bitCount == 32);
  NewBitmap out =
      readable ? AllocateBitmap(view->width, static_cast<int>(view->rows), depth, depth == 8 ? 256 : 0) : NewBitmap{};
  if (out.data) {
    if (depth == 8) FillCubePalette(out);
    const PixelReader read(*view);
    for (uint32_t r = 0; r < view->rows; ++r) {
      const uint8_t* source = view->row(view->topDown() ? view->rows - 1 - r : r);
      uint8_t* target = out.data + out.bitsOffset + out.stride * r;
      for (uint32_t x = 0; x < static_cast<uint32_t>(view->width); ++x)
        StoreConverted(target, x, depth, read(source, x));
    }
    GlobalUnlock(out.handle);
  }
  GlobalUnlock(bitmap);
  return out.handle;
}

bool HasNonZeroAlpha(HGLOBAL bitmap) {
  auto* data = static_cast<uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  if (!data) return false;
  const std::optional<DibView> view = ViewDib(DibBlock{data, GlobalSize(bitmap)});
  bool found = false;
  if (view && view->bitCount == 32) {
    const size_t bytes = view->stride * view->rows;
    for (size_t i = 3; i < bytes && !found; i += 4) found = view->bits()[i] != 0;
  }
  GlobalUnlock(bitmap);
  return found;
}

HGLOBAL BitmapFromTopDownBgra(const uint8_t* pixels, int width, int height) {
  NewBitmap out = AllocateBitmap(width, height, 32, 0);
  if (!out.data) return nullptr;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (int r = 0; r < height; ++r) {
    std::memcpy(out.data + out.bitsOffset + out.stride * static_cast<size_t>(r),
                pixels + rowBytes * static_cast<size_t>(height - 1 - r), rowBytes);
  }
  GlobalUnlock(out.handle);
  return out.handle;
}

}  // namespace ormi::host
