#include "command_line.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>

#include <CLI/CLI.hpp>

#include "effect_options.h"
#include "exit_status.h"
#include "host/color_text.h"

namespace ormi::fx {
namespace {

// Everything one segment of the command line is parsed with.
struct Parser {
  std::unique_ptr<CLI::App> app;
  std::vector<EffectStorage> effects;
  CLI::App *list = nullptr, *info = nullptr, *demo = nullptr;
  std::string infoFile, demoDir, demoInput;
  bool version = false;
};

constexpr const char* kSynopsis =
    "  ormi-fx EFFECT [--option VALUE]... [then EFFECT [--option VALUE]...]... INPUT OUTPUT\n"
    "  ormi-fx EFFECT [--option VALUE]... --out-dir DIR [--jobs N] INPUT...\n"
    "  ormi-fx info FILE | demo OUT_DIR [--input FILE] | list | --version";

std::unique_ptr<Parser> MakeParser(RawOptions& raw) {
  auto parser = std::make_unique<Parser>();
  parser->app = std::make_unique<CLI::App>(
      std::string("ormi-fx: apply ormiEffects to BMP, PNG and JPEG pictures.\n") + kSynopsis, "ormi-fx");
  CLI::App& app = *parser->app;
  app.require_subcommand(0, 1);
  app.set_help_all_flag("--help-all", "Show the help of every effect");
  app.add_flag("--version", parser->version, "Show the version of ormi-fx and of the library, and its vector level");
  app.footer(std::string(kColourNote) +
             "\nExit status: 0 done, 1 an effect cannot take the picture (the message says what converts it), "
             "2 usage error (options, extra pictures), 3 file error.\n");
  AddPictureOptions(app, raw);

  parser->list = app.add_subcommand("list", "List every effect with a one-line description");
  parser->info = app.add_subcommand("info", "Show a picture's bitmap header and which effects accept it");
  parser->info->add_option("FILE", parser->infoFile, "Picture to describe")->required();
  parser->demo = app.add_subcommand("demo", "Render the built-in sample through every effect into OUT_DIR");
  parser->demo->add_option("OUT_DIR", parser->demoDir, "Folder for the PNG pictures and index.html")->required();
  parser->demo->add_option("--input", parser->demoInput, "Render this picture through every effect too");

  const auto& catalog = host::EffectCatalog();
  parser->effects.resize(catalog.size());
  for (size_t i = 0; i < catalog.size(); ++i) {
    parser->effects[i].effect = &catalog[i];
    AddEffect(app, parser->effects[i], raw);
  }
  return parser;
}

// The words after the reason of a usage error: where the options of what was typed are shown.
std::string SeeHelp(const std::vector<std::string>& words) {
  if (!words.empty() && host::FindEffect(words[0])) return " (see ormi-fx " + words[0] + " --help)";
  return " (see ormi-fx --help)";
}

CommandLine UsageError(const std::string& message) {
  std::fprintf(stderr, "ormi-fx: %s\n", message.c_str());
  return {.action = Action::Exit, .exitStatus = kUsageError};
}

bool IsCommand(const CLI::App& app, const std::string& name) {
  for (const CLI::App* command : app.get_subcommands({})) {
    if (command->check_name(name)) return true;
  }
  return false;
}

// The command line split at each "then"; false when a "then" has nothing on one side.
bool SplitAtThen(int argc, const char* const* argv, std::vector<std::vector<std::string>>& segments) {
  segments.assign(1, {});
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "then") {
      if (segments.back().empty()) return false;
      segments.emplace_back();
    } else {
      segments.back().emplace_back(argv[i]);
    }
  }
  return !segments.back().empty() || segments.size() == 1;
}

