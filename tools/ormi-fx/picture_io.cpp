#include "picture_io.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "exit_status.h"
#include "host/bitmap_convert.h"
#include "host/file_access.h"
#include "host/image_handle.h"
#include "image/dib.h"

namespace ormi::fx {

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
  if (options.transparentColor && !hasAlpha) host::ClearAlpha(bitmap);
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
  host::Picture picture = host::ReadPicture(path, options.file.read());
  if (!picture.bitmap) {
    error = path + ": " + picture.error;
    return kFileError;
  }
  if (!picture.warning.empty()) std::fprintf(stderr, "ormi-fx: %s: %s\n", path.c_str(), picture.warning.c_str());
  if (options.depth != 0) {
    // A picture just read is well formed: only memory can be missing.
    HGLOBAL converted = host::ConvertBitmapDepth(picture.bitmap, options.depth);
    GlobalFree(picture.bitmap);
    if (!converted) {
      error = path + ": out of memory";
      return kFileError;
    }
    picture.bitmap = converted;
    picture.hasAlpha = picture.hasAlpha && options.depth == 32;
  }
  loaded.format = picture.format;
  loaded.fullChroma = picture.fullChroma;
  loaded.image = MakeImage(picture.bitmap, picture.hasAlpha, options);
  if (!loaded.image) {
    error = path + ": out of memory";
    return kFileError;
  }
  return kDone;
}

int SaveImage(HGLOBAL image, const std::string& path, host::PictureFormat format, std::string& error,
              const FileOptions& file, bool fullChroma) {
  HGLOBAL bitmap = host::BitmapOfImage(image);
  const bool alpha = CarriesAlpha(image);
  // A BMP written without alpha has alpha bytes 0, as other programs then read it.
  HGLOBAL written = format == host::PictureFormat::Bmp && !alpha ? host::BitmapWithoutAlpha(bitmap) : bitmap;
  std::string reason = "out of memory";
  const bool done = written && host::WritePicture(path, format, written, alpha, reason, file.write(fullChroma));
  if (written && written != bitmap) GlobalFree(written);
  if (!done) {
    error = path + ": " + reason;
    return kFileError;
  }
  return kDone;
}

namespace {

int Usage(const std::string& message) {
  std::fprintf(stderr, "ormi-fx: %s\n", message.c_str());
  return kUsageError;
}

// The format an output is written in must be known before anything is read.
int CheckFormat(const std::string& output, const PictureOptions& options) {
  const std::optional<host::PictureFormat> named = host::FormatFromPath(output);
  if (output == "-" && !options.format) return Usage("writing to standard output needs --format");
  if (host::HasExtension(output) && !named && !options.format) {
    return Usage(output + ": unknown picture format (ormi-fx writes " + host::WritableFormatNames() + ")");
  }
  const std::optional<host::PictureFormat> chosen = options.format ? options.format : named;
  if (chosen && !host::CanWrite(*chosen)) {
    return Usage(output + ": " + ExtensionOf(*chosen) + " files are read, not written (ormi-fx writes " +
                 host::WritableFormatNames() + ")");
  }
  if (named && options.format && *named != *options.format) {
    return Usage(output + ": --format contradicts the extension (" + ExtensionOf(*options.format) + " expected)");
  }
  return kDone;
}

}  // namespace

std::string OutputPathFor(const std::string& input, const PictureOptions& options) {
  std::filesystem::path name = std::filesystem::path(input).filename();
  if (options.format && host::FormatFromPath(name.string()) != options.format) {
    name.replace_extension(ExtensionOf(*options.format));
  }
  return (std::filesystem::path(options.outDir) / name).string();
}

int CheckOutputs(const std::vector<std::string>& files, const PictureOptions& options) {
  if (options.outDir.empty()) return CheckFormat(files.at(1), options);
  for (const std::string& input : files) {
    if (input == "-") return Usage("standard input cannot be one of the inputs of --out-dir");
    const std::string output = OutputPathFor(input, options);
    if (const int status = CheckFormat(output, options); status != kDone) return status;
    if (!options.file.overwrite && host::SameFile(input, output)) {
      return Usage(input + ": --out-dir would write over this input (--overwrite allows it)");
    }
  }
  return kDone;
}

}  // namespace ormi::fx
