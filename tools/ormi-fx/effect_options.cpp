#include "effect_options.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "command_line.h"
#include "host/color_text.h"

namespace ormi::fx {
namespace {

using host::EffectInfo;
using host::EffectParam;
using host::ParamKind;

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// A value as it would be typed: colours as colours.
std::string Typed(const EffectParam& param, double value) {
  return host::IsColorParam(param) ? host::FormatColor(static_cast<uint32_t>(host::ColorArg(value))) : Number(value);
}

bool ReadOne(const EffectParam& param, const std::string& text, double& value, std::string& error) {
  if (host::IsColorParam(param)) {
    const auto color = host::ParseColor(text);
    if (!color) {
      error = "'" + text + "' is not a colour";
      return false;
    }
    value = *color;
    // A colour's range is the library's: 24 bits, or 32 where bit 31 selects a rule.
    if (value > param.max) {
      error = "'" + text + "' sets bits above 0xFFFFFF, which this colour does not take";
      return false;
    }
    return true;
  }
  char* end = nullptr;
  errno = 0;
  if (param.kind == ParamKind::Int) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const long long read = text.empty() ? 0 : std::strtoll(text.c_str(), &end, hex ? 16 : 10);
    if (text.empty() || *end != '\0') {
      std::strtod(text.c_str(), &end);
      error = "'" + text + (!text.empty() && *end == '\0' ? "' is not a whole number" : "' is not an integer");
      return false;
    }
    value = errno == ERANGE ? (read < 0 ? -1e300 : 1e300) : static_cast<double>(read);
  } else {
    value = text.empty() ? NAN : std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value)) {
      error = "'" + text + "' is not a number";
      return false;
    }
  }
  if (value < param.min || value > param.max) {
    error = "'" + text + "' is outside " + Typed(param, param.min) + " to " + Typed(param, param.max) +
            (param.kind == ParamKind::Int && param.min == INT_MIN ? " (a 32-bit integer)" : "");
    return false;
  }
  return true;
}

std::string RangeText(const EffectParam& param) {
  if (host::IsColorParam(param) || (param.min == INT_MIN && param.max == INT_MAX)) return "";
  return Typed(param, param.min) + " to " + Typed(param, param.max);
}

std::string DefaultText(const EffectParam& param) {
  if (param.kind != ParamKind::DoubleList) return Typed(param, param.defaultValue);
  std::string text;
  for (const double value : param.listDefaults) text += (text.empty() ? "" : ",") + Number(value);
  return text;
}

CLI::Validator ParamValidator(const EffectParam& param) {
  return CLI::Validator(
      [&param](std::string& text) -> std::string {
        std::vector<double> values;
        std::string error;
        return ReadParam(param, text, values, error) ? std::string() : error;
      },
      "");
}

}  // namespace

const char* const kColourNote =
    "Colours are #RRGGBB, RRGGBB or a CSS name (red, teal, ...); 0x... is the library's own 0x00BBGGRR value.";

bool ReadParam(const EffectParam& param, const std::string& text, std::vector<double>& values, std::string& error) {
  if (param.kind != ParamKind::DoubleList) {
    double value = 0;
    if (!ReadOne(param, text, value, error)) return false;
    values.push_back(value);
    return true;
  }
  std::stringstream stream(text);
  std::string item;
  size_t got = 0;
  while (std::getline(stream, item, ',')) {
    double value = 0;
    if (!ReadOne(param, item, value, error)) return false;
    values.push_back(value);
    ++got;
  }
  if (got != host::ValueCount(param)) {
    error =
        "expected " + std::to_string(host::ValueCount(param)) + " comma-separated numbers, got " + std::to_string(got);
    return false;
  }
  return true;
}

std::string TypeWord(const EffectParam& param) {
  if (param.kind == ParamKind::DoubleList) return "list of " + std::to_string(host::ValueCount(param)) + " numbers";
  if (host::IsColorParam(param)) return "colour";
  return param.kind == ParamKind::Int ? "integer" : "number";
}

