#include "host/catalog_families.h"

namespace ormi::host {

void AppendToneEffects(std::vector<EffectInfo>& catalog) {
  catalog.push_back({"ImgInvert", 45, "invert", "Turn the picture into its negative (the transparent colour stays)",
                     {}, {1, 4, 8, 16, 24, 32}, ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgInvert(a.image); }});
}

}  // namespace ormi::host
