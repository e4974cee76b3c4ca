#include "host/picture_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/bmp_file.h"
#include "host/file_access.h"
#include "host/format_codecs.h"
#include "image/dib.h"

namespace ormi::host {
namespace {

// Enough for every header that says how large the picture is, short of a JPEG with huge
// metadata before its frame header (then the file is bounded by the pixel limit instead).
constexpr size_t kSniffBytes = size_t{1} << 16;
// No file of these formats needs more than 16 bytes a pixel (16-bit RGBA PNG stored uncompressed,
// JPEG of noise at quality 100) besides its metadata.
constexpr uint64_t kFileBytesPerPixel = 16;
constexpr uint64_t kMetadataBytes = uint64_t{16} << 20;

struct PictureSize {
  uint64_t width = 0, height = 0;
};

uint32_t Le16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t Be16(const uint8_t* p) { return p[0] << 8 | p[1]; }
uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }

// The frame header's size, walking the segments before it.
std::optional<PictureSize> JpegSize(const uint8_t* data, size_t size) {
  size_t at = 2;
  while (at + 4 <= size && data[at] == 0xFF) {
    const uint8_t marker = data[at + 1];
    if (marker == 0xFF) {
      ++at;  // fill byte
      continue;
    }
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame && at + 9 <= size) return PictureSize{Be16(data + at + 7), Be16(data + at + 5)};
    if (marker == 0xDA) break;  // a scan before any frame header
    at += 2 + Be16(data + at + 2);
  }
  return std::nullopt;
}

// The size that the header declares, when the bytes at hand hold it.
std::optional<PictureSize> DeclaredSize(PictureFormat format, const uint8_t* data, size_t size) {
  switch (format) {
    case PictureFormat::Bmp:
      if (size >= 22 && LoadPixel<uint32_t>(data + 14) == 12) return PictureSize{Le16(data + 18), Le16(data + 20)};
      if (size >= 26) {
        const auto height = static_cast<int64_t>(LoadPixel<int32_t>(data + 22));
        return PictureSize{static_cast<uint64_t>(std::abs(static_cast<int64_t>(LoadPixel<int32_t>(data + 18)))),
                           static_cast<uint64_t>(std::abs(height))};
      }
      return std::nullopt;
    case PictureFormat::Png:
      if (size >= 24 && std::equal(data + 12, data + 16, "IHDR")) return PictureSize{Be32(data + 16), Be32(data + 20)};
      return std::nullopt;
    case PictureFormat::Jpeg: return JpegSize(data, size);
    case PictureFormat::Tiff:
    case PictureFormat::Webp:
    case PictureFormat::Gif: return std::nullopt;  // their decoders check the size before allocating
  }
  return std::nullopt;
}

bool OverLimit(const PictureSize& size, uint64_t maxPixels) {
  return size.height != 0 && size.width > maxPixels / size.height;
}

Picture Failed(std::string error, PictureFormat format = PictureFormat::Bmp) {
  Picture picture;
  picture.error = std::move(error);
  picture.format = format;
  return picture;
}

// A 32-bit copy for the PNG and JPEG encoders; 0 with the reason when there is none.
HGLOBAL ThirtyTwoBitCopy(HGLOBAL bitmap, std::string& error) {
  const auto* data = static_cast<const uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  const bool wellFormed = data && ViewDib(DibBlock{const_cast<uint8_t*>(data), GlobalSize(bitmap)}).has_value();
  if (data) GlobalUnlock(bitmap);
  HGLOBAL copy = wellFormed ? ConvertBitmapDepth(bitmap, 32) : nullptr;
  if (!copy) error = wellFormed ? "out of memory" : "malformed bitmap";
  return copy;
}

}  // namespace

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

std::string WritableFormatNames() { return "bmp, png, jpg, tiff, webp"; }

bool CanWrite(PictureFormat format) { return format != PictureFormat::Gif; }

bool HasExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash + 1) && dot + 1 < path.size();
}

std::optional<PictureFormat> FormatFromPath(const std::string& path) {
  if (!HasExtension(path)) return std::nullopt;
  return FormatFromName(std::string_view(path).substr(path.find_last_of('.') + 1));
}

std::optional<PictureFormat> SniffFormat(const uint8_t* data, size_t size) {
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size >= 8 && std::equal(kPngSignature, kPngSignature + 8, data)) return PictureFormat::Png;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return PictureFormat::Jpeg;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return PictureFormat::Bmp;
  if (size >= 4 && (std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0)) {
    return PictureFormat::Tiff;
  }
  if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0) {
    return PictureFormat::Webp;
  }
  if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0)) {
    return PictureFormat::Gif;
  }
  return std::nullopt;
}

