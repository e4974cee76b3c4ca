#include "host/catalog_families.h"

namespace ormi::host {
namespace {

constexpr double kColorMax = 0xFFFFFF;

std::vector<EffectParam> GradientParams() {
  return {{"from-color", ParamKind::Int, 0xFF4000, 0, kColorMax, "First colour"},
          {"to-color", ParamKind::Int, 0x00C0FF, 0, kColorMax, "Second colour"},
          {"degrees", ParamKind::Int, 45, -3600, 3600, "Direction: 0 top to bottom, 90 left to right"}};
}

}  // namespace

void AppendDecorEffects(std::vector<EffectInfo>& catalog) {
  catalog.push_back({"TavoGradient",
                     301,
                     "gradient",
                     "Paint a linear gradient over the picture's rectangle",
                     GradientParams(),
                     {1, 4, 8, 16, 24, 32},
                     ResultKind::Painted,
                     [](const EffectArgs& a) -> intptr_t {
                       return TavoGradient(a.dc, &a.rect, ColorArg(a.values[0]), ColorArg(a.values[1]),
                                           static_cast<int>(a.values[2]));
                     }});
  catalog.push_back({"TavoEmbossIcon",
                     302,
                     "emboss-icon",
                     "Emboss a palette icon in three colours: green background, rim and shape",
                     {{"threshold", ParamKind::Int, 96, 0, 255, "Palette entries whose mean is at most this are dark"},
                      {"first-color", ParamKind::Int, 0xFFFFFF, 0, kColorMax, "Rim colour"},
                      {"second-color", ParamKind::Int, 0x404040, 0, kColorMax, "Shape colour"}},
                     {4, 8},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t {
                       return TavoEmbossIcon(a.image, static_cast<int>(a.values[0]), ColorArg(a.values[1]),
                                             ColorArg(a.values[2]));
                     }});
  catalog.push_back({"TavoGradientForText",
                     303,
                     "gradient-for-text",
                     "A new 32-bit picture: the gradient where a 1-bit text mask is 0, transparent elsewhere",
                     GradientParams(),
                     {1, 4, 8, 16, 24, 32},
                     ResultKind::NewBitmap,
                     [](const EffectArgs& a) -> intptr_t {
                       return reinterpret_cast<intptr_t>(
                           TavoGradientForText(nullptr, &a.rect, ColorArg(a.values[0]), ColorArg(a.values[1]),
                                               static_cast<int>(a.values[2]), a.extras[0]));
                     },
                     {{"mask", ExtraKind::TextMask, "1-bit text mask at least the picture's size (BMP)"}}});
  catalog.push_back({"TavoTileForText",
                     304,
                     "tile-for-text",
                     "A new 32-bit picture: a tile repeated where a 1-bit text mask is 0, transparent elsewhere",
                     {},
                     {1, 4, 8, 16, 24, 32},
                     ResultKind::NewBitmap,
                     [](const EffectArgs& a) -> intptr_t {
                       return reinterpret_cast<intptr_t>(TavoTileForText(nullptr, &a.rect, a.extras[0], a.extras[1]));
                     },
                     {{"mask", ExtraKind::TextMask, "1-bit text mask at least the picture's size (BMP)"},
                      {"tile", ExtraKind::Tile, "32-bit tile picture (BMP)"}}});
}

}  // namespace ormi::host
