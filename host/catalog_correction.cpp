#include <climits>

#include "host/catalog_families.h"

namespace ormi::host {

void AppendCorrectionEffects(std::vector<EffectInfo>& catalog) {
  catalog.push_back(
      {"ImgGammaCorrection",
       49,
       "gamma-correction",
       "Correct the tone through the gamma table file: a profile's stretch and curves, or one curve",
       {{"code", ParamKind::Int, 11, 11, 43, "Input profile 11..43 (first digit 1-4, second 1-3; mode 30)"},
        {"mode", ParamKind::Int, 30, 20, 40, "30 profile stretch and curves, 20 table 12, 40 table 13"}},
       {32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t {
         return ImgGammaCorrection(a.image, static_cast<int>(a.values[0]), static_cast<int>(a.values[1]));
       }});
  catalog.push_back({"ImgColorCorrection",
                     50,
                     "color-correction",
                     "Convert the colours from a built-in device profile to an RGB space given by its primaries",
                     {{"code", ParamKind::Int, 12, 11, 43,
                       "Source profile 11..43 (first digit 1-4; second digit 1-3 picks the white)"},
                      {"white", ParamKind::Int, 0, INT_MIN, INT_MAX, "Target white: 330, 331, 332, or any other value"},
                      {"primaries",
                       ParamKind::DoubleList,
                       0,
                       0,
                       1,
                       "Output primaries red x,y,green x,y,blue x,y",
                       {0.64, 0.33, 0.30, 0.60, 0.15, 0.06}}},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t {
                       return ImgColorCorrection(a.image, static_cast<int>(a.values[0]), static_cast<int>(a.values[1]),
                                                 a.values.data() + 2);
                     }});
  catalog.push_back({"ImgLoadGammaTable",
                     51,
                     "load-gamma-table",
                     "Read the gamma table file (gammalut.tbl in the Windows directory) again",
                     {},
                     {},
                     ResultKind::NoImage,
                     [](const EffectArgs&) -> intptr_t { return ImgLoadGammaTable(); }});
}

}  // namespace ormi::host
