#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "host/catalog.h"

namespace ormi {
namespace {

std::map<std::string, int> DefExports() {
  std::ifstream def(ORMI_DEF_FILE);
  std::map<std::string, int> exports;
  const std::regex line(R"(^\s*([A-Za-z_]\w*)\s+@(\d+)\s*$)");
  std::smatch match;
  for (std::string text; std::getline(def, text);) {
    if (std::regex_match(text, match, line)) exports[match[1]] = std::stoi(match[2]);
  }
  return exports;
}

TEST(CatalogTest, MatchesTheModuleDefinitionFile) {
  const std::map<std::string, int> def = DefExports();
  ASSERT_FALSE(def.empty());
  std::map<std::string, int> catalog;
  for (const host::EffectInfo& effect : host::EffectCatalog()) catalog[effect.exportName] = effect.ordinal;
  EXPECT_EQ(catalog, def);
}

TEST(CatalogTest, NamesAndParametersAreWellFormed) {
  std::set<std::string> names;
  const std::regex commandName("[a-z]+(-[a-z0-9]+)*");
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    EXPECT_TRUE(names.insert(effect.name).second) << effect.name;
    EXPECT_TRUE(std::regex_match(effect.name, commandName)) << effect.name;
    // An export that takes no image has no depths; every other one accepts some.
    EXPECT_EQ(effect.depths.empty(), effect.result == host::ResultKind::NoImage) << effect.name;
    EXPECT_EQ(host::FindEffect(effect.name), &effect);
    EXPECT_EQ(host::FindEffect(effect.exportName), &effect);
    for (const host::EffectParam& param : effect.params) {
      if (param.kind == host::ParamKind::DoubleList) {
        EXPECT_FALSE(param.listDefaults.empty()) << effect.name << " --" << param.name;
        for (double value : param.listDefaults) {
          EXPECT_LE(param.min, value) << effect.name << " --" << param.name;
          EXPECT_LE(value, param.max) << effect.name << " --" << param.name;
        }
        continue;
      }
      EXPECT_LE(param.min, param.defaultValue) << effect.name << " --" << param.name;
      EXPECT_LE(param.defaultValue, param.max) << effect.name << " --" << param.name;
    }
    size_t values = 0;
    for (const host::EffectParam& param : effect.params) values += host::ValueCount(param);
    EXPECT_EQ(host::DefaultValues(effect).size(), values) << effect.name;
  }
  EXPECT_EQ(host::FindEffect("no-such-effect"), nullptr);
}

}  // namespace
}  // namespace ormi
