#include "host/catalog_families.h"

namespace ormi::host {

void AppendCorrectionEffects(std::vector<EffectInfo>& /*catalog*/) {}

}  // namespace ormi::host
