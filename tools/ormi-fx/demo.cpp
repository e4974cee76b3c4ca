#include "demo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "apply.h"
#include "command_line.h"
#include "exit_status.h"
#include "extras.h"
#include "gallery.h"
#include "host/bitmap_convert.h"
#include "host/image_handle.h"
#include "picture_io.h"
#include "sample.h"

namespace ormi::fx {
namespace {

namespace fs = std::filesystem;

// A picture that every effect is shown on.
struct Source {
  std::string heading, prefix;  // section title; prefix of its files
  HGLOBAL bitmap = nullptr;
  bool hasAlpha = false;
  HGLOBAL bitmap32 = nullptr;  // a 32-bit bottom-up copy, for the extra pictures and grey palettes
};

std::string DescribeValues(const host::EffectInfo& effect, const std::vector<double>& values) {
  std::string text = effect.name;
  size_t next = 0;
  for (const host::EffectParam& param : effect.params) {
    text += std::string(" --") + param.name + " ";
    for (size_t i = 0; i < host::ValueCount(param); ++i, ++next) {
      char value[32];
      if (i > 0) text += ",";
      if (param.kind == host::ParamKind::Int && std::strstr(param.name, "color")) {
        std::snprintf(value, sizeof value, "0x%06llX", static_cast<long long>(values[next]));
      } else {
        std::snprintf(value, sizeof value, "%.10g", values[next]);
      }
      text += value;
    }
  }
  for (const host::ExtraInput& extra : effect.extras) text += std::string(" --") + extra.name + " (made by the demo)";
  return text;
}

int DepthOf(HGLOBAL bitmap) {
  const void* data = GlobalLock(bitmap);
  if (!data) return 0;
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  GlobalUnlock(bitmap);
  return header.biBitCount;
}

// The source's picture at a depth the effect takes: a copy, or a conversion (said in `note`).
HGLOBAL PictureFor(const host::EffectInfo& effect, const Source& source, std::string& note) {
  const int depth = DepthOf(source.bitmap);
  if (std::find(effect.depths.begin(), effect.depths.end(), depth) != effect.depths.end()) {
    return host::CopyGlobalBlock(source.bitmap);
  }
  const int convertible = ConvertibleDepth(effect.depths);
  if (convertible == 0) return nullptr;
  note = "on the picture converted to " + std::to_string(convertible) + " bits";
  // Palette effects (icon embossing) read the palette's brightness: a grey one shows them best.
  if (convertible == 8) return MakeGreyPalettePicture(source.bitmap32);
  return host::ConvertBitmapDepth(source.bitmap, convertible);
}

// Runs the effect on a bitmap (which the image takes) and writes `file`.
int RenderBitmap(const host::EffectInfo& effect, const std::vector<double>& values, HGLOBAL bitmap,
                 const Source& source, const fs::path& file, std::string& error) {
  error = "no picture at a depth it takes (" + DescribeDepths(effect.depths) + ")";
  HGLOBAL image = bitmap ? MakeImage(bitmap, source.hasAlpha && DepthOf(bitmap) == 32, {}) : nullptr;
  if (!image) return kFileError;
  ExtraPictures extras;
  int status = kFileError;
  error = "out of memory";
  if (MakeDemoExtras(effect, source.bitmap32, extras)) {
    status = ApplyEffect(effect, values, image, error, extras.handles());
    if (status == kDone) status = SaveImage(image, file.string(), host::PictureFormat::Png, error);
  }
  host::FreeImageHandle(image);
  return status;
}

// Runs one effect on the source and writes its PNG; the tile says what happened.
int RenderTile(const host::EffectInfo& effect, const Source& source, const fs::path& dir, GalleryTile& tile) {
  const std::vector<double> values = host::DefaultValues(effect);
  tile.caption = DescribeValues(effect, values);
  std::string error;
  if (effect.result == host::ResultKind::NoImage) {
    const int status = RunWithoutImage(effect, values, error);
    tile.note = status == kDone ? "takes no picture; it ran" : error;
    return status;
  }
  const std::string file = source.prefix + effect.name + ".png";
  HGLOBAL bitmap = PictureFor(effect, source, tile.note);
  const bool at32 = bitmap && DepthOf(bitmap) == 32;
  int status = RenderBitmap(effect, values, bitmap, source, dir / file, error);
  // Some values need 32 bits even where the depth is one the effect takes (rotations off the
  // quarter turns).
  if (status == kRefused && !at32 && ConvertibleDepth(effect.depths) == 32) {
    tile.note = "on the picture converted to 32 bits";
    status = RenderBitmap(effect, values, host::CopyGlobalBlock(source.bitmap32), source, dir / file, error);
  }
  if (status == kDone) {
    tile.file = file;
  } else {
    tile.note = error;
    std::fprintf(stderr, "ormi-fx: demo: %s\n", error.c_str());
  }
  return status;
}

// The original of a source as the first tile of its section.
bool WriteOriginal(const Source& source, const fs::path& dir, GallerySection& section, std::string& error) {
  const std::string file = source.prefix.empty() ? "sample.png" : source.prefix + "original.png";
  if (!host::WritePicture((dir / file).string(), host::PictureFormat::Png, source.bitmap, source.hasAlpha, error)) {
    error = (dir / file).string() + ": " + error;
    return false;
  }
  section.tiles.push_back({file, source.prefix.empty() ? "sample" : "original", {}});
  return true;
}

}  // namespace

int RunDemo(const std::string& outDir, const std::string& input) {
  const fs::path dir(outDir);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    std::fprintf(stderr, "ormi-fx: %s: %s\n", outDir.c_str(), ec.message().c_str());
    return kFileError;
  }
  std::vector<Source> sources{{"The built-in sample", "", MakeSampleBitmap(), false}};
  if (!input.empty()) {
    host::Picture picture = host::ReadPicture(input);
    if (!picture.bitmap) {
      std::fprintf(stderr, "ormi-fx: %s: %s\n", input.c_str(), picture.error.c_str());
      GlobalFree(sources[0].bitmap);
      return kFileError;
    }
    sources.push_back({fs::path(input).filename().string(), "input-", picture.bitmap, picture.hasAlpha});
  }
  int status = sources[0].bitmap ? kDone : kFileError;
  std::vector<GallerySection> sections;
  size_t pictures = 0;
  std::string error;
  for (Source& source : sources) {
    source.bitmap32 = source.bitmap ? host::ConvertBitmapDepth(source.bitmap, 32) : nullptr;
    if (!source.bitmap32) continue;
    GallerySection& section = sections.emplace_back(GallerySection{source.heading, {}});
    if (!WriteOriginal(source, dir, section, error)) {
      std::fprintf(stderr, "ormi-fx: %s\n", error.c_str());
      status = kFileError;
      continue;
    }
    for (const host::EffectInfo& effect : host::EffectCatalog()) {
      // An effect without a picture is shown (and run) once.
      if (effect.result == host::ResultKind::NoImage && &source != &sources[0]) continue;
      GalleryTile& tile = section.tiles.emplace_back();
      const int result = RenderTile(effect, source, dir, tile);
      // Every effect must work on the sample; a picture of the user's may be one an effect
      // refuses, which its tile then says.
      const bool counts = &source == &sources[0] || result != kRefused;
      if (result != kDone && counts) status = std::max(status, result);
    }
    pictures += section.tiles.size();
  }
  for (const Source& source : sources) {
    if (source.bitmap) GlobalFree(source.bitmap);
    if (source.bitmap32) GlobalFree(source.bitmap32);
  }
  const std::string page = (dir / "index.html").string();
  if (!WriteGallery(page, sections, error)) {
    std::fprintf(stderr, "ormi-fx: %s\n", error.c_str());
    return kFileError;
  }
  std::printf("ormi-fx: wrote %zu tiles and %s\n", pictures, page.c_str());
  return status;
}

}  // namespace ormi::fx
