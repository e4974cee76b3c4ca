#include "apply.h"

#include <cstdio>
#include <cstring>

#include <ormi/win32emu_testing.h>

#include "exit_status.h"
#include "extras.h"
#include "host/bmp_file.h"
#include "host/image_handle.h"

namespace ormi::fx {
namespace {

BITMAPINFOHEADER HeaderOf(HGLOBAL image) {
  BITMAPINFOHEADER header{};
  HGLOBAL bitmap = host::BitmapOfImage(image);
  const void* data = bitmap ? GlobalLock(bitmap) : nullptr;
  if (!data) return header;
  std::memcpy(&header, data, sizeof header);
  GlobalUnlock(bitmap);
  return header;
}

int BitCountOf(HGLOBAL image) { return HeaderOf(image).biBitCount; }

// The whole picture as the rectangle of the fills and the painter.
RECT RectOf(HGLOBAL image) {
  const BITMAPINFOHEADER header = HeaderOf(image);
  return RECT{0, 0, header.biWidth - 1, (header.biHeight < 0 ? -header.biHeight : header.biHeight) - 1};
}

// Paints onto a memory device context of the picture's size and returns what landed there.
intptr_t InvokePainted(const host::EffectInfo& effect, host::EffectArgs& args, HGLOBAL& painted) {
  const int width = args.rect.right + 1, height = args.rect.bottom + 1;
  args.dc = Win32EmuCreateMemoryDC(width, height);
  if (!args.dc) return 0;
  const intptr_t result = effect.invoke(args);
  if (result != 0) painted = BitmapFromMemoryDC(args.dc, width, height);
  Win32EmuDeleteMemoryDC(args.dc);
  return result;
}

}  // namespace

std::string DescribeDepths(const std::vector<int>& depths) {
  std::string text;
  for (size_t i = 0; i < depths.size(); ++i) {
    if (i > 0) text += i + 1 == depths.size() ? " and " : ", ";
    text += std::to_string(depths[i]);
  }
  return text + (depths.size() == 1 ? "-bit pictures" : " bits");
}

int ApplyEffect(const host::EffectInfo& effect, const std::vector<double>& values, HGLOBAL& image, std::string& error,
                std::span<const HGLOBAL> extras) {
  host::EffectArgs args{image, values, extras, RectOf(image)};
  HGLOBAL painted = nullptr;
  const intptr_t result =
      effect.result == host::ResultKind::Painted ? InvokePainted(effect, args, painted) : effect.invoke(args);
  if (result == 0) {
    const int depth = BitCountOf(image);
    error = std::string(effect.name) + " refused the " + std::to_string(depth) + "-bit picture (it accepts " +
            DescribeDepths(effect.depths) + ")";
    for (const host::ExtraInput& extra : effect.extras)
      error += std::string(" or its --") + extra.name + " (" + extra.help + ")";
    return kRefused;
  }
  HGLOBAL replacement = nullptr;
  switch (effect.result) {
    case host::ResultKind::InPlace:
    case host::ResultKind::NoImage: return kDone;
    case host::ResultKind::NewImage: replacement = reinterpret_cast<HGLOBAL>(result); break;
    case host::ResultKind::NewBitmap: replacement = host::WrapBitmap(reinterpret_cast<HGLOBAL>(result)); break;
    case host::ResultKind::Painted: replacement = host::WrapBitmap(painted); break;
  }
  if (!replacement) {
    if (effect.result == host::ResultKind::NewBitmap) GlobalFree(reinterpret_cast<HGLOBAL>(result));
    if (painted) GlobalFree(painted);
    error = "out of memory";
    return kFileError;
  }
  host::FreeImageHandle(image);
  image = replacement;
  return kDone;
}

int RunWithoutImage(const host::EffectInfo& effect, const std::vector<double>& values) {
  if (effect.invoke(host::EffectArgs{nullptr, values}) == 0) {
    std::fprintf(stderr, "ormi-fx: %s failed (%s)\n", effect.name, effect.description);
    return kRefused;
  }
  return kDone;
}

int ApplyEffectToFile(const host::EffectInfo& effect, const std::vector<double>& values, const std::string& input,
                      const std::string& output, const std::vector<std::string>& extraFiles) {
  ExtraPictures extras;
  std::string error;
  if (!LoadExtras(effect, extraFiles, extras, error)) {
    std::fprintf(stderr, "ormi-fx: %s\n", error.c_str());
    return kFileError;
  }
  host::BitmapResult loaded = host::ReadBmpFile(input);
  if (!loaded.bitmap) {
    std::fprintf(stderr, "ormi-fx: %s: %s\n", input.c_str(), loaded.error.c_str());
    return kFileError;
  }
  HGLOBAL image = host::WrapBitmap(loaded.bitmap);
  if (!image) {
    GlobalFree(loaded.bitmap);
    std::fprintf(stderr, "ormi-fx: %s: out of memory\n", input.c_str());
    return kFileError;
  }
  int status = ApplyEffect(effect, values, image, error, extras.handles());
  if (status == kDone && !host::WriteBmpFile(output, host::BitmapOfImage(image), error)) {
    error = output + ": " + error;
    status = kFileError;
  } else if (status != kDone) {
    error = input + ": " + error;
  }
  host::FreeImageHandle(image);
  if (status != kDone) std::fprintf(stderr, "ormi-fx: %s\n", error.c_str());
  return status;
}

}  // namespace ormi::fx
