#include "host/catalog_families.h"

namespace ormi::host {

void AppendFilterEffects(std::vector<EffectInfo>& /*catalog*/) {}

}  // namespace ormi::host