// The options as typed, turned into what the rest of ormi-fx uses.
PictureOptions Interpret(const RawOptions& raw) {
  PictureOptions options;
  options.outDir = raw.outDir;
  if (!raw.format.empty()) options.format = host::FormatFromName(raw.format);
  options.depth = raw.depth;
  if (!raw.transparentColor.empty()) options.transparentColor = host::ParseColor(raw.transparentColor);
  options.alphaTransparency = raw.alphaTransparency;
  options.file = raw.file;
  options.jobs = raw.jobs > 0 ? raw.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return options;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  if (argc <= 1) {
    std::fprintf(stderr,
                 "ormi-fx: apply ormiEffects to pictures.\n%s\n'ormi-fx list' shows the effects, "
                 "'ormi-fx EFFECT --help' the options of one.\n",
                 kSynopsis);
    return {.action = Action::Exit, .exitStatus = kUsageError};
  }
  std::vector<std::vector<std::string>> segments;
  if (!SplitAtThen(argc, argv, segments)) return UsageError("'then' needs an effect on both sides");
  RawOptions raw;
  CommandLine line;
  for (size_t s = 0; s < segments.size(); ++s) {
    const std::unique_ptr<Parser> parser = MakeParser(raw);
    const std::vector<std::string>& words = segments[s];
    if (!words.empty() && words[0][0] != '-' && !IsCommand(*parser->app, words[0])) {
      return UsageError("unknown effect '" + words[0] + "' (ormi-fx list shows them all)");
    }
    std::vector<const char*> args{argv[0]};
    for (const std::string& word : words) args.push_back(word.c_str());
    parser->app->failure_message([&words](const CLI::App*, const CLI::Error& e) {
      return std::string("ormi-fx: ") + e.what() + SeeHelp(words) + "\n";
    });
    try {
      parser->app->parse(static_cast<int>(args.size()), args.data());
    } catch (const CLI::ParseError& e) {
      return {.action = Action::Exit, .exitStatus = parser->app->exit(e) == 0 ? kDone : kUsageError};
    }
    if (parser->version) return {.action = Action::Version};
    const bool chained = segments.size() > 1;
    if (parser->app->get_subcommands().empty()) {
      return UsageError("an effect or a command is needed; 'ormi-fx list' shows the effects");
    }
    if (parser->list->parsed() || parser->info->parsed() || parser->demo->parsed()) {
      if (chained) return UsageError("list, info and demo cannot be chained with 'then'");
      line.action = parser->list->parsed() ? Action::List : parser->info->parsed() ? Action::Info : Action::Demo;
      line.infoFile = parser->infoFile;
      line.demoDir = parser->demoDir;
      line.demoInput = parser->demoInput;
      return line;
    }
    for (const EffectStorage& entry : parser->effects) {
      if (!entry.command->parsed()) continue;
      line.steps.push_back({entry.effect, entry.values(), entry.extraFiles, entry.maskThreshold, entry.maskInvert});
      if (s + 1 < segments.size() && !entry.files.empty()) {
        return UsageError("'" + entry.files.front() + "' before 'then': the files come after the last effect");
      }
      line.files = entry.files;
    }
  }
  line.action = Action::Effects;
  line.options = Interpret(raw);
  if (line.options.transparentColor && line.options.alphaTransparency) {
    return UsageError("--transparent-color and --alpha-transparency exclude each other");
  }
  const bool takesPicture = std::any_of(line.steps.begin(), line.steps.end(), [](const Step& step) {
    return step.effect->result != host::ResultKind::NoImage;
  });
  if (!takesPicture) {
    if (!line.files.empty()) return UsageError(std::string(line.steps[0].effect->name) + " takes no picture");
  } else if (!line.options.outDir.empty()) {
    if (line.files.empty()) return UsageError("--out-dir needs at least one INPUT");
  } else if (line.files.size() != 2) {
    return UsageError("expected INPUT OUTPUT after the effects (or --out-dir DIR INPUT...), got " +
                      std::to_string(line.files.size()) + " file" + (line.files.size() == 1 ? "" : "s"));
  }
  return line;
}

}  // namespace ormi::fx
