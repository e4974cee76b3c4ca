#include "host/effect_check.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "host/color_text.h"

namespace ormi::host {
namespace {

bool Named(const EffectInfo& effect, std::initializer_list<std::string_view> exports) {
  return std::find(exports.begin(), exports.end(), effect.exportName) != exports.end();
}

bool Takes(const EffectInfo& effect, int depth) {
  return std::find(effect.depths.begin(), effect.depths.end(), depth) != effect.depths.end();
}

std::string Size(const PictureFacts& facts) { return std::to_string(facts.width) + "x" + std::to_string(facts.height); }

Problem Make(ProblemKind kind, std::string message) { return {kind, std::move(message)}; }

// "--delta 300", "--from-color #0040FF", for a parameter's value.
std::string Typed(const EffectParam& param, double value) {
  char text[32];
  if (param.kind == ParamKind::Int && IsColorParam(param)) return FormatColor(static_cast<uint32_t>(ColorArg(value)));
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

Problem CheckValues(const EffectInfo& effect, std::span<const double> values) {
  size_t next = 0;
  for (const EffectParam& param : effect.params) {
    for (size_t i = 0; i < ValueCount(param) && next < values.size(); ++i, ++next) {
      const double value = values[next];
      if (value >= param.min && value <= param.max) continue;  // NaN is in no range
      return Make(ProblemKind::Usage, std::string(effect.name) + " --" + param.name + " " + Typed(param, value) +
                                          ": the effect takes " + Typed(param, param.min) + " to " +
                                          Typed(param, param.max));
    }
  }
  return {};
}

// The rotations turn pictures of every depth by quarter turns only; other angles (and the other
// multiples of 90, which take the general path) need 32 bits.
bool NeedsFullTurn(const EffectInfo& effect, std::span<const double> values) {
  if (!Named(effect, {"ImgRotate", "ImgBlockRotate"}) || values.empty()) return false;
  const double degrees = values[0];
  return degrees != 0 && degrees != 90 && degrees != 180 && degrees != 270;
}

// Exports that walk a top-down bitmap's rows correctly; the others refuse it, leave it unchanged
// or turn it upside down.
bool TakesTopDown(const EffectInfo& effect) {
  return Named(effect, {"ImgInvert", "ImgBrightness", "ImgContrast", "ImgGamma", "ImgMirror", "ImgNormalise",
                        "TavoGradient", "TavoGradientForText", "TavoTileForText"});
}

Problem CheckExtra(const EffectInfo& effect, const ExtraInput& extra, const PictureFacts& facts,
                   const PictureFacts& picture) {
  const std::string name = std::string(effect.name) + ": --" + extra.name;
  const int wanted = extra.kind == ExtraKind::TextMask ? 1 : 32;
  if (facts.depth != wanted) {
    return Make(ProblemKind::Usage, name + " is " + std::to_string(facts.depth) + "-bit; it takes " +
                                        std::to_string(wanted) + "-bit pictures");
  }
  if (extra.kind == ExtraKind::Tile) {
    if (facts.width > 0 && facts.height > 0) return {};
    return Make(ProblemKind::Usage, name + " is an empty picture");
  }
  if (facts.width != picture.width || facts.height != picture.height) {
    return Make(ProblemKind::Usage, name + " is " + Size(facts) + ", the picture " + Size(picture));
  }
  if (facts.topDown) return Make(ProblemKind::Usage, name + " stores its rows top-down; save it bottom-up");
  return {};
}

Problem CheckGammaTable(const EffectInfo& effect) {
  const std::string folder = GammaTableFolder();
  const std::string path = folder + "/gammalut.tbl";
  if (::access(path.c_str(), F_OK) != 0) {
    return Make(ProblemKind::File,
                std::string(effect.name) + ": no gammalut.tbl in " + folder + " (set WINDIR to another folder)");
  }
  // The library opens it for reading and updating.
  if (::access(path.c_str(), R_OK | W_OK) != 0) {
    return Make(ProblemKind::File, std::string(effect.name) + ": " + path +
                                       " cannot be opened for reading and writing (" + std::strerror(errno) + ")");
  }
  return {};
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

int ConvertibleDepth(const std::vector<int>& depths) {
  for (const int depth : {32, 24, 8}) {
    if (std::find(depths.begin(), depths.end(), depth) != depths.end()) return depth;
  }
  return 0;
}

PictureFacts FactsOfBitmap(HGLOBAL bitmap) {
  PictureFacts facts;
  const void* data = bitmap ? GlobalLock(bitmap) : nullptr;
  if (!data || GlobalSize(bitmap) < sizeof(BITMAPINFOHEADER)) {
    if (data) GlobalUnlock(bitmap);
    return facts;
  }
  BITMAPINFOHEADER header;
  std::memcpy(&header, data, sizeof header);
  GlobalUnlock(bitmap);
  facts.width = header.biWidth;
  facts.topDown = header.biHeight < 0;
  facts.height = static_cast<int>(std::abs(static_cast<long long>(header.biHeight)));
  facts.depth = header.biBitCount;
  return facts;
}

PictureFacts FactsOfImage(HGLOBAL image) {
  const auto* record = static_cast<const ImageRecord*>(image ? GlobalLock(image) : nullptr);
  if (!record) return {};
  HGLOBAL bitmap = OrmiHandleFromField(record->bitmap);
  const bool alpha =
      record->transparency != ORMI_NO_TRANSPARENCY && (record->transparentColor & ORMI_ALPHA_TRANSPARENCY) != 0;
  GlobalUnlock(image);
  PictureFacts facts = FactsOfBitmap(bitmap);
  facts.carriesAlpha = alpha;
  return facts;
}

bool UsesModuleState(const EffectInfo& effect) {
  return Named(effect, {"ImgLoadGammaTable", "ImgGammaCorrection", "ImgColorCorrection"});
}

std::string GammaTableFolder() {
  char folder[260] = {};
  const UINT length = GetWindowsDirectoryA(folder, sizeof folder);
  return length == 0 || length >= sizeof folder ? std::string("(no Windows directory)") : std::string(folder, length);
}

Problem CheckEffect(const EffectInfo& effect, std::span<const double> values, const PictureFacts& picture,
                    std::span<const PictureFacts> extras) {
  if (Problem problem = CheckValues(effect, values)) return problem;
  if (Named(effect, {"ImgLoadGammaTable", "ImgGammaCorrection"})) {
    if (Problem problem = CheckGammaTable(effect)) return problem;
  }
  if (effect.result == ResultKind::NoImage) return {};
  const std::string depth = std::to_string(picture.depth) + "-bit";
  const int hint = ConvertibleDepth(effect.depths);
  const std::string fix = hint ? "; add --depth " + std::to_string(hint) : "";
  if (!Takes(effect, picture.depth)) {
    return Make(ProblemKind::Picture, std::string(effect.name) + " takes " + DescribeDepths(effect.depths) + ", not " +
                                          depth + " ones" + fix);
  }
  if (NeedsFullTurn(effect, values) && picture.depth != 32) {
    return Make(ProblemKind::Picture, std::string(effect.name) + " --degrees " + Typed(effect.params[0], values[0]) +
                                          ": " + depth + " pictures turn only by 0, 90, 180 or 270; add --depth 32");
  }
  if (picture.topDown && !TakesTopDown(effect)) {
    return Make(ProblemKind::Picture, std::string(effect.name) +
                                          ": the picture stores its rows top-down; add --depth " +
                                          std::to_string(hint ? hint : 32) + " to store them bottom-up");
  }
  if (Named(effect, {"ImgInsertAlpha"}) && picture.carriesAlpha) {
    return Make(ProblemKind::Picture, std::string(effect.name) +
                                          ": the picture already carries its transparency in its alpha bytes; "
                                          "give it a --transparent-color instead");
  }
  for (size_t i = 0; i < effect.extras.size() && i < extras.size(); ++i) {
    if (Problem problem = CheckExtra(effect, effect.extras[i], extras[i], picture)) return problem;
  }
  return {};
}

}  // namespace ormi::host
