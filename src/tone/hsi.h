// Conversions between red, green, blue bytes and hue, saturation and intensity in the double
// hexcone model: intensity is the mean of the largest and smallest component, hue runs 0..1 around
// the circle (0 red, 1/6 yellow, 1/3 green, 1/2 cyan, 2/3 blue, 5/6 magenta).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include "image/unit_of_byte.h"

namespace ormi {

// Fills hue, saturation and intensity from the bytes. The caller sets the three to 0 first: black
// leaves hue and saturation unwritten, greys leave the hue.
void RgbToHsi(uint8_t red, uint8_t green, uint8_t blue, double& hue, double& saturation, double& intensity);

// The hue that RgbToHsi gives for the bytes (0 where it leaves the hue unwritten).
double HsiHue(uint8_t red, uint8_t green, uint8_t blue);

// Writes the bytes of a colour; each is floor(255 v + 0.5). A hue of exactly 1 is taken as 0.
void HsiToRgb(double hue, double saturation, double intensity, uint8_t& red, uint8_t& green, uint8_t& blue);

// The two levels between which a colour's components lie, from its saturation and intensity:
// m2 the largest, m1 the smallest. Both are 0 where m2 is not above 0 (the colour is black).
struct HsiLevels {
  double m1, m2;
};
HsiLevels HsiLevelsOf(double saturation, double intensity);

// HsiToRgb from the levels: the same bytes as from the saturation and intensity they came from.
void HsiLevelsToRgb(double hue, const HsiLevels& levels, uint8_t& red, uint8_t& green, uint8_t& blue);

// The hue brought into 0..1 by whole turns (1 becomes 0); anything without a place on the circle
// (infinite or not a number) becomes 0.
inline double WrapHue(double hue) {
  const double wrapped = hue - std::floor(hue);
  return wrapped >= 0 && wrapped < 1 ? wrapped : 0;
}

// A value held in 0..1; not a number counts as 0.
inline double ClampUnit(double value) { return value > 1 ? 1 : value >= 0 ? value : 0; }

}  // namespace ormi
