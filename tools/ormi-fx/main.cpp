// ormi-fx: applies ormiEffects to picture files from the command line.
//   ormi-fx EFFECT [--option VALUE]... INPUT OUTPUT
//   ormi-fx EFFECT [--option VALUE]...          (an effect that takes no picture)
//   ormi-fx demo OUT_DIR
//   ormi-fx list
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "apply.h"
#include "demo.h"
#include "exit_status.h"
#include "host/catalog.h"

namespace {

using ormi::host::EffectInfo;
using ormi::host::ParamKind;

struct EffectCommand {
  const EffectInfo* effect = nullptr;
  CLI::App* command = nullptr;
  std::vector<std::vector<double>> params;  // the value (or a list's values) of each parameter
  std::vector<std::string> extraFiles;
  std::string input, output;

  // The values in the layout that the catalog's invoke expects.
  std::vector<double> values() const {
    std::vector<double> all;
    for (const std::vector<double>& param : params) all.insert(all.end(), param.begin(), param.end());
    return all;
  }
};

void AddEffectCommand(CLI::App& app, EffectCommand& entry) {
  const EffectInfo& effect = *entry.effect;
  entry.command = app.add_subcommand(effect.name, effect.description);
  if (effect.result != ormi::host::ResultKind::NoImage) {
    entry.command->footer("Accepts " + ormi::fx::DescribeDepths(effect.depths) + ".");
  }
  const std::vector<double> defaults = ormi::host::DefaultValues(effect);
  entry.params.resize(effect.params.size());
  size_t offset = 0;
  for (size_t i = 0; i < effect.params.size(); ++i) {
    const auto& param = effect.params[i];
    const size_t count = ormi::host::ValueCount(param);
    entry.params[i].assign(defaults.begin() + static_cast<long>(offset),
                           defaults.begin() + static_cast<long>(offset + count));
    offset += count;
    const std::string name = std::string("--") + param.name;
    CLI::Option* option = nullptr;
    if (param.kind == ParamKind::DoubleList) {
      option = entry.command->add_option(name, entry.params[i], param.help);
      option->delimiter(',')->expected(static_cast<int>(count))->type_name("X,...");
    } else {
      option = entry.command->add_option(name, entry.params[i][0], param.help);
    }
    option->capture_default_str()->check(CLI::Range(param.min, param.max));
    if (param.kind == ParamKind::Int) option->check(CLI::TypeValidator<long long>("INT"));
  }
  if (effect.result == ormi::host::ResultKind::NoImage) return;
  entry.extraFiles.resize(effect.extras.size());
  for (size_t i = 0; i < effect.extras.size(); ++i) {
    const auto& extra = effect.extras[i];
    entry.command->add_option(std::string("--") + extra.name, entry.extraFiles[i], extra.help)->required();
  }
  entry.command->add_option("INPUT", entry.input, "Picture to read (BMP)")->required();
  entry.command->add_option("OUTPUT", entry.output, "Picture to write (BMP)")->required();
}

int ListEffects() {
  for (const EffectInfo& effect : ormi::host::EffectCatalog()) {
    std::printf("%-22s %s\n", effect.name, effect.description);
  }
  return ormi::fx::kDone;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "ormi-fx: apply ormiEffects image effects to BMP pictures.\n"
      "  ormi-fx EFFECT [--option VALUE]... INPUT OUTPUT"};
  app.require_subcommand(1);
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string("ormi-fx: ") + e.what() + " (see ormi-fx --help)\n";
  });
  app.set_help_all_flag("--help-all", "Show the help of every effect");

  CLI::App* list = app.add_subcommand("list", "List every effect with a one-line description");
  std::string demoDir;
  CLI::App* demo = app.add_subcommand("demo", "Render the built-in sample through every effect into OUT_DIR");
  demo->add_option("OUT_DIR", demoDir, "Folder for the pictures and index.html")->required();

  const auto& catalog = ormi::host::EffectCatalog();
  std::vector<EffectCommand> commands(catalog.size());
  for (size_t i = 0; i < catalog.size(); ++i) {
    commands[i].effect = &catalog[i];
    AddEffectCommand(app, commands[i]);
  }

  const auto isCommand = [&](const char* name) {
    for (const CLI::App* command : app.get_subcommands({})) {
      if (command->check_name(name)) return true;
    }
    return false;
  };
  if (argc > 1 && argv[1][0] != '-' && !isCommand(argv[1])) {
    std::fprintf(stderr, "ormi-fx: unknown effect '%s' (ormi-fx list shows them all)\n", argv[1]);
    return ormi::fx::kUsageError;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? ormi::fx::kDone : ormi::fx::kUsageError;
  }

  if (list->parsed()) return ListEffects();
  if (demo->parsed()) return ormi::fx::RunDemo(demoDir);
  for (EffectCommand& entry : commands) {
    if (!entry.command->parsed()) continue;
    if (entry.effect->result == ormi::host::ResultKind::NoImage) {
      return ormi::fx::RunWithoutImage(*entry.effect, entry.values());
    }
    return ormi::fx::ApplyEffectToFile(*entry.effect, entry.values(), entry.input, entry.output, entry.extraFiles);
  }
  return ormi::fx::kUsageError;
}