std::string TooManyPixels(uint64_t width, uint64_t height, uint64_t maxPixels) {
  return "picture too large: " + std::to_string(width) + " x " + std::to_string(height) + " pixels (limit " +
         std::to_string(maxPixels) + ", --max-pixels)";
}

Picture DecodePicture(const uint8_t* data, size_t size, const ReadOptions& options) {
  const std::optional<PictureFormat> format = SniffFormat(data, size);
  if (!format) return Failed("not a BMP, PNG, JPEG, TIFF, WebP or GIF file");
  if (const auto declared = DeclaredSize(*format, data, size); declared && OverLimit(*declared, options.maxPixels)) {
    return Failed(TooManyPixels(declared->width, declared->height, options.maxPixels), *format);
  }
  Picture picture;
  switch (*format) {
    case PictureFormat::Png: picture = DecodePng(data, size, options); break;
    case PictureFormat::Jpeg: picture = DecodeJpeg(data, size, options); break;
    case PictureFormat::Bmp: {
      BitmapResult bmp = DecodeBmp(data, size, options.maxPixels);
      picture.bitmap = bmp.bitmap;
      picture.hasAlpha = bmp.bitmap && HasNonZeroAlpha(bmp.bitmap);
      picture.error = bmp.error;
      break;
    }
    case PictureFormat::Tiff: picture = DecodeTiff(data, size, options.maxPixels); break;
    case PictureFormat::Webp: picture = DecodeWebp(data, size, options.maxPixels); break;
    case PictureFormat::Gif: picture = DecodeGif(data, size, options.maxPixels); break;
  }
  picture.format = *format;
  return picture;
}

Picture ReadPicture(const std::string& path, const ReadOptions& options) {
  InputFile file;
  std::vector<uint8_t> bytes;
  std::string error;
  if (!file.open(path, error) || !file.readUpTo(bytes, kSniffBytes, error)) return Failed(error);
  const std::optional<PictureFormat> format = SniffFormat(bytes.data(), bytes.size());
  if (!format) return Failed("not a BMP, PNG, JPEG, TIFF, WebP or GIF file");
  // What the header declares bounds the file: a small picture in a huge file (or a device that
  // never ends) is refused before it is read whole.
  const std::optional<PictureSize> declared = DeclaredSize(*format, bytes.data(), bytes.size());
  if (declared && OverLimit(*declared, options.maxPixels)) {
    return Failed(TooManyPixels(declared->width, declared->height, options.maxPixels), *format);
  }
  const uint64_t pixels = declared ? declared->width * declared->height : options.maxPixels;
  const uint64_t bound = std::min(pixels, UINT64_MAX / 32) * kFileBytesPerPixel + kMetadataBytes;
  const bool tooLong =
      file.size().value_or(0) > bound || !file.readUpTo(bytes, bound + 1, error) || bytes.size() > bound;
  if (tooLong && error.empty()) {
    const std::string what =
        declared ? std::to_string(declared->width) + " x " + std::to_string(declared->height) + " picture"
                 : "picture of at most " + std::to_string(options.maxPixels) + " pixels";
    error = "file too large: more than " + std::to_string(bound) + " bytes for a " + what;
  }
  if (!error.empty()) return Failed(error, *format);
  return DecodePicture(bytes.data(), bytes.size(), options);
}

bool WritePicture(const std::string& path, PictureFormat format, HGLOBAL bitmap, bool withAlpha, std::string& error,
                  const WriteOptions& options) {
  std::vector<uint8_t> file;
  if (format == PictureFormat::Bmp) {
    if (!EncodeBmp(bitmap, file, error, withAlpha)) return false;
  } else if (format == PictureFormat::Tiff) {
    if (!EncodeTiff(bitmap, withAlpha, TiffCompression::Lzw, file, error)) return false;
  } else if (!CanWrite(format)) {
    error = "GIF files are read, not written";
    return false;
  } else {
    HGLOBAL bitmap32 = ThirtyTwoBitCopy(bitmap, error);
    if (!bitmap32) return false;
    const bool encoded = format == PictureFormat::Png ? EncodePng(bitmap32, withAlpha, file, error, options.compression)
                         : format == PictureFormat::Webp
                             ? EncodeWebp(bitmap32, withAlpha, true, 100, file, error)
                             : EncodeJpeg(bitmap32, options.quality, file, error, options.fullChroma);
    GlobalFree(bitmap32);
    if (!encoded) return false;
  }
  return WriteFileSafely(path, file, error);
}

}  // namespace ormi::host
