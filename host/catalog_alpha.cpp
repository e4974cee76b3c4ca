#include "host/catalog_families.h"

namespace ormi::host {

void AppendAlphaEffects(std::vector<EffectInfo>& /*catalog*/) {}

}  // namespace ormi::host
