#include "host/catalog.h"

#include <algorithm>

#include "host/catalog_families.h"

namespace ormi::host {

const std::vector<EffectInfo>& EffectCatalog() {
  static const std::vector<EffectInfo> catalog = [] {
    std::vector<EffectInfo> all;
    const auto append = [&all](const char* family, void (*appendFamily)(std::vector<EffectInfo>&)) {
      const size_t first = all.size();
      appendFamily(all);
      for (size_t i = first; i < all.size(); ++i) all[i].family = family;
    };
    append("geometry", AppendGeometryEffects);
    append("tone", AppendToneEffects);
    append("correction", AppendCorrectionEffects);
    append("filters", AppendFilterEffects);
    append("alpha", AppendAlphaEffects);
    append("decor", AppendDecorEffects);
    std::sort(all.begin(), all.end(), [](const EffectInfo& a, const EffectInfo& b) { return a.ordinal < b.ordinal; });
    return all;
  }();
  return catalog;
}

const EffectInfo* FindEffect(std::string_view name) {
  for (const EffectInfo& effect : EffectCatalog()) {
    if (name == effect.name || name == effect.exportName) return &effect;
  }
  return nullptr;
}

size_t ValueCount(const EffectParam& param) {
  return param.kind == ParamKind::DoubleList ? param.listDefaults.size() : 1;
}

std::vector<double> DefaultValues(const EffectInfo& effect) {
  std::vector<double> values;
  for (const EffectParam& param : effect.params) {
    if (param.kind == ParamKind::DoubleList) {
      values.insert(values.end(), param.listDefaults.begin(), param.listDefaults.end());
    } else {
      values.push_back(param.defaultValue);
    }
  }
  return values;
}

}  // namespace ormi::host
