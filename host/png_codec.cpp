// PNG through libpng's simplified interface: every colour type reads as BGRA.
#include <png.h>

#include <cstring>
#include <memory>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/picture_file.h"
#include "image/dib.h"

namespace ormi::host {
namespace {

// Pictures larger than this are refused rather than decoded.
constexpr uint64_t kMaxPixels = uint64_t{1} << 28;

struct PngImage {
  png_image image{};
  PngImage() { image.version = PNG_IMAGE_VERSION; }
  ~PngImage() { png_image_free(&image); }
};

}  // namespace

Picture DecodePng(const uint8_t* data, size_t size) {
  PngImage png;
  if (!png_image_begin_read_from_memory(&png.image, data, size)) return {nullptr, false, png.image.message};
  if (uint64_t{png.image.width} * png.image.height > kMaxPixels) return {nullptr, false, "picture too large"};
  const bool hasAlpha = (png.image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  png.image.format = PNG_FORMAT_BGRA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(png.image));
  if (!png_image_finish_read(&png.image, nullptr, pixels.data(), 0, nullptr)) {
    return {nullptr, false, png.image.message};
  }
  HGLOBAL bitmap =
      BitmapFromTopDownBgra(pixels.data(), static_cast<int>(png.image.width), static_cast<int>(png.image.height));
  if (!bitmap) return {nullptr, false, "out of memory"};
  return {bitmap, hasAlpha, {}};
}

bool EncodePng(HGLOBAL bitmap32, bool withAlpha, std::vector<uint8_t>& file, std::string& error) {
  auto* data = static_cast<uint8_t*>(GlobalLock(bitmap32));
  const std::optional<DibView> view = ViewDib(DibBlock{data, GlobalSize(bitmap32)});
  if (!view || view->bitCount != 32 || view->width == 0 || view->rows == 0) {
    GlobalUnlock(bitmap32);
    error = "PNG needs a picture of at least one pixel";
    return false;
  }
  PngImage png;
  png.image.width = static_cast<png_uint_32>(view->width);
  png.image.height = view->rows;
  png.image.format = withAlpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  // Bottom-up rows: begin at the last row in memory and step backwards.
  std::vector<uint8_t> rows;
  const size_t channels = withAlpha ? 4 : 3;
  rows.resize(channels * static_cast<size_t>(view->width) * view->rows);
  for (uint32_t r = 0; r < view->rows; ++r) {
    const uint8_t* source = view->row(view->rows - 1 - r);
    uint8_t* target = rows.data() + channels * static_cast<size_t>(view->width) * r;
    for (int x = 0; x < view->width; ++x) std::memcpy(target + channels * x, source + 4 * x, channels);
  }
  GlobalUnlock(bitmap32);
  png_alloc_size_t bytes = 0;
  if (!png_image_write_get_memory_size(png.image, bytes, 0, rows.data(), 0, nullptr)) {
    error = png.image.message;
    return false;
  }
  file.resize(bytes);
  if (!png_image_write_to_memory(&png.image, file.data(), &bytes, 0, rows.data(), 0, nullptr)) {
    error = png.image.message;
    return false;
  }
  file.resize(bytes);
  return true;
}

}  // namespace ormi::host
