#include "host/catalog_families.h"

namespace ormi::host {

void AppendDecorEffects(std::vector<EffectInfo>& /*catalog*/) {}

}  // namespace ormi::host
