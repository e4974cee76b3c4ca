// Picture files in the formats that ormi-fx reads and writes: BMP at its own depth, PNG, JPEG,
// TIFF and WebP as 32-bit pictures; GIF is read only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <ormi/win32.h>

namespace ormi::host {

enum class PictureFormat { Bmp, Png, Jpeg, Tiff, Webp, Gif };

// "bmp", "png", "jpg"/"jpeg", "tif"/"tiff", "webp", "gif" (any case); nullopt for anything else.
std::optional<PictureFormat> FormatFromName(std::string_view name);
// From the file's extension.
std::optional<PictureFormat> FormatFromPath(const std::string& path);

// Whether WritePicture can write the format (every one but GIF).
bool CanWrite(PictureFormat format);

struct Picture {
  HGLOBAL bitmap = nullptr;  // a packed bitmap the caller owns
  bool hasAlpha = false;     // the file carries an alpha channel
  std::string error;
  PictureFormat format = PictureFormat::Bmp;  // what the file's bytes turned out to be
};

// Reads a picture; the format is sniffed from the file's first bytes.
Picture ReadPicture(const std::string& path);
Picture DecodePicture(const uint8_t* data, size_t size);

// Writes a bitmap of any depth; PNG and JPEG convert it to 32 bits first. PNG keeps the alpha
// bytes when `withAlpha` is set; JPEG never has alpha.
bool WritePicture(const std::string& path, PictureFormat format, HGLOBAL bitmap, bool withAlpha, std::string& error);

// The PNG and JPEG codecs on top of libpng and libjpeg-turbo.
Picture DecodePng(const uint8_t* data, size_t size);
Picture DecodeJpeg(const uint8_t* data, size_t size);
bool EncodePng(HGLOBAL bitmap32, bool withAlpha, std::vector<uint8_t>& file, std::string& error);
bool EncodeJpeg(HGLOBAL bitmap32, int quality, std::vector<uint8_t>& file, std::string& error);

}  // namespace ormi::host
