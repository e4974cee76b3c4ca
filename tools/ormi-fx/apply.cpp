#include "apply.h"

#include <algorithm>
#include <cstring>

#include "command_line.h"
#include "exit_status.h"
#include "host/image_handle.h"

namespace ormi::fx {
namespace {

int BitCountOf(HGLOBAL image) {
  HGLOBAL bitmap = host::BitmapOfImage(image);
  const void* data = bitmap ? GlobalLock(bitmap) : nullptr;
  if (!data) return 0;
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  GlobalUnlock(bitmap);
  return header.biBitCount;
}

}  // namespace

int ApplyEffect(const host::EffectInfo& effect, const std::vector<double>& values, HGLOBAL& image, std::string& error) {
  const intptr_t result = effect.invoke(host::EffectArgs{image, values});
  if (result == 0) {
    const int depth = BitCountOf(image);
    error = std::string(effect.name) + " refused the " + std::to_string(depth) + "-bit picture";
    const int convertible = ConvertibleDepth(effect.depths);
    if (std::find(effect.depths.begin(), effect.depths.end(), depth) != effect.depths.end()) {
      // The depth is one it takes: the values (or the picture's contents) are what it refused.
      error += std::string(" with these values (") + effect.description + ")";
    } else {
      error += " (it accepts " + DescribeDepths(effect.depths) + ")";
      if (convertible != 0) error += "; --depth " + std::to_string(convertible) + " converts it first";
    }
    return kRefused;
  }
  if (effect.result == host::ResultKind::NewImage) {
    host::FreeImageHandle(image);
    image = reinterpret_cast<HGLOBAL>(result);
  }
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
