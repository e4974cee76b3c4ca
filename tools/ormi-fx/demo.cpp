#include "demo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "apply.h"
#include "chain.h"
#include "command_line.h"
#include "exit_status.h"
#include "extras.h"
#include "gallery.h"
#include "host/bitmap_convert.h"
#include "host/color_text.h"
#include "host/image_handle.h"
#include "picture_io.h"
#include "sample.h"

namespace ormi::fx {
namespace {

namespace fs = std::filesystem;

// The families in the order of the page, with a line each.
struct Family {
  const char* folder;
  const char* heading;
  const char* description;
};
constexpr Family kFamilies[] = {
    {"geometry", "Geometry", "Turns by any angle and mirrors; quarter turns at every depth, other angles at 32 bits."},
    {"tone", "Tone and colour",
     "Brightness, contrast, curves, histograms and shifts of RGB or hue, saturation and "
     "intensity."},
    {"correction", "Gamma and colour correction",
     "Device profiles through the gamma table file, and conversions to "
     "an RGB space given by its primaries."},
    {"filters", "Filters",
     "Each pixel from its neighbours: smoothing, sharpening, relief, edges and noise removal "
     "(32-bit pictures; transparent pixels stay)."},
    {"alpha", "Alpha", "Transparency from a colour, from another picture or as a diffused halo."},
    {"decor", "Decorative fills", "Gradients, fills through a text mask, and embossed palette icons."},
};

// The files one picture's effects read, all beside index.html.
struct Source {
  std::string heading, prefix;      // section title; prefix of the result files
  std::string original;             // the picture shown as the original
  std::vector<std::string> inputs;  // the pictures tried, in order, until one is taken
  std::map<host::ExtraKind, std::string> extras;
  bool mustWork = true;  // the built-in sample: every effect must take it
};

// A value as the user types it; a colour that begins with # is quoted for the shell.
std::string Typed(const host::EffectParam& param, double value) {
  if (host::IsColorParam(param)) {
    const std::string text = host::FormatColor(static_cast<uint32_t>(host::ColorArg(value)));
    return text[0] == '#' ? "'" + text + "'" : text;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string Command(const Step& step, int depth, const std::string& input, const std::string& output) {
  std::string text = std::string("ormi-fx ") + step.effect->name;
  size_t next = 0;
  for (const host::EffectParam& param : step.effect->params) {
    text += std::string(" --") + param.name + " ";
    for (size_t i = 0; i < host::ValueCount(param); ++i, ++next)
      text += (i ? "," : "") + Typed(param, step.values[next]);
  }
  for (size_t i = 0; i < step.extraFiles.size(); ++i) {
    text += std::string(" --") + step.effect->extras[i].name + " " + step.extraFiles[i];
  }
  if (depth != 0) text += " --depth " + std::to_string(depth);
  return input.empty() ? text : text + " " + input + " " + output;
}

// Runs the effect as its caption says: the same chain code as the command line, on the files.
int RenderTile(const host::EffectInfo& effect, const Source& source, const fs::path& dir, GalleryTile& tile) {
  Step step{&effect, host::DefaultValues(effect)};
  for (const host::ExtraInput& extra : effect.extras) step.extraFiles.push_back(source.extras.at(extra.kind));
  tile.description = effect.description;
  std::string error;
  if (effect.result == host::ResultKind::NoImage) {
    tile.caption = Command(step, 0, "", "");
    const int status = RunWithoutImage(effect, step.values, error);
    tile.note = status == kDone ? "takes no picture; it ran" : error;
    return status;
  }
  const std::string output = source.prefix + effect.name + ".png";
  // Extra pictures are read relative to the folder, as the caption names them.
  Step inFolder = step;
  for (std::string& file : inFolder.extraFiles) file = (dir / file).string();
  int status = kRefused;
  for (const std::string& input : source.inputs) {
    for (const int depth : {0, ConvertibleDepth(effect.depths)}) {
      PictureOptions options;
      options.depth = depth;
      tile.caption = Command(step, depth, input, output);
      status = ProcessFile({inFolder}, options, (dir / input).string(), (dir / output).string(), error);
      if (status != kRefused) break;
    }
    if (status != kRefused) break;
  }
  if (status == kDone) {
    tile.file = output;
    return kDone;
  }
  // The reason without the folder's path.
  const std::string prefix = (dir / "").string();
  for (size_t at; (at = error.find(prefix)) != std::string::npos;) error.erase(at, prefix.size());
  tile.note = error;
  if (source.mustWork) std::fprintf(stderr, "ormi-fx: demo: %s\n", error.c_str());
  return status;
}

bool Write(const fs::path& dir, const std::string& file, HGLOBAL bitmap, bool alpha, std::string& error) {
  const bool written =
      bitmap && host::WritePicture((dir / file).string(), *host::FormatFromPath(file), bitmap, alpha, error);
  if (!written) error = (dir / file).string() + ": " + (bitmap ? error : "out of memory");
  if (bitmap) GlobalFree(bitmap);
  return written;
}

// Writes the sample, its opaque twin and the extra pictures made from it.
bool WriteSampleFiles(const fs::path& dir, Source& source, std::string& error) {
  HGLOBAL sample = MakeSampleBitmap();
  if (!sample) return false;
  HGLOBAL opaque = host::CopyGlobalBlock(sample);
  auto* data = static_cast<uint8_t*>(opaque ? GlobalLock(opaque) : nullptr);
  if (data) {
    for (size_t i = 40 + 3; i < GlobalSize(opaque); i += 4) data[i] = 255;
    GlobalUnlock(opaque);
  }
  source.original = "sample.png";
  source.inputs = {"sample.png", "sample-opaque.png"};
  source.extras = {{host::ExtraKind::AlphaImage, "alpha-source.png"},
                   {host::ExtraKind::TextMask, "text-mask.png"},
                   {host::ExtraKind::Tile, "tile.png"}};
  const bool extras = Write(dir, "alpha-source.png", MakeDemoExtra(host::ExtraKind::AlphaImage, sample), true, error) &&
                      Write(dir, "text-mask.png", MakeDemoExtra(host::ExtraKind::TextMask, sample), false, error) &&
                      Write(dir, "tile.png", MakeDemoExtra(host::ExtraKind::Tile, sample), false, error);
  return Write(dir, "sample-opaque.png", opaque, false, error) && extras &&
         Write(dir, "sample.png", sample, true, error);
}

// Copies the user's file beside the page as it is (so that the captions read the same bytes),
// with a PNG to show and extra pictures of its size.
bool WriteInputFiles(const fs::path& dir, const std::string& input, Source& source, std::string& error) {
  host::Picture picture = host::ReadPicture(input);
  if (!picture.bitmap) {
    error = input + ": " + picture.error;
    return false;
  }
  const char* ext = picture.format == host::PictureFormat::Png    ? ".png"
                    : picture.format == host::PictureFormat::Jpeg ? ".jpg"
                                                                  : ".bmp";
  const std::string copy = std::string("input") + ext;
  std::error_code ec;
  fs::copy_file(input, dir / copy, fs::copy_options::overwrite_existing, ec);
  HGLOBAL wide = host::ConvertBitmapDepth(picture.bitmap, 32);
  GlobalFree(picture.bitmap);
  if (ec || !wide) {
    error = ec ? (dir / copy).string() + ": " + ec.message() : input + ": cannot convert the picture to 32 bits";
    if (wide) GlobalFree(wide);
    return false;
  }
  source.original = "input-original.png";
  source.inputs = {copy};
  source.extras = {{host::ExtraKind::AlphaImage, "input-alpha-source.png"},
                   {host::ExtraKind::TextMask, "input-text-mask.png"},
                   {host::ExtraKind::Tile, "tile.png"}};
  const bool written =
      Write(dir, "input-alpha-source.png", MakeDemoExtra(host::ExtraKind::AlphaImage, wide), true, error) &&
      Write(dir, "input-text-mask.png", MakeDemoExtra(host::ExtraKind::TextMask, wide), false, error) &&
      Write(dir, "input-original.png", host::CopyGlobalBlock(wide), picture.hasAlpha, error);
  GlobalFree(wide);
  return written;
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
  std::vector<Source> sources(1);
  sources[0].heading = "The built-in sample";
  std::string error;
  if (!WriteSampleFiles(dir, sources[0], error)) {
    std::fprintf(stderr, "ormi-fx: %s\n", error.c_str());
    return kFileError;
  }
  if (!input.empty()) {
    Source& mine = sources.emplace_back();
    mine.heading = fs::path(input).filename().string();
    mine.prefix = "input-";
    mine.mustWork = false;  // an effect may refuse the user's picture: its tile says why
    if (!WriteInputFiles(dir, input, mine, error)) {
      std::fprintf(stderr, "ormi-fx: %s\n", error.c_str());
      return kFileError;
    }
  }
  int status = kDone;
  size_t pictures = 0;
  std::vector<GallerySection> sections;
  for (const Source& source : sources) {
    GallerySection& section = sections.emplace_back(GallerySection{source.heading, source.original, {}});
    for (const Family& family : kFamilies) {
      GalleryGroup& group = section.groups.emplace_back(GalleryGroup{family.heading, family.description, {}});
      for (const host::EffectInfo& effect : host::EffectCatalog()) {
        if (std::strcmp(effect.family, family.folder) != 0) continue;
        // An effect without a picture is shown (and run) once.
        if (effect.result == host::ResultKind::NoImage && &source != &sources[0]) continue;
        const int result = RenderTile(effect, source, dir, group.tiles.emplace_back());
        if (result != kDone && (source.mustWork || result != kRefused)) status = std::max(status, result);
        pictures += group.tiles.back().file.empty() ? 0 : 1;
      }
    }
  }
  const std::string page = (dir / "index.html").string();
  if (!WriteGallery(page, sections, error)) {
    std::fprintf(stderr, "ormi-fx: %s\n", error.c_str());
    return kFileError;
  }
  std::printf("ormi-fx: wrote %zu pictures and %s\n", pictures, page.c_str());
  return status;
}

}  // namespace ormi::fx
