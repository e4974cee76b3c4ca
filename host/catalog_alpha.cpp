#include "host/catalog_families.h"

namespace ormi::host {
namespace {

constexpr double kIntMin = -2147483648.0;
constexpr double kColorMax = 4294967295.0;  // colours may use all 32 bits (bit 31 selects a rule)

int IntArg(double value) { return static_cast<int>(value); }

}  // namespace

void AppendAlphaEffects(std::vector<EffectInfo>& catalog) {
  catalog.push_back(
      {"ImgOpaque",
       167,
       "opaque",
       "Write the alpha channel from an opacity level and a colour key (0: black or the record's key; "
       "bit 31 set: soft key with tolerance level - 1)",
       {{"level", ParamKind::Int, 55, 0, 255, "Opacity taken away, or the soft key's tolerance + 1"},
        {"color", ParamKind::Int, 0, kIntMin, kColorMax,
         "Key colour; 0x80000000 set (the library's form): use it as given"}},
       {32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t { return ImgOpaque(a.image, IntArg(a.values[0]), ColorArg(a.values[1])); }});
  catalog.push_back({"ImgCopyAlpha",
                     168,
                     "copy-alpha",
                     "Copy the alpha channel of a picture of the same size",
                     {},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t { return ImgCopyAlpha(a.image, a.extras[0]); },
                     {{"source", ExtraKind::AlphaImage, "32-bit picture of the same size whose alpha is copied"}}});
  catalog.push_back({"ImgInsertAlpha",
                     169,
                     "insert-alpha",
                     "Give every pixel of one colour the chosen alpha",
                     {{"alpha", ParamKind::Int, 0, 0, 255, "Alpha for the pixels of the colour"},
                      {"color", ParamKind::Int, 0xFFFFFF, 0, 0xFFFFFF, "Colour"}},
                     {32},
                     ResultKind::InPlace,
                     [](const EffectArgs& a) -> intptr_t {
                       return ImgInsertAlpha(a.image, IntArg(a.values[0]), ColorArg(a.values[1]));
                     }});
  catalog.push_back({"ImgDiff",
                     173,
                     "diff",
                     "Surround the picture with a diffused alpha halo of the given width",
                     {{"passes", ParamKind::Int, 6, 0, 64, "Halo rings (the border is passes + 1 pixels)"}},
                     {32},
                     ResultKind::NewImage,
                     [](const EffectArgs& a) -> intptr_t {
                       return reinterpret_cast<intptr_t>(ImgDiff(a.image, IntArg(a.values[0])));
                     }});
  catalog.push_back(
      {"TavoSetAlphaColor",
       300,
       "set-alpha-color",
       "Paint a colour wherever a 32-bit mask picture has alpha 0",
       {{"color", ParamKind::Int, 0x0000FF, 0, 0xFFFFFF, "Colour"}},
       {24, 32},
       ResultKind::InPlace,
       [](const EffectArgs& a) -> intptr_t { return TavoSetAlphaColor(a.extras[0], a.image, ColorArg(a.values[0])); },
       {{"mask", ExtraKind::AlphaImage, "32-bit picture of the same size; its alpha-0 pixels are painted"}}});
}

}  // namespace ormi::host
