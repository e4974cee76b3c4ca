#include "host/catalog_families.h"

namespace ormi::host {

void AppendGeometryEffects(std::vector<EffectInfo>& /*catalog*/) {}

}  // namespace ormi::host
