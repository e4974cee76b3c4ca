#include "apply.h"

#include <algorithm>
#include <cstring>

#include <ormi/win32emu_testing.h>

#include "command_line.h"
#include "exit_status.h"
#include "extras.h"
#include "host/bitmap_convert.h"
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

std::string RefusalOf(const host::EffectInfo& effect, int depth) {
  std::string error = std::string(effect.name) + " refused the " + std::to_string(depth) + "-bit picture";
  if (std::find(effect.depths.begin(), effect.depths.end(), depth) != effect.depths.end()) {
    // The depth is one it takes: the values, the contents or the extra pictures are what it refused.
    error += std::string(" with these values (") + effect.description + ")";
  } else {
    error += " (it accepts " + DescribeDepths(effect.depths) + ")";
    if (const int convertible = ConvertibleDepth(effect.depths); convertible != 0) {
      error += "; --depth " + std::to_string(convertible) + " converts it first";
    }
  }
  for (const host::ExtraInput& extra : effect.extras) {
    error += std::string(", or its --") + extra.name + " (" + extra.help + ")";
  }
  return error;
}

}  // namespace

int ApplyEffect(const host::EffectInfo& effect, const std::vector<double>& values, HGLOBAL& image, std::string& error,
                std::span<const HGLOBAL> extras) {
  host::EffectArgs args{image, values, extras, RectOf(image)};
  HGLOBAL painted = nullptr;
  const intptr_t result =
      effect.result == host::ResultKind::Painted ? InvokePainted(effect, args, painted) : effect.invoke(args);
  if (result == 0) {
    error = RefusalOf(effect, HeaderOf(image).biBitCount);
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
  // A new plain bitmap is a fresh picture: like a file, it carries alpha when its alpha bytes say so.
  if (effect.result == host::ResultKind::NewBitmap && host::HasNonZeroAlpha(host::BitmapOfImage(replacement))) {
    host::SetAlphaTransparency(replacement);
  }
  host::FreeImageHandle(image);
  image = replacement;
  return kDone;
}

int RunWithoutImage(const host::EffectInfo& effect, const std::vector<double>& values, std::string& error) {
  if (effect.invoke(host::EffectArgs{nullptr, values}) == 0) {
    error = std::string(effect.name) + " failed (" + effect.description + ")";
    return kRefused;
  }
  return kDone;
}

}  // namespace ormi::fx
