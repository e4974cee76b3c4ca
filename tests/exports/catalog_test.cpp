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

// The library's whole export table. Families land one at a time, so the check waits until the
// .def lists all of them and then holds the .def and the catalog to exactly this table.
const std::map<std::string, int>& FullExportTable() {
  static const std::map<std::string, int> table{{"ImgRotate", 40},
                                                {"ImgBrightness", 41},
                                                {"ImgMirror", 42},
                                                {"ImgGamma", 44},
                                                {"ImgInvert", 45},
                                                {"ImgGammaCorrection", 49},
                                                {"ImgColorCorrection", 50},
                                                {"ImgLoadGammaTable", 51},
                                                {"ImgBlockRotate", 52},
                                                {"ImgContrast", 122},
                                                {"ImgBlur", 130},
                                                {"ImgEmboss", 131},
                                                {"ImgEdge", 132},
                                                {"ImgSharpen", 133},
                                                {"ImgAdjContrast", 134},
                                                {"ImgDespeckle", 136},
                                                {"ImgEnhance", 137},
                                                {"ImgEqualise", 138},
                                                {"ImgAdjustColorRGB", 139},
                                                {"ImgAdjustColorHSI", 140},
                                                {"ImgNormalise", 141},
                                                {"ImgOpaque", 167},
                                                {"ImgCopyAlpha", 168},
                                                {"ImgInsertAlpha", 169},
                                                {"ImgDiff", 173},
                                                {"TavoSetAlphaColor", 300},
                                                {"TavoGradient", 301},
                                                {"TavoEmbossIcon", 302},
                                                {"TavoGradientForText", 303},
                                                {"TavoTileForText", 304}};
  return table;
}

TEST(CatalogTest, FullTableHasThirtyDistinctExports) {
  std::set<int> ordinals;
  for (const auto& [name, ordinal] : FullExportTable()) EXPECT_TRUE(ordinals.insert(ordinal).second) << name;
  EXPECT_EQ(FullExportTable().size(), 30u);
}

TEST(CatalogTest, ModuleDefinitionAndCatalogHoldExactlyTheFullTable) {
  const std::map<std::string, int> def = DefExports();
  if (def.size() != FullExportTable().size()) {
    GTEST_SKIP() << "the .def lists " << def.size() << " of the 30 exports; the full check runs once all are in";
  }
  EXPECT_EQ(def, FullExportTable());
  std::map<std::string, int> catalog;
  for (const host::EffectInfo& effect : host::EffectCatalog()) catalog[effect.exportName] = effect.ordinal;
  EXPECT_EQ(catalog, FullExportTable());
}

TEST(CatalogTest, EveryListedExportIsInTheFullTable) {
  for (const auto& [name, ordinal] : DefExports()) {
    const auto found = FullExportTable().find(name);
    ASSERT_NE(found, FullExportTable().end()) << name;
    EXPECT_EQ(found->second, ordinal) << name;
  }
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
    std::set<std::string> options;
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
      EXPECT_TRUE(options.insert(param.name).second) << effect.name << " --" << param.name;
    }
    for (const host::ExtraInput& extra : effect.extras) {
      EXPECT_TRUE(std::regex_match(extra.name, commandName)) << effect.name << " --" << extra.name;
      EXPECT_TRUE(options.insert(extra.name).second) << effect.name << " --" << extra.name;
    }
    size_t values = 0;
    for (const host::EffectParam& param : effect.params) values += host::ValueCount(param);
    EXPECT_EQ(host::DefaultValues(effect).size(), values) << effect.name;
  }
  EXPECT_EQ(host::FindEffect("no-such-effect"), nullptr);
}

}  // namespace
}  // namespace ormi
