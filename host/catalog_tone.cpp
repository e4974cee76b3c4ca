#include "host/catalog_families.h"

namespace ormi::host {

void AppendToneEffects(std::vector<EffectInfo>& catalog) {
  catalog.push_back({"ImgInvert",
                     45,
                     "invert",
                     "Turn the picture into its negative (the transparent colour stays)",
                     {},
                     {1, 4, 8, 16, 24, 32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgInvert(a.image); }});
  catalog.push_back({"ImgEqualise",
                     138,
                     "equalise",
                     "Spread the tones by histogram equalisation of the luminance",
                     {},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgEqualise(a.image); }});
  catalog.push_back({"ImgNormalise",
                     141,
                     "normalise",
                     "Stretch the luminance range onto 0..254, clipping 1 % of the pixels at each end",
                     {},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgNormalise(a.image); }});
}

}  // namespace ormi::host
