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

// How a picture becomes a text mask: its pixels darker than `threshold` (luminance 0..255) are
// text, or the lighter ones with `invert`. A 1-bit picture is read by its colours too, so dark
// text is text whatever the order of its palette.
struct MaskRule {
  int threshold = 128;
  bool invert = false;
};

// Reads the files given for the effect's extras: a mask from any picture, a tile at 32 bits, an
// alpha picture as it is.
bool LoadExtras(const host::EffectInfo& effect, const std::vector<std::string>& files, ExtraPictures& extras,
                std::string& error, MaskRule rule = {});

// The 1-bit text mask of a picture of any depth (bit 0 text, palette black and white).
HGLOBAL MakeTextMaskFrom(HGLOBAL picture, MaskRule rule);

// An extra picture for the demo, made from a 32-bit picture: the picture with a transparent
// ellipse, dark block letters on white at its size, or a small checker tile.
HGLOBAL MakeDemoExtra(host::ExtraKind kind, HGLOBAL picture);

// A new opaque 32-bit bottom-up bitmap of a memory device context's pixels.
HGLOBAL BitmapFromMemoryDC(HDC dc, int width, int height);

}  // namespace ormi::fx
