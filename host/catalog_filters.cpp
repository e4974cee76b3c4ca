#include "host/catalog_families.h"

namespace ormi::host {

void AppendFilterEffects(std::vector<EffectInfo>& catalog) {
  catalog.push_back({"ImgBlur",
                     130,
                     "blur",
                     "Smooth with a 3x3 weighted mean (the border stays)",
                     {{"amount", ParamKind::Double, 50, -1000, 1000,
                       "0 blurs least, 74 ignores the centre, 98 and 99 turn flat areas black"}},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgBlur(a.image, a.values[0]); }});
  catalog.push_back({"ImgEmboss",
                     131,
                     "emboss",
                     "Turn the picture into a relief lit from one corner",
                     {},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgEmboss(a.image); }});
  catalog.push_back({"ImgEdge",
                     132,
                     "edge",
                     "Map the edges: each pixel against its four diagonal neighbours",
                     {{"amount", ParamKind::Double, 50, -1000, 1000, "0 gives the strongest edges, 100 the faintest"}},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgEdge(a.image, a.values[0]); }});
  catalog.push_back(
      {"ImgSharpen",
       133,
       "sharpen",
       "Push each pixel away from the mean of its neighbours",
       {{"amount", ParamKind::Double, 50, -1000, 1000, "0 sharpens least, 100 most; above 100 flat areas turn black"}},
       {32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t { return ImgSharpen(a.image, a.values[0]); }});
  catalog.push_back({"ImgDespeckle",
                     136,
                     "despeckle",
                     "Remove speckle noise by complementary hulling",
                     {},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgDespeckle(a.image); }});
  catalog.push_back({"ImgEnhance",
                     137,
                     "enhance",
                     "Smooth within areas while keeping edges (5x5 window)",
                     {},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgEnhance(a.image); }});
}

}  // namespace ormi::host
