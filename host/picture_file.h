// Picture files in the formats that ormi-fx reads and writes: BMP at its own depth, PNG, JPEG,
// TIFF and WebP as 32-bit pictures; GIF is read only. Reading is bounded: a picture over the pixel
// limit is refused before its pixels are allocated, and a file is never read past what its header
// accounts for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <ormi/win32.h>

#include "host/picture_limits.h"

namespace ormi::host {

enum class PictureFormat { Bmp, Png, Jpeg, Tiff, Webp, Gif };

// "bmp", "png", "jpg"/"jpeg", "tif"/"tiff", "webp", "gif" (any case); nullopt for anything else.
std::optional<PictureFormat> FormatFromName(std::string_view name);
// From the file's extension.
std::optional<PictureFormat> FormatFromPath(const std::string& path);
// Whether the path has an extension at all ("-" and "dir.png/file" have none).
bool HasExtension(const std::string& path);
// "bmp, png, jpg": the formats that can be written, for messages.
std::string WritableFormatNames();
// From the file's first bytes; nullopt when they are no format read here.
std::optional<PictureFormat> SniffFormat(const uint8_t* data, size_t size);

constexpr int kDefaultJpegQuality = 92;
// zlib level 4 (the first with lazy matching) writes photos about as small as level 6 in well
// under half the time.
constexpr int kDefaultPngCompression = 4;

struct ReadOptions {
  uint64_t maxPixels = kDefaultMaxPixels;
  bool lenient = false;    // keep what decoded from damaged data (Picture::warning says so)
  bool autoOrient = true;  // turn a JPEG as its EXIF orientation says
};

struct WriteOptions {
  int quality = kDefaultJpegQuality;         // JPEG, 1..100
  int compression = kDefaultPngCompression;  // PNG: zlib level 0..9
  bool fullChroma = false;                   // JPEG: 4:4:4 sampling instead of 4:2:0
};

// Whether WritePicture can write the format (every one but GIF).
bool CanWrite(PictureFormat format);

struct Picture {
  HGLOBAL bitmap = nullptr;  // a packed bitmap the caller owns
  bool hasAlpha = false;     // the file carries an alpha channel
  std::string error;
  PictureFormat format = PictureFormat::Bmp;  // what the file's bytes turned out to be
  std::string warning;                        // with ReadOptions::lenient: the damage that was read past
  bool fullChroma = false;                    // a JPEG sampled 4:4:4 (written back the same way)
};

// Reads a picture from a file or "-" (standard input); the format is sniffed from its first bytes.
Picture ReadPicture(const std::string& path, const ReadOptions& options = {});
Picture DecodePicture(const uint8_t* data, size_t size, const ReadOptions& options = {});

// Writes a bitmap of any depth to a file or "-" (standard output) through a temporary file; PNG
// and JPEG convert it to 32 bits first. PNG keeps the alpha bytes when `withAlpha` is set; JPEG
// never has alpha.
bool WritePicture(const std::string& path, PictureFormat format, HGLOBAL bitmap, bool withAlpha, std::string& error,
                  const WriteOptions& options = {});

// The PNG and JPEG codecs on top of libpng and libjpeg-turbo.
Picture DecodePng(const uint8_t* data, size_t size, const ReadOptions& options = {});
Picture DecodeJpeg(const uint8_t* data, size_t size, const ReadOptions& options = {});
bool EncodePng(HGLOBAL bitmap32, bool withAlpha, std::vector<uint8_t>& file, std::string& error,
               int compression = kDefaultPngCompression);
bool EncodeJpeg(HGLOBAL bitmap32, int quality, std::vector<uint8_t>& file, std::string& error, bool fullChroma = false);

// The one-line refusal of a picture over the limit.
std::string TooManyPixels(uint64_t width, uint64_t height, uint64_t maxPixels);

}  // namespace ormi::host
