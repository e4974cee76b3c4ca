#pragma once

#include <string>
#include <vector>

#include <ormi/win32.h>

#include "host/catalog.h"

namespace ormi::fx {

// The extra pictures of one call, in the order of EffectInfo::extras, freed at the end of scope.
class ExtraPictures {
 public:
  ExtraPictures() = default;
  ExtraPictures(const ExtraPictures&) = delete;
  ExtraPictures& operator=(const ExtraPictures&) = delete;
  ~ExtraPictures();
  // Takes the bitmap: kept as is, or wrapped in an image handle for AlphaImage, whose record
  // then carries its transparency in the alpha bytes when `hasAlpha` (as the input's does). False
  // (and the bitmap freed) when it cannot be wrapped.
  bool add(host::ExtraKind kind, HGLOBAL bitmap, bool hasAlpha = false);
  const std::vector<HGLOBAL>& handles() const { return handles_; }

 private:
  std::vector<host::ExtraKind> kinds_;
  std::vector<HGLOBAL> handles_;
};

// Reads the files given for the effect's extras.
bool LoadExtras(const host::EffectInfo& effect, const std::vector<std::string>& files, ExtraPictures& extras,
                std::string& error);

// Extras made from the sample for the demo: the sample with a transparent ellipse, a 1-bit mask
// with block letters, a small checker tile.
bool MakeDemoExtras(const host::EffectInfo& effect, HGLOBAL sample, ExtraPictures& extras);

// An 8-bit grey copy of a 32-bit picture (256 grey entries), for effects that take palettes.
HGLOBAL MakeGreyPalettePicture(HGLOBAL picture);

// A new opaque 32-bit bottom-up bitmap of a memory device context's pixels.
HGLOBAL BitmapFromMemoryDC(HDC dc, int width, int height);

}  // namespace ormi::fx
