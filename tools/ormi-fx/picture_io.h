// Pictures in and out of image handles: the record's transparency follows the file (an alpha
// channel marks it as carried by the alpha bytes) unless the options say otherwise, and the alpha
// bytes are written only when the record says they carry transparency.
#pragma once

#include <string>
#include <vector>

#include <ormi/win32.h>

#include "host/picture_file.h"
#include "options.h"

namespace ormi::fx {

struct LoadedImage {
  HGLOBAL image = nullptr;  // the caller frees it with host::FreeImageHandle
  host::PictureFormat format = host::PictureFormat::Bmp;
  bool fullChroma = false;  // a JPEG sampled 4:4:4, written back the same way
};

// Wraps a bitmap (which the image then owns) in an image handle with the transparency state that
// `hasAlpha` and the options give; with a colour key, a 32-bit picture without alpha channel gets
// alpha bytes 0 (the key matches only those). 0 (and the bitmap freed) when it cannot.
HGLOBAL MakeImage(HGLOBAL bitmap, bool hasAlpha, const PictureOptions& options);

// Reads a picture file ("-": standard input), converts it to --depth, wraps it. Returns an exit
// status; `error` names the file and the reason. What a lenient read kept is said on stderr.
int LoadImage(const std::string& path, const PictureOptions& options, LoadedImage& loaded, std::string& error);

// Writes the image's bitmap in the given format ("-": standard output), with alpha when the
// record carries it.
int SaveImage(HGLOBAL image, const std::string& path, host::PictureFormat format, std::string& error,
              const FileOptions& file = {}, bool fullChroma = false);

// The path that an input gets in DIR: its own name, with the extension of --format when that
// names another format.
std::string OutputPathFor(const std::string& input, const PictureOptions& options);

// Before any file is read: every output has a format that can be written and agrees with
// --format, and --out-dir replaces none of its inputs unless --overwrite says so. Prints the
// reason and returns kUsageError when not.
int CheckOutputs(const std::vector<std::string>& files, const PictureOptions& options);

// Whether the record says that its alpha bytes carry the transparency.
bool CarriesAlpha(HGLOBAL image);

// ".bmp", ".png", ".jpg"
const char* ExtensionOf(host::PictureFormat format);

}  // namespace ormi::fx
