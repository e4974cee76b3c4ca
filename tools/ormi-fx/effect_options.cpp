#include "effect_options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "command_line.h"

namespace ormi::fx {
namespace {

using host::EffectInfo;
using host::ParamKind;

// A list option as one word of comma-separated numbers; a validator has checked it.
std::vector<double> SplitList(const std::string& text) {
  std::vector<double> values;
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ',')) values.push_back(std::stod(item));
  return values;
}

// CLI11's range lets NaN through (it compares false both ways).
const CLI::Validator kFinite(
    [](std::string& text) -> std::string {
      char* end = nullptr;
      const double value = std::strtod(text.c_str(), &end);
      return std::isfinite(value) ? std::string() : "'" + text + "' is not a finite number";
    },
    "");

// Exactly `count` numbers between min and max, separated by commas. One word, so that the list
// cannot swallow the file names after it.
CLI::Validator ListOf(size_t count, double min, double max) {
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        std::stringstream stream(text);
        std::string item;
        size_t got = 0;
        while (std::getline(stream, item, ',')) {
          char* end = nullptr;
          const double value = std::strtod(item.c_str(), &end);
          if (item.empty() || *end != '\0') return "'" + item + "' is not a number";
          if (!(value >= min && value <= max))  // NaN is in no range
            return "'" + item + "' is not in " + CLI::detail::to_string(min) + " to " + CLI::detail::to_string(max);
          ++got;
        }
        if (got != count)
          return "expected " + std::to_string(count) + " comma-separated numbers, got " + std::to_string(got);
        return {};
      },
      "X,...");
}

const CLI::Validator kHexColor(
    [](std::string& text) -> std::string {
      if (!text.empty() && text[0] == '#') text.erase(0, 1);
      const bool hex = text.size() == 6 &&
                       std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
      return hex ? std::string() : "expected RRGGBB in hexadecimal, got '" + text + "'";
    },
    "RRGGBB");

}  // namespace

std::vector<double> EffectStorage::values() const {
  std::vector<double> all;
  for (size_t i = 0; i < params.size(); ++i) {
    if (effect->params[i].kind == ParamKind::Int) {
      all.push_back(static_cast<double>(ints[i]));
      continue;
    }
    const std::vector<double> given = lists[i].empty() ? params[i] : SplitList(lists[i]);
    all.insert(all.end(), given.begin(), given.end());
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
      ->check(WritableFormat());
  app.add_option("--depth", raw.depth, "Convert the picture to 32, 24 or 8 bits before the first effect")
      ->group(group)
      ->check(CLI::IsMember({8, 24, 32}));
  app.add_option("--transparent-color", raw.transparentColor,
                 "Mark the picture as having this transparent colour (a colour key)")
      ->group(group)
      ->transform(kHexColor);
  app.add_flag("--alpha-transparency", raw.alphaTransparency,
               "Mark the picture as carrying its transparency in the alpha bytes")
      ->group(group);
  AddFileOptions(app, raw.file, group);
}

void AddEffect(CLI::App& app, EffectStorage& entry, RawOptions& raw) {
  const EffectInfo& effect = *entry.effect;
  entry.command = app.add_subcommand(effect.name, effect.description);
  if (effect.result != host::ResultKind::NoImage) {
    std::string footer = "Accepts " + DescribeDepths(effect.depths) + ".";
    if (const int depth = ConvertibleDepth(effect.depths); depth != 0) {
      footer += " Other pictures: --depth " + std::to_string(depth) + " converts them first.";
    }
    entry.command->footer(footer + "\n");
  }
  const std::vector<double> defaults = host::DefaultValues(effect);
  entry.params.resize(effect.params.size());
  entry.lists.resize(effect.params.size());
  entry.ints.resize(effect.params.size());
  size_t offset = 0;
  for (size_t i = 0; i < effect.params.size(); ++i) {
    const host::EffectParam& param = effect.params[i];
    const size_t count = host::ValueCount(param);
    entry.params[i].assign(defaults.begin() + static_cast<long>(offset),
                           defaults.begin() + static_cast<long>(offset + count));
    offset += count;
    const std::string name = std::string("--") + param.name;
    CLI::Option* option = nullptr;
    if (param.kind == ParamKind::DoubleList) {
      std::string defaultText;
      for (size_t k = 0; k < count; ++k) defaultText += (k ? "," : "") + CLI::detail::to_string(entry.params[i][k]);
      option = entry.command->add_option(name, entry.lists[i], param.help);
      option->check(ListOf(count, param.min, param.max))->default_str(defaultText);
      continue;
    }
    if (param.kind == ParamKind::Int) {
      entry.ints[i] = static_cast<long long>(entry.params[i][0]);
      option = entry.command->add_option(name, entry.ints[i], param.help);
      option->check(CLI::TypeValidator<long long>("INT"));
      option->check(CLI::Range(static_cast<long long>(param.min), static_cast<long long>(param.max)));
    } else {
      option = entry.command->add_option(name, entry.params[i][0], param.help);
      option->check(kFinite)->check(CLI::Range(param.min, param.max));
    }
    option->capture_default_str();
  }
  entry.extraFiles.resize(effect.extras.size());
  for (size_t i = 0; i < effect.extras.size(); ++i) {
    const host::ExtraInput& extra = effect.extras[i];
    entry.command->add_option(std::string("--") + extra.name, entry.extraFiles[i], extra.help)
        ->required()
        ->type_name("FILE");
  }
  AddPictureOptions(*entry.command, raw);
  entry.command->add_option("FILES", entry.files, "INPUT OUTPUT, or with --out-dir: INPUT...")->type_name("FILE");
}

}  // namespace ormi::fx
