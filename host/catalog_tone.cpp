#include <climits>

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
       {{"delta", ParamKind::Int, 40, INT_MIN, INT_MAX,
         "amount added to each component; beyond -255 and 255 it saturates"}},
       {1, 4, 8, 16, 24, 32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t { return ImgBrightness(a.image, static_cast<int>(a.values[0])); }});
  catalog.push_back({"ImgGamma",
                     44,
                     "gamma",
                     "Apply a preset gamma curve (level = gamma x 10, 15 to 30 blend the presets)",
                     {{"level", ParamKind::Int, 20, INT_MIN, INT_MAX,
                       "gamma times ten: 10 or less changes nothing, 30 or more is gamma 3"}},
                     {1, 4, 8, 16, 24, 32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgGamma(a.image, static_cast<int>(a.values[0])); }});
  catalog.push_back(
      {"ImgContrast",
       122,
       "contrast",
       "Push the components away from (or towards) the mean grey",
       {{"amount", ParamKind::Int, 30, INT_MIN, INT_MAX,
         "-100 flattens to the mean grey, 100 splits into 0 and 255; beyond, components saturate"}},
       {4, 8, 16, 24, 32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t { return ImgContrast(a.image, static_cast<int>(a.values[0])); }});
  catalog.push_back(
      {"ImgAdjContrast",
       134,
       "adj-contrast",
       "Move each pixel's intensity along a sine S-curve (hue and saturation kept)",
       {{"mode", ParamKind::Int, 1, INT_MIN, INT_MAX, "not 0 raises contrast, 0 lowers it"}},
       {32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t { return ImgAdjContrast(a.image, static_cast<int>(a.values[0])); }});
  catalog.push_back({"ImgEqualise",
                     138,
                     "equalise",
                     "Spread the tones by histogram equalisation of the luminance",
                     {},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgEqualise(a.image); }});
  catalog.push_back(
      {"ImgAdjustColorRGB",
       139,
       "adjust-color-rgb",
       "Add a signed shift to each of red, green and blue",
       {{"red-shift", ParamKind::Int, 30, -32768, 32767, "added to red (beyond -255 and 255 it saturates)"},
        {"green-shift", ParamKind::Int, 0, -32768, 32767, "added to green (beyond -255 and 255 it saturates)"},
        {"blue-shift", ParamKind::Int, -30, -32768, 32767, "added to blue (beyond -255 and 255 it saturates)"}},
       {32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t {
         return ImgAdjustColorRGB(a.image, static_cast<int>(a.values[0]), static_cast<int>(a.values[1]),
                                  static_cast<int>(a.values[2]));
       }});
  catalog.push_back({"ImgAdjustColorHSI",
                     140,
                     "adjust-color-hsi",
                     "Shift the hue, saturation and intensity of every pixel",
                     {{"hue-shift", ParamKind::Double, 0.25, -1, 1, "in turns of the colour circle"},
                      {"saturation-shift", ParamKind::Double, 0.1, -1, 1, "added to the saturation (0..1)"},
                      {"intensity-shift", ParamKind::Double, 0, -1, 1, "added to the intensity (0..1)"}},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t {
                       return ImgAdjustColorHSI(a.image, a.values[0], a.values[1], a.values[2]);
                     }});
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
