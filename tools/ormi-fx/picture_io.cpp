#include "picture_io.h"

#include <cstring>

#include "exit_status.h"
#include "host/bitmap_convert.h"
#include "host/image_handle.h"
#include "image/dib.h"

namespace ormi::fx {
namespace {

// Sets every fourth byte of a 32-bit BI_RGB bitmap to 0, as a BMP without alpha has them; false
// (and nothing changed) for any other bitmap.
bool ClearAlpha(HGLOBAL bitmap) {
  auto* data = static_cast<uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  if (!data) return false;
  const std::optional<DibView> view = ViewDib(DibBlock{data, GlobalSize(bitmap)});
  const bool cleared = view && view->bitCount == 32 && view->compression == BI_RGB;
  if (cleared) {
    for (uint32_t r = 0; r < view->rows; ++r) {
      uint8_t* row = view->row(r);
      for (int32_t x = 0; x < view->width; ++x) row[4 * static_cast<size_t>(x) + 3] = 0;
    }
  }
  GlobalUnlock(bitmap);
  return cleared;
}

// A copy without alpha for a BMP file; 0 when the bitmap is not 32-bit (it is written as it is).
HGLOBAL WithoutAlpha(HGLOBAL bitmap) {
  HGLOBAL copy = host::CopyGlobalBlock(bitmap);
  if (copy && !ClearAlpha(copy)) return GlobalFree(copy);
  return copy;
}

}  // namespace

bool CarriesAlpha(HGLOBAL image) {
  const auto* record = static_cast<const ImageRecord*>(image ? GlobalLock(image) : nullptr);
  if (!record) return false;
  const bool alpha =
      record->transparency != ORMI_NO_TRANSPARENCY && (record->transparentColor & ORMI_ALPHA_TRANSPARENCY) != 0;
  GlobalUnlock(image);
  return alpha;
}

const char* ExtensionOf(host::PictureFormat format) {
  switch (format) {
    case host::PictureFormat::Bmp: return ".bmp";
    case host::PictureFormat::Png: return ".png";
    case host::PictureFormat::Jpeg: return ".jpg";
    case host::PictureFormat::Tiff: return ".tif";
    case host::PictureFormat::Webp: return ".webp";
    case host::PictureFormat::Gif: return ".gif";
  }
  return "";
}

HGLOBAL MakeImage(HGLOBAL bitmap, bool hasAlpha, const PictureOptions& options) {
  // A colour key matches only pixels whose alpha byte is 0. A picture without an alpha channel
  // gets the fourth bytes of a BMP without alpha, so that its key-coloured pixels match.
  if (options.transparentColor && !hasAlpha) ClearAlpha(bitmap);
  HGLOBAL image = host::WrapBitmap(bitmap);
  if (!image) {
    GlobalFree(bitmap);
    return nullptr;
  }
  if (options.transparentColor) {
    host::SetColorKey(image, *options.transparentColor);
  } else if (hasAlpha || options.alphaTransparency) {
    host::SetAlphaTransparency(image);
  }
  return image;
}

int LoadImage(const std::string& path, const PictureOptions& options, LoadedImage& loaded, std::string& error) {
  host::Picture picture = host::ReadPicture(path);
  if (!picture.bitmap) {
    const char* kind = picture.format == host::PictureFormat::Png    ? "bad PNG file: "
                       : picture.format == host::PictureFormat::Jpeg ? "bad JPEG file: "
                                                                     : "";
    error = path + ": " + kind + picture.error;
    return kFileError;
  }
  if (options.depth != 0) {
    HGLOBAL converted = host::ConvertBitmapDepth(picture.bitmap, options.depth);
    GlobalFree(picture.bitmap);
    if (!converted) {
      error = path + ": cannot convert the picture to " + std::to_string(options.depth) + " bits";
      return kFileError;
    }
    picture.bitmap = converted;
    picture.hasAlpha = picture.hasAlpha && options.depth == 32;
  }
  loaded.format = picture.format;
  loaded.image = MakeImage(picture.bitmap, picture.hasAlpha, options);
  if (!loaded.image) {
    error = path + ": not a bitmap the library can take (malformed header or out of memory)";
    return kFileError;
  }
  return kDone;
}

int SaveImage(HGLOBAL image, const std::string& path, host::PictureFormat format, std::string& error) {
  HGLOBAL bitmap = host::BitmapOfImage(image);
  const bool alpha = CarriesAlpha(image);
  HGLOBAL plain = format == host::PictureFormat::Bmp && !alpha ? WithoutAlpha(bitmap) : nullptr;
  std::string reason;
  const bool written = host::WritePicture(path, format, plain ? plain : bitmap, alpha, reason);
  if (plain) GlobalFree(plain);
  if (!written) {
    error = path + ": " + reason;
    return kFileError;
  }
  return kDone;
}

}  // namespace ormi::fx
