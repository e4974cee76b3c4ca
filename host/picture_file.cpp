#include "host/picture_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/bmp_file.h"
#include "host/format_codecs.h"

namespace ormi::host {

std::optional<PictureFormat> FormatFromName(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower == "bmp") return PictureFormat::Bmp;
  if (lower == "png") return PictureFormat::Png;
  if (lower == "jpg" || lower == "jpeg") return PictureFormat::Jpeg;
  if (lower == "tif" || lower == "tiff") return PictureFormat::Tiff;
  if (lower == "webp") return PictureFormat::Webp;
  if (lower == "gif") return PictureFormat::Gif;
  return std::nullopt;
}

bool CanWrite(PictureFormat format) { return format != PictureFormat::Gif; }

std::optional<PictureFormat> FormatFromPath(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  return FormatFromName(std::string_view(path).substr(dot + 1));
}

Picture DecodePicture(const uint8_t* data, size_t size) {
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size >= 8 && std::equal(kPngSignature, kPngSignature + 8, data)) {
    Picture png = DecodePng(data, size);
    png.format = PictureFormat::Png;
    return png;
  }
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
    Picture jpeg = DecodeJpeg(data, size);
    jpeg.format = PictureFormat::Jpeg;
    return jpeg;
  }
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    BitmapResult bmp = DecodeBmp(data, size);
    return {bmp.bitmap, bmp.bitmap && HasNonZeroAlpha(bmp.bitmap), bmp.error};
  }
  if (size >= 4 && (std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0)) {
    return DecodeTiff(data, size);
  }
  if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0) {
    return DecodeWebp(data, size);
  }
  if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0)) {
    return DecodeGif(data, size);
  }
  return {nullptr, false, "not a BMP, PNG, JPEG, TIFF, WebP or GIF file"};
}

Picture ReadPicture(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) return {nullptr, false, error};
  return DecodePicture(bytes.data(), bytes.size());
}

bool WritePicture(const std::string& path, PictureFormat format, HGLOBAL bitmap, bool withAlpha, std::string& error) {
  std::vector<uint8_t> file;
  if (format == PictureFormat::Bmp) {
    if (!EncodeBmp(bitmap, file, error, withAlpha)) return false;
  } else if (format == PictureFormat::Tiff) {
    if (!EncodeTiff(bitmap, withAlpha, TiffCompression::Lzw, file, error)) return false;
  } else if (!CanWrite(format)) {
    error = "GIF files are read, not written";
    return false;
  } else {
    HGLOBAL bitmap32 = ConvertBitmapDepth(bitmap, 32);
    if (!bitmap32) {
      error = "malformed bitmap";
      return false;
    }
    const bool encoded = format == PictureFormat::Png    ? EncodePng(bitmap32, withAlpha, file, error)
                         : format == PictureFormat::Webp ? EncodeWebp(bitmap32, withAlpha, true, 100, file, error)
                                                         : EncodeJpeg(bitmap32, 92, file, error);
    GlobalFree(bitmap32);
    if (!encoded) return false;
  }
  return WriteWholeFile(path, file, error);
}

}  // namespace ormi::host
