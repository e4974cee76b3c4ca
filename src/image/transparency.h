// The transparency state of a record as the effects see it: no transparency, a colour key, or
// alpha bytes that carry it.
#pragma once

#include <cstdint>
#include <optional>

#include <ormi/effects.h>

namespace ormi {

// What an export hands its routines: a copy of transparentColor, or nothing when the record
// has no transparency.
using TransparencyArg = std::optional<uint32_t>;

inline TransparencyArg TransparencyArgOf(const ImageRecord& record) {
  if (record.transparency == ORMI_NO_TRANSPARENCY) return std::nullopt;
  return record.transparentColor;
}

inline bool SaysAlphaCarriesTransparency(uint32_t color) { return (color & ORMI_ALPHA_TRANSPARENCY) != 0; }

// A COLORREF (red in the low byte) as a 32-bit pixel with alpha 0: red << 16 | green << 8 | blue.
constexpr uint32_t KeyPixelForm(uint32_t color) {
  return (color & 0xFF) << 16 | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

// How a routine picks the pixels it may change.
enum class Selection {
  AllPixels,  // every pixel; alpha kept
  ColorKey,   // pixels whose whole value differs from the key; changed pixels get alpha 0
  AlphaKey,   // pixels whose alpha is not 0; alpha kept
};

struct PixelSelection {
  Selection mode = Selection::AllPixels;
  uint32_t key = 0;  // pixel form of the colour key
};

// With bit 31 set the colour is not compared: routines that honour alpha use the alpha key,
// the others change every pixel.
inline PixelSelection SelectPixels(const TransparencyArg& arg, bool offersAlphaKey) {
  if (!arg) return {};
  if (SaysAlphaCarriesTransparency(*arg)) {
    return {offersAlphaKey ? Selection::AlphaKey : Selection::AllPixels, 0};
  }
  return {Selection::ColorKey, KeyPixelForm(*arg)};
}

}  // namespace ormi
