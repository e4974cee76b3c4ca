// WebP through libwebp: lossy and lossless, with alpha. Animated files are refused.
#include <webp/decode.h>
#include <webp/encode.h>

#include <cstring>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/format_codecs.h"
#include "image/dib.h"

namespace ormi::host {

Picture DecodeWebp(const uint8_t* data, size_t size, uint64_t maxPixels) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) return {nullptr, false, "corrupt WebP data"};
  if (features.has_animation) return {nullptr, false, "animated WebP files are not supported"};
  if (features.width <= 0 || features.height <= 0) return {nullptr, false, "bad picture size"};
  const uint64_t pixels = uint64_t(features.width) * uint64_t(features.height);
  if (pixels > maxPixels) {
    return {
        nullptr, false,
        "picture too large: " + std::to_string(features.width) + " x " + std::to_string(features.height) + " pixels"};
  }
  std::vector<uint8_t> bgra(4 * pixels);
  const int stride = 4 * features.width;
  if (!WebPDecodeBGRAInto(data, size, bgra.data(), bgra.size(), stride)) return {nullptr, false, "corrupt WebP data"};
  HGLOBAL bitmap = BitmapFromTopDownBgra(bgra.data(), features.width, features.height);
  if (!bitmap) return {nullptr, false, "out of memory"};
  return {bitmap, features.has_alpha != 0, {}, PictureFormat::Webp};
}

namespace {

const char* EncodeError(WebPEncodingError code) {
  switch (code) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY: return "out of memory";
    case VP8_ENC_ERROR_BAD_DIMENSION: return "WebP pictures are at most 16383 x 16383 pixels";
    case VP8_ENC_ERROR_FILE_TOO_BIG: return "picture too large for a WebP file";
    default: return "cannot encode WebP";
  }
}

}  // namespace

bool EncodeWebp(HGLOBAL bitmap32, bool withAlpha, bool lossless, int quality, std::vector<uint8_t>& file,
                std::string& error) {
  auto* data = static_cast<uint8_t*>(bitmap32 ? GlobalLock(bitmap32) : nullptr);
  const std::optional<DibView> view = data ? ViewDib(DibBlock{data, GlobalSize(bitmap32)}) : std::nullopt;
  if (!view || view->bitCount != 32 || view->width <= 0 || view->rows == 0) {
    if (data) GlobalUnlock(bitmap32);
    error = "WebP needs a 32-bit picture of at least one pixel";
    return false;
  }
  const size_t rowBytes = 4 * static_cast<size_t>(view->width);
  std::vector<uint8_t> rows(rowBytes * view->rows);
  for (uint32_t y = 0; y < view->rows; ++y) {
    std::memcpy(rows.data() + rowBytes * y, view->row(view->topDown() ? y : view->rows - 1 - y), rowBytes);
  }
  GlobalUnlock(bitmap32);

  WebPConfig config;
  WebPPicture picture;
  if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) {
    error = "libwebp version mismatch";
    return false;
  }
  config.lossless = lossless ? 1 : 0;
  config.quality = static_cast<float>(quality);
  config.exact = lossless ? 1 : 0;  // lossless keeps the colour under alpha 0 too
  picture.use_argb = 1;
  picture.width = view->width;
  picture.height = static_cast<int>(view->rows);
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  picture.writer = WebPMemoryWrite;
  picture.custom_ptr = &writer;
  const int stride = static_cast<int>(rowBytes);
  const bool imported = withAlpha ? WebPPictureImportBGRA(&picture, rows.data(), stride)
                                  : WebPPictureImportBGRX(&picture, rows.data(), stride);
  const bool ok = imported && WebPValidateConfig(&config) && WebPEncode(&config, &picture);
  if (ok) {
    file.assign(writer.mem, writer.mem + writer.size);
  } else {
    error = EncodeError(picture.error_code);
  }
  WebPPictureFree(&picture);
  WebPMemoryWriterClear(&writer);
  return ok;
}

}  // namespace ormi::host
