// RGB to HSI against its plain reference over every colour: identical hue, saturation and
// intensity bits, and HsiHue equal to the hue the conversion gives.
#include <cstring>

#include <gtest/gtest.h>

#include "reference/reference.h"
#include "tone/hsi.h"

namespace ormi::test {
namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(HsiDifferentialTest, EveryColourMatchesReference) {
  for (uint32_t rgb = 0; rgb < (1u << 24); ++rgb) {
    const auto red = static_cast<uint8_t>(rgb >> 16), green = static_cast<uint8_t>(rgb >> 8),
               blue = static_cast<uint8_t>(rgb);
    double hue = 0, saturation = 0, intensity = 0, expectedHue = 0, expectedSaturation = 0, expectedIntensity = 0;
    RgbToHsi(red, green, blue, hue, saturation, intensity);
    reference::PlainRgbToHsi(red, green, blue, expectedHue, expectedSaturation, expectedIntensity);
    ASSERT_TRUE(SameBits(hue, expectedHue) && SameBits(saturation, expectedSaturation) &&
                SameBits(intensity, expectedIntensity))
        << std::hex << rgb;
    ASSERT_TRUE(SameBits(HsiHue(red, green, blue), expectedHue)) << std::hex << rgb;
  }
}

}  // namespace
}  // namespace ormi::test
