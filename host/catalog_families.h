// Each family of effects adds its exports to the catalog from its own file.
#pragma once

#include <vector>

#include "host/catalog.h"

namespace ormi::host {

void AppendGeometryEffects(std::vector<EffectInfo>& catalog);
void AppendToneEffects(std::vector<EffectInfo>& catalog);
void AppendCorrectionEffects(std::vector<EffectInfo>& catalog);
void AppendFilterEffects(std::vector<EffectInfo>& catalog);
void AppendAlphaEffects(std::vector<EffectInfo>& catalog);
void AppendDecorEffects(std::vector<EffectInfo>& catalog);

}  // namespace ormi::host
