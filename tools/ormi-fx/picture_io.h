// Pictures in and out of image handles: the record's transparency follows the file (an alpha
// channel marks it as carried by the alpha bytes) unless the options say otherwise, and the alpha
// bytes are written only when the record says they carry transparency.
#pragma once

#include <string>

#include <ormi/win32.h>

#include "host/picture_file.h"
#include "options.h"

namespace ormi::fx {

struct LoadedImage {
  HGLOBAL image = nullptr;  // the caller frees it with host::FreeImageHandle
  host::PictureFormat format = host::PictureFormat::Bmp;
};

// Wraps a bitmap (which the image then owns) in an image handle with the transparency state that
// `hasAlpha` and the options give; with a colour key, a 32-bit picture without alpha channel gets
// alpha bytes 0 (the key matches only those). 0 (and the bitmap freed) when it cannot.
HGLOBAL MakeImage(HGLOBAL bitmap, bool hasAlpha, const PictureOptions& options);

// Reads a picture file, converts it to --depth, wraps it. Returns an exit status; `error` names
// the file and the reason.
int LoadImage(const std::string& path, const PictureOptions& options, LoadedImage& loaded, std::string& error);

// Writes the image's bitmap in the given format, with alpha when the record carries it.
int SaveImage(HGLOBAL image, const std::string& path, host::PictureFormat format, std::string& error);

// Whether the record says that its alpha bytes carry the transparency.
bool CarriesAlpha(HGLOBAL image);

// ".bmp", ".png", ".jpg"
const char* ExtensionOf(host::PictureFormat format);

}  // namespace ormi::fx
