#include <climits>

#include "host/catalog_families.h"

namespace ormi::host {
namespace {

int IntArg(const EffectArgs& a, size_t i) { return static_cast<int>(a.values[i]); }

}  // namespace

void AppendGeometryEffects(std::vector<EffectInfo>& catalog) {
  const std::vector<int> everyDepth{1, 4, 8, 16, 24, 32};
  catalog.push_back(
      {"ImgRotate",
       40,
       "rotate",
       "Turn the picture counter-clockwise into a new image (quarter turns at every depth, other angles at 32 bits)",
       {{"degrees", ParamKind::Int, 30, -3600, 3600, "Angle in whole degrees, counter-clockwise"}},
       everyDepth,
       ResultKind::NewImage,
       [](const EffectArgs& a) -> intptr_t {
         return reinterpret_cast<intptr_t>(ImgRotate(a.image, IntArg(a, 0), 0));
       }});
  catalog.push_back({"ImgMirror",
                     42,
                     "mirror",
                     "Mirror the picture upside down (rows) and/or left to right (columns)",
                     {{"rows", ParamKind::Int, 0, INT_MIN, INT_MAX, "not 0: reverse the order of the rows"},
                      {"columns", ParamKind::Int, 1, INT_MIN, INT_MAX, "not 0: reverse every row"}},
                     everyDepth,
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgMirror(a.image, IntArg(a, 0), IntArg(a, 1)); }});
  catalog.push_back({"ImgBlockRotate",
                     52,
                     "block-rotate",
                     "Turn the picture into a new image on a grid of 2^level-pixel blocks (quarter turns exact)",
                     {{"degrees", ParamKind::Int, 30, -3600, 3600, "Angle in whole degrees, counter-clockwise"},
                      {"level", ParamKind::Int, 2, 1, 3, "Block size 2, 4 or 8 pixels"}},
                     everyDepth,
                     ResultKind::NewImage,
                     [](const EffectArgs& a) -> intptr_t {
                       return reinterpret_cast<intptr_t>(ImgBlockRotate(a.image, IntArg(a, 0), 0, IntArg(a, 1)));
                     }});
}

}  // namespace ormi::host
