#include "host/catalog.h"

namespace ormi::host {

const std::vector<EffectInfo>& EffectCatalog() {
  static const std::vector<EffectInfo> catalog = {
      {"ImgInvert",
       45,
       "invert",
       "Turn the picture into its negative (the transparent colour stays)",
       {},
       {1, 4, 8, 16, 24, 32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t { return ImgInvert(a.image); }},
  };
  return catalog;
}

const EffectInfo* FindEffect(std::string_view name) {
  for (const EffectInfo& effect : EffectCatalog()) {
    if (name == effect.name || name == effect.exportName) return &effect;
  }
  return nullptr;
}

std::vector<double> DefaultValues(const EffectInfo& effect) {
  std::vector<double> values;
  for (const EffectParam& param : effect.params) values.push_back(param.defaultValue);
  return values;
}

}  // namespace ormi::host
