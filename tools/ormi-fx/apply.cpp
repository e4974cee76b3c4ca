#include "apply.h"

#include <cstdio>
#include <cstring>

#include "exit_status.h"
#include "host/bmp_file.h"
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

std::string DescribeDepths(const std::vector<int>& depths) {
  std::string text;
  for (size_t i = 0; i < depths.size(); ++i) {
    if (i > 0) text += i + 1 == depths.size() ? " and " : ", ";
    text += std::to_string(depths[i]);
  }
  return text + (depths.size() == 1 ? "-bit pictures" : " bits");
}

int ApplyEffect(const host::EffectInfo& effect, const std::vector<double>& values, HGLOBAL& image, std::string& error) {
  const intptr_t result = effect.invoke(host::EffectArgs{image, values});
  if (result == 0) {
    const int depth = BitCountOf(image);
    error = std::string(effect.name) + " refused the " + std::to_string(depth) + "-bit picture (it accepts " +
            DescribeDepths(effect.depths) + ")";
    return kRefused;
  }
  if (effect.result == host::ResultKind::NewImage) {
    host::FreeImageHandle(image);
    image = reinterpret_cast<HGLOBAL>(result);
  }
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
                      const std::string& output) {
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
  std::string error;
  int status = ApplyEffect(effect, values, image, error);
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
