#include "demo.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "apply.h"
#include "exit_status.h"
#include "extras.h"
#include "host/bmp_file.h"
#include "host/image_handle.h"
#include "sample.h"

namespace ormi::fx {
namespace {

std::string DescribeValues(const host::EffectInfo& effect, const std::vector<double>& values) {
  std::string text;
  size_t next = 0;
  for (const host::EffectParam& param : effect.params) {
    text += std::string(" --") + param.name + " ";
    for (size_t i = 0; i < host::ValueCount(param); ++i, ++next) {
      char value[32];
      std::snprintf(value, sizeof value, i == 0 ? "%g" : ",%g", values[next]);
      text += value;
    }
  }
  for (const host::ExtraInput& extra : effect.extras) text += std::string(" --") + extra.name + " (demo)";
  return text;
}

struct Tile {
  std::string file, caption;
};

void WriteGallery(const std::filesystem::path& dir, const std::vector<Tile>& tiles) {
  std::ofstream html(dir / "index.html");
  html << "<!doctype html>\n<html><head><meta charset=\"utf-8\"><title>ormi-fx demo</title>\n"
          "<style>body{font-family:sans-serif;background:#222;color:#eee}"
          "figure{display:inline-block;margin:8px;text-align:center}"
          "img{border:1px solid #555;image-rendering:pixelated}</style></head><body>\n"
          "<h1>ormi-fx demo</h1>\n";
  for (const Tile& tile : tiles) {
    html << "<figure><img src=\"" << tile.file << "\" alt=\"" << tile.caption << "\"><figcaption><code>" << tile.caption
         << "</code></figcaption></figure>\n";
  }
  html << "</body></html>\n";
}

}  // namespace

int RunDemo(const std::string& outDir) {
  const std::filesystem::path dir(outDir);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    std::fprintf(stderr, "ormi-fx: %s: %s\n", outDir.c_str(), ec.message().c_str());
    return kFileError;
  }
  HGLOBAL sample = MakeSampleBitmap();
  std::string error;
  if (!sample || !host::WriteBmpFile((dir / "sample.bmp").string(), sample, error)) {
    std::fprintf(stderr, "ormi-fx: %s: %s\n", outDir.c_str(), error.c_str());
    if (sample) GlobalFree(sample);
    return kFileError;
  }
  std::vector<Tile> tiles{{"sample.bmp", "sample"}};
  int status = kDone;
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    if (effect.result == host::ResultKind::NoImage) {
      // Nothing to picture; it still runs, so that a failure shows up here.
      const int result = RunWithoutImage(effect, host::DefaultValues(effect));
      if (result != kDone) status = result;
      continue;
    }
    // Effects that take no 32-bit picture get a grey palette copy of the sample.
    const bool takes32 = std::find(effect.depths.begin(), effect.depths.end(), 32) != effect.depths.end();
    HGLOBAL copy = takes32 ? host::CopyGlobalBlock(sample) : MakeGreyPalettePicture(sample);
    HGLOBAL image = host::WrapBitmap(copy);
    if (!image && copy) GlobalFree(copy);
    ExtraPictures extras;
    const bool extrasMade = MakeDemoExtras(effect, sample, extras);
    const std::vector<double> values = host::DefaultValues(effect);
    const std::string file = std::string(effect.name) + ".bmp";
    error = "out of memory";
    int result = image && extrasMade ? ApplyEffect(effect, values, image, error, extras.handles()) : kFileError;
    if (result == kDone && !host::WriteBmpFile((dir / file).string(), host::BitmapOfImage(image), error)) {
      result = kFileError;
    }
    if (result == kDone) {
      tiles.push_back({file, effect.name + DescribeValues(effect, values)});
    } else {
      std::fprintf(stderr, "ormi-fx: demo: %s: %s\n", effect.name, error.c_str());
      status = result;
    }
    host::FreeImageHandle(image);
  }
  GlobalFree(sample);
  WriteGallery(dir, tiles);
  std::printf("ormi-fx: wrote %zu pictures and %s\n", tiles.size(), (dir / "index.html").string().c_str());
  return status;
}

}  // namespace ormi::fx