std::vector<double> EffectStorage::values() const {
  std::vector<double> all;
  for (size_t i = 0; i < effect->params.size(); ++i) {
    const EffectParam& param = effect->params[i];
    std::string error;
    if (texts[i].empty() || !ReadParam(param, texts[i], all, error)) {
      if (param.kind == ParamKind::DoubleList) {
        all.insert(all.end(), param.listDefaults.begin(), param.listDefaults.end());
      } else {
        all.push_back(param.defaultValue);
      }
    }
  }
  return all;
}

void AddPictureOptions(CLI::App& app, RawOptions& raw) {
  const char* group = "Picture options";
  app.add_option("--out-dir", raw.outDir, "Batch: every FILE is an input, written to DIR under its own name")
      ->group(group)
      ->type_name("DIR");
  app.add_option("--format", raw.format, "Format to write (default: from the output's extension, or the input's)")
      ->group(group)
      ->type_name("FORMAT")
      ->check(WritableFormat());
  app.add_option("--depth", raw.depth, "Convert the picture to 32, 24 or 8 bits before the first effect")
      ->group(group)
      ->type_name("32|24|8")
      ->check(CLI::IsMember({8, 24, 32}).description(""));
  app.add_option("--jobs", raw.jobs, "Batch: files worked on at once (default: one per processor core)")
      ->group(group)
      ->type_name("integer")
      ->check(CLI::Range(1, 256).description(""));
  app.add_option("--transparent-color", raw.transparentColor,
                 "Mark the picture as having this transparent colour (a colour key)")
      ->group(group)
      ->type_name("colour")
      ->check(CLI::Validator(
          [](std::string& text) { return host::ParseColor(text) ? std::string() : "'" + text + "' is not a colour"; },
          ""));
  app.add_flag("--alpha-transparency", raw.alphaTransparency,
               "Mark the picture as carrying its transparency in the alpha bytes")
      ->group(group);
  AddFileOptions(app, raw.file, group);
}

void AddEffect(CLI::App& app, EffectStorage& entry, RawOptions& raw) {
  const EffectInfo& effect = *entry.effect;
  entry.command = app.add_subcommand(effect.name, effect.description);
  std::string footer;
  if (effect.result != host::ResultKind::NoImage) {
    footer = "Accepts " + DescribeDepths(effect.depths) + ".";
    if (const int depth = ConvertibleDepth(effect.depths); depth != 0) {
      footer += " Other pictures: --depth " + std::to_string(depth) + " converts them first.";
    }
  }
  bool colours = false;
  entry.texts.resize(effect.params.size());
  for (size_t i = 0; i < effect.params.size(); ++i) {
    const EffectParam& param = effect.params[i];
    colours = colours || host::IsColorParam(param);
    const std::string range = RangeText(param);
    entry.command
        ->add_option(std::string("--") + param.name, entry.texts[i],
                     std::string(param.help) + (range.empty() ? "" : " (" + range + ")"))
        ->type_name(TypeWord(param))
        ->default_str(DefaultText(param))
        ->check(ParamValidator(param));
  }
  bool masks = false;
  entry.extraFiles.resize(effect.extras.size());
  for (size_t i = 0; i < effect.extras.size(); ++i) {
    const host::ExtraInput& extra = effect.extras[i];
    masks = masks || extra.kind == host::ExtraKind::TextMask;
    entry.command->add_option(std::string("--") + extra.name, entry.extraFiles[i], extra.help)
        ->required()
        ->type_name("FILE");
  }
  if (masks) {
    entry.command
        ->add_option("--mask-threshold", entry.maskThreshold,
                     "A mask that is not 1-bit: pixels darker than this are text (0 to 256)")
        ->type_name("integer")
        ->default_str("128")
        ->check(CLI::Range(0, 256).description(""));
    entry.command->add_flag("--mask-invert", entry.maskInvert, "Light pixels of the mask are the text");
  }
  if (colours) footer += std::string(footer.empty() ? "" : "\n") + kColourNote;
  if (!footer.empty()) entry.command->footer(footer + "\n");
  AddPictureOptions(*entry.command, raw);
  entry.command->add_option("FILES", entry.files, "INPUT OUTPUT, or with --out-dir: INPUT...")->type_name("FILE");
}

}  // namespace ormi::fx
