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
  catalog.push_back(
      {"ImgBrightness",
       41,
       "brightness",
       "Add an amount to every red, green and blue component",
       {{"delta", ParamKind::Int, 40, -255, 255, "amount added to each component"}},
       {1, 4, 8, 16, 24, 32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t { return ImgBrightness(a.image, static_cast<int>(a.values[0])); }});
  catalog.push_back(
      {"ImgGamma",
       44,
       "gamma",
       "Apply a preset gamma curve (level = gamma x 10, 15 to 30 blend the presets)",
       {{"level", ParamKind::Int, 20, 0, 40, "gamma times ten: 10 or less changes nothing, 30 or more is gamma 3"}},
       {1, 4, 8, 16, 24, 32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t { return ImgGamma(a.image, static_cast<int>(a.values[0])); }});
  catalog.push_back(
      {"ImgContrast",
       122,
       "contrast",
       "Push the components away from (or towards) the mean grey",
       {{"amount", ParamKind::Int, 30, -100, 100, "-100 flattens to the mean grey, 100 splits into 0 and 255"}},
       {4, 8, 16, 24, 32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t { return ImgContrast(a.image, static_cast<int>(a.values[0])); }});
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
