// The tone and colour exports on hand-computed pixels, at every vector level: each example row is
// also repeated over a width that reaches the vector bodies and their tails.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

#include "support/every_level.h"
#include "tone/hsi.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::ColorRef;
using test::Grey;
using test::Picture;
using test::Rgb;
using test::TestImage;

constexpr uint32_t kAlpha = 0x80000000u;  // bit 31 of the transparent colour
constexpr uint32_t A(uint32_t alpha, uint32_t rgb) { return alpha << 24 | rgb; }

struct PixelCase {
  const char* name;
  BitmapSpec bitmap;                         // depth, compression and masks; the size comes from the pixels
  std::optional<uint32_t> transparentColor;  // transparency in force with this value
  int (*call)(HGLOBAL image);
  std::vector<std::pair<uint32_t, uint32_t>> pixels;  // before, after
};

void PrintTo(const PixelCase& c, std::ostream* os) { *os << c.name; }

class TonePixelTest : public test::MemoryCheckedTest, public ::testing::WithParamInterface<PixelCase> {};

TEST_P(TonePixelTest, GivesTheHandValues) {
  test::ExpectExample(GetParam().bitmap, GetParam().transparentColor, GetParam().pixels, GetParam().call);
}

constexpr BitmapSpec k24{.depth = 24}, k32{.depth = 32};
constexpr BitmapSpec k555{.depth = 16},
    k555Masks{.depth = 16, .compression = BI_BITFIELDS, .masks = {0x7C00, 0x3E0, 0x1F}};
constexpr BitmapSpec k565{.depth = 16, .compression = BI_BITFIELDS, .masks = {0xF800, 0x7E0, 0x1F}};
constexpr uint16_t F565(uint32_t r, uint32_t g, uint32_t b) { return static_cast<uint16_t>(r << 11 | g << 5 | b); }
constexpr uint16_t F555(uint32_t r, uint32_t g, uint32_t b) { return static_cast<uint16_t>(r << 10 | g << 5 | b); }

// Mixed colours and alphas for the colour shifts.
const uint32_t kM0 = A(0x80, Rgb(10, 100, 250)), kM1 = Rgb(0, 0, 0), kM2 = A(0xFF, Rgb(255, 128, 1)),
               kM3 = A(0x01, Grey(77));

// clang-format off
const PixelCase kPixelCases[] = {
    // Invert: every byte at 32 bits; a colour key matches the colour with alpha 0 only; bit 31 keeps alpha.
    {"Invert32", k32, {}, ImgInvert, {{0, 0xFFFFFFFF}, {0x80FF1020, 0x7F00EFDF}}},
    {"Invert32Key", k32, 0x0000FF, ImgInvert,
     {{0x00FF0000, 0x00FF0000}, {0x80FF0000, 0x0000FFFF}, {0xFF123456, 0x00EDCBA9}}},
    {"Invert32AlphaKey", k32, kAlpha | 0xFF, ImgInvert, {{0x00FF0000, 0x0000FFFF}, {0x7F000000, 0x7FFFFFFF}}},
    // Key red 0x30, green 0x20, blue 0x10 is the pixel 0x302010.
    {"Invert24Key", k24, 0x102030, ImgInvert,
     {{0x102030, 0xEFDFCF}, {0, 0xFFFFFF}, {0x302010, 0x302010}, {0xFFFFFF, 0}, {0x302011, 0xCFDFEE}, {0xFF, 0xFFFF00}}},
    // Red 0xFF, green 0x84, blue 0x08: 5-6-5 keeps six bits of green (0x21), 5-5-5 five (0x10).
    {"Invert565Key", k565, 0x0884FF, ImgInvert, {{0x1234, 0xEDCB}, {F565(31, 0x21, 1), F565(31, 0x21, 1)}, {0x1236, 0xEDC9}}},
    {"Invert555Key", k555, 0x0884FF, ImgInvert, {{0x1234, 0xEDCB}, {F555(31, 0x10, 1), F555(31, 0x10, 1)}, {0x1236, 0xEDC9}}},
    // Brightness adds and saturates.
    {"Brightness40", k24, {}, [](HGLOBAL h) { return ImgBrightness(h, 40); },
     {{Rgb(10, 20, 100), Rgb(50, 60, 140)}, {Rgb(200, 230, 255), Rgb(240, 255, 255)}}},
    {"BrightnessMinus15", k24, {}, [](HGLOBAL h) { return ImgBrightness(h, -15); },
     {{Rgb(10, 20, 100), Rgb(0, 5, 85)}, {Rgb(200, 230, 255), Rgb(185, 215, 240)}}},
    // Levels 0 and -7 in turn; a gamma level of 10 or below (0, -7, INT_MIN) changes nothing.
    {"BrightnessZeroThenMinus7", k24, {}, [](HGLOBAL h) { return ImgBrightness(h, 0) & ImgBrightness(h, -7); },
     {{Rgb(10, 6, 100), Rgb(3, 0, 93)}, {Rgb(255, 7, 8), Rgb(248, 0, 1)}}},
    {"GammaAtOrBelow10ChangesNothing", k32, {},
     [](HGLOBAL h) { return ImgGamma(h, 10) & ImgGamma(h, 0) & ImgGamma(h, -7) & ImgGamma(h, INT_MIN); },
     {{Rgb(1, 2, 3), Rgb(1, 2, 3)}, {A(0x7F, Rgb(64, 128, 254)), A(0x7F, Rgb(64, 128, 254))}}},
    {"BrightnessIntMax", k24, {}, [](HGLOBAL h) { return ImgBrightness(h, INT_MAX); }, {{Rgb(10, 20, 100), Grey(255)}}},
    {"BrightnessIntMin", k24, {}, [](HGLOBAL h) { return ImgBrightness(h, INT_MIN); }, {{Rgb(200, 230, 255), Grey(0)}}},
    // Bit 31 matters only at 32 bits: at 24 the colour is a key.
    {"Brightness24Key", k24, kAlpha | ColorRef(1, 2, 3), [](HGLOBAL h) { return ImgBrightness(h, 100); },
     {{Rgb(1, 2, 3), Rgb(1, 2, 3)}, {Grey(9), Grey(109)}, {Rgb(1, 2, 4), Rgb(101, 102, 104)}, {0, Grey(100)}}},
    // At 32 bits the key compares the colour only, and alpha never changes.
    {"Brightness32Key", k32, ColorRef(1, 2, 3), [](HGLOBAL h) { return ImgBrightness(h, 10); },
     {{Rgb(1, 2, 3), Rgb(1, 2, 3)}, {A(0xAB, Rgb(1, 2, 3)), A(0xAB, Rgb(1, 2, 3))}, {A(0x33, Grey(7)), A(0x33, Grey(17))}}},
    {"Brightness32AlphaKey", k32, kAlpha | ColorRef(1, 2, 3), [](HGLOBAL h) { return ImgBrightness(h, 10); },
     {{Rgb(1, 2, 3), Rgb(11, 12, 13)}, {A(0xAB, Rgb(1, 2, 3)), A(0xAB, Rgb(11, 12, 13))}}},
    // 16 bits: fields widened, mapped and narrowed. Red 16 -> 132 -> 172 -> 21, blue 8 -> 66 -> 106
    // -> 13; six-bit green 32 -> 130 -> 170 -> 42, five-bit 16 -> 132 -> 172 -> 21. The top bit of
    // a plain 5-5-5 pixel is cleared.
    {"Brightness555Key", k555, ColorRef(0xF8, 0x07, 0x1F), [](HGLOBAL h) { return ImgBrightness(h, 40); },
     {{0x8000 | F555(16, 16, 8), F555(21, 21, 13)}, {0x8000 | F555(31, 0, 3), 0x8000 | F555(31, 0, 3)}}},
    {"Brightness555MasksKey", k555Masks, ColorRef(0xFF, 0, 0x18), [](HGLOBAL h) { return ImgBrightness(h, 40); },
     {{F555(16, 16, 8), F555(21, 21, 13)}, {F555(31, 0, 3), F555(31, 0, 3)}}},
    {"Brightness565Key", k565, ColorRef(0xF8, 0x07, 0x1F), [](HGLOBAL h) { return ImgBrightness(h, 40); },
     {{F565(16, 32, 8), F565(21, 42, 13)}, {F565(31, 1, 3), F565(31, 1, 3)}}},
    // Gamma: presets at 15, 20, 25 and 30 (and beyond), two tenths of the way to the next between.
    {"Gamma15", k32, {}, [](HGLOBAL h) { return ImgGamma(h, 15); },
     {{Rgb(1, 2, 3), Rgb(6, 10, 13)}, {A(0x7F, Rgb(4, 64, 128)), A(0x7F, Rgb(16, 101, 161))}, {Rgb(254, 255, 0), Rgb(254, 255, 0)}}},
    {"Gamma20", k24, {}, [](HGLOBAL h) { return ImgGamma(h, 20); },
     {{Rgb(1, 2, 3), Rgb(16, 23, 28)}, {Rgb(4, 64, 128), Rgb(32, 128, 181)}, {Rgb(254, 255, 0), Rgb(254, 255, 0)}}},
    {"Gamma25", k32, {}, [](HGLOBAL h) { return ImgGamma(h, 25); },
     {{Rgb(1, 2, 3), Rgb(28, 37, 43)}, {Rgb(4, 64, 128), Rgb(48, 147, 194)}, {Rgb(254, 255, 0), Rgb(255, 255, 0)}}},
    {"Gamma30", k24, {}, [](HGLOBAL h) { return ImgGamma(h, 30); },
     {{Rgb(1, 2, 3), Rgb(40, 51, 58)}, {Rgb(64, 128, 254), Rgb(161, 203, 255)}, {Grey(0), Grey(0)}}},
    {"Gamma1000", k24, {}, [](HGLOBAL h) { return ImgGamma(h, 1000); }, {{Rgb(4, 64, 128), Rgb(64, 161, 203)}}},
    // (4 * 181 + 6 * 161 + 5) div 10 = 169; (4 * 128 + 6 * 101 + 5) div 10 = 112.
    {"Gamma17", k32, {}, [](HGLOBAL h) { return ImgGamma(h, 17); },
     {{A(0x7F, Grey(128)), A(0x7F, Grey(169))}, {Rgb(0, 64, 255), Rgb(0, 112, 255)}}},
    // 12: (4 * 161 + 6 * 128 + 5) div 10; 11: (2 * 6 + 8 * 1 + 5) div 10; 29: (8 * 161 + 2 * 147 + 5)
    // div 10; 23: (6 * 37 + 4 * 23 + 5) div 10.
    {"Gamma12", k32, {}, [](HGLOBAL h) { return ImgGamma(h, 12); }, {{Grey(128), Grey(141)}, {Grey(0), Grey(0)}}},
    {"Gamma11", k32, {}, [](HGLOBAL h) { return ImgGamma(h, 11); }, {{Grey(1), Grey(2)}}},
    {"Gamma29", k32, {}, [](HGLOBAL h) { return ImgGamma(h, 29); }, {{Grey(64), Grey(158)}}},
    {"Gamma23", k32, {}, [](HGLOBAL h) { return ImgGamma(h, 23); }, {{Grey(2), Grey(31)}, {Grey(255), Grey(255)}}},
    // Gamma 2 on the fields 4 (and six-bit 9): widened to 33 (36), mapped to 92 (96), narrowed to 11 (24).
    {"Gamma565", k565, {}, [](HGLOBAL h) { return ImgGamma(h, 20); }, {{F565(4, 9, 4), F565(11, 24, 11)}, {0, 0}}},
    {"Gamma555", k555, {}, [](HGLOBAL h) { return ImgGamma(h, 20); }, {{F555(4, 4, 4), F555(11, 11, 11)}, {0, 0}}},
    // Contrast pivots on the weighted mean: red 150, green 100, blue 50 give 109.25.
    {"ContrastMinus100", k24, {}, [](HGLOBAL h) { return ImgContrast(h, -100); },
     {{Rgb(100, 50, 0), Grey(109)}, {Rgb(200, 150, 100), Grey(109)}}},
    {"Contrast50", k24, {}, [](HGLOBAL h) { return ImgContrast(h, 50); },
     {{Rgb(100, 50, 0), Rgb(45, 0, 0)}, {Rgb(200, 150, 100), Rgb(255, 222, 45)}}},
    {"ContrastMinus50", k24, {}, [](HGLOBAL h) { return ImgContrast(h, -50); },
     {{Rgb(100, 50, 0), Rgb(104, 79, 54)}, {Rgb(200, 150, 100), Rgb(154, 129, 104)}}},
    {"Contrast100", k32, {}, [](HGLOBAL h) { return ImgContrast(h, 100); },
     {{A(0xFF, Grey(10)), A(0xFF, Grey(0))}, {Grey(99), Grey(0)}, {Grey(101), Grey(255)}, {A(1, Grey(190)), A(1, Grey(255))}}},
    // The key pixel counts in the mean (100) but stays.
    {"ContrastKey", k24, ColorRef(0, 0, 0), [](HGLOBAL h) { return ImgContrast(h, -100); },
     {{Grey(0), Grey(0)}, {Grey(200), Grey(100)}}},
    // Red 31 widens to 255: pivot 0.299 * 127.5 = 38.12, and -100 flattens to 38 (fields 4, 9, 4).
    {"Contrast565", k565, {}, [](HGLOBAL h) { return ImgContrast(h, -100); },
     {{F565(31, 0, 0), F565(4, 9, 4)}, {0, F565(4, 9, 4)}}},
    {"Contrast555", k555Masks, {}, [](HGLOBAL h) { return ImgContrast(h, -100); },
     {{F555(31, 0, 0), F555(4, 4, 4)}, {0, F555(4, 4, 4)}}},
    // Adjustable contrast moves the intensity half-way along the curve that fixes 0, 1/2 and 1.
    {"AdjContrastRaise", k32, {}, [](HGLOBAL h) { return ImgAdjContrast(h, 1); },
     {{A(0x5A, Grey(64)), A(0x5A, Grey(51))}, {Grey(192), Grey(205)}, {Grey(0), Grey(0)}, {Grey(255), Grey(255)},
      {Grey(128), Grey(128)}, {Grey(10), Grey(5)}, {Rgb(200, 0, 0), Rgb(185, 0, 0)}, {Rgb(0, 0, 255), Rgb(0, 0, 255)}}},
    {"AdjContrastLower", k32, {}, [](HGLOBAL h) { return ImgAdjContrast(h, 0); },
     {{A(0x5A, Grey(64)), A(0x5A, Grey(77))}, {Grey(192), Grey(179)}, {Grey(5), Grey(7)}, {Grey(128), Grey(128)}}},
    {"AdjContrastAnyOtherModeRaises", k32, {}, [](HGLOBAL h) { return ImgAdjContrast(h, -3); }, {{Grey(64), Grey(51)}}},
    {"AdjContrastKey", k32, ColorRef(64, 64, 64), [](HGLOBAL h) { return ImgAdjContrast(h, 1); },
     {{Grey(64), Grey(64)}, {A(0x33, Grey(64)), Grey(51)}, {A(0xFF, Grey(192)), Grey(205)}}},
    {"AdjContrastAlphaKey", k32, kAlpha | ColorRef(51, 51, 51), [](HGLOBAL h) { return ImgAdjContrast(h, 0); },
     {{A(0x77, Grey(192)), A(0x77, Grey(179))}, {Grey(64), Grey(77)}}},
    // The RGB shift: each channel by its own amount, saturating; the low 16 bits of each argument.
    {"RgbShift", k32, {}, [](HGLOBAL h) { return ImgAdjustColorRGB(h, 10, -50, 6); },
     {{kM0, A(0x80, Rgb(20, 50, 255))}, {kM1, Rgb(10, 0, 6)}, {kM2, A(0xFF, Rgb(255, 78, 7))}, {kM3, A(1, Rgb(87, 27, 83))}}},
    {"RgbShiftOneChannelEach", k32, {}, [](HGLOBAL h) { return ImgAdjustColorRGB(h, 0, 0, 9); },
     {{Rgb(1, 2, 3), Rgb(1, 2, 12)}, {Rgb(250, 250, 250), Rgb(250, 250, 255)}}},
    {"RgbShiftSaturates", k32, {}, [](HGLOBAL h) { return ImgAdjustColorRGB(h, 300, -300, 0); },
     {{kM0, A(0x80, Rgb(255, 0, 250))}, {kM3, A(1, Rgb(255, 0, 77))}}},
    {"RgbShiftLow16Bits", k32, {}, [](HGLOBAL h) { return ImgAdjustColorRGB(h, 0x1000A, 0xFFFF, -0x10000); },
     {{Grey(100), Rgb(110, 99, 100)}}},
    {"RgbShiftLargest", k32, {}, [](HGLOBAL h) { return ImgAdjustColorRGB(h, 0x7FFF, -0x8000, 0x7FFF); },
     {{Grey(100), Rgb(255, 0, 255)}}},
    {"RgbShiftZeroWithKeyClearsAlpha", k32, ColorRef(0, 0, 0), [](HGLOBAL h) { return ImgAdjustColorRGB(h, 0, 0, 0); },
     {{kM0, Rgb(10, 100, 250)}, {kM1, kM1}, {kM2, Rgb(255, 128, 1)}, {kM3, Grey(77)}}},
    // Key blue: the blue pixel with alpha 0 stays, with alpha 0x20 it is not the key.
    {"RgbShiftKey", k32, ColorRef(0, 0, 255), [](HGLOBAL h) { return ImgAdjustColorRGB(h, 255, 0, -255); },
     {{Rgb(0, 0, 255), Rgb(0, 0, 255)}, {A(0x20, Rgb(0, 0, 255)), Rgb(255, 0, 0)}, {A(0x90, Rgb(255, 0, 0)), Rgb(255, 0, 0)}}},
    {"RgbShiftAlphaFlag", k32, kAlpha | ColorRef(0, 0, 255), [](HGLOBAL h) { return ImgAdjustColorRGB(h, 255, 0, -255); },
     {{Rgb(0, 0, 255), Rgb(255, 0, 0)}, {A(0x20, Rgb(0, 0, 255)), A(0x20, Rgb(255, 0, 0))}}},
    // HSI: half a turn makes red cyan and blue yellow; a grey has no hue to turn.
    {"HsiHalfTurn", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, 0.5, 0, 0); },
     {{A(0x44, Rgb(255, 0, 0)), A(0x44, Rgb(0, 255, 255))}, {Rgb(0, 0, 255), Rgb(255, 255, 0)}, {A(0xFF, Grey(200)), A(0xFF, Grey(200))}}},
    {"HsiNoShift", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, 0, 0, 0); },
     {{kM0, kM0}, {kM1, kM1}, {kM2, kM2}, {kM3, kM3}}},
    // Grey floor(255 (max + min) / 510 + 0.5): (250 + 10) / 2 = 130, (255 + 1) / 2 = 128.
    {"HsiGrey", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, 0.2, -1, 0); },
     {{kM0, A(0x80, Grey(130))}, {kM1, Grey(0)}, {kM2, A(0xFF, Grey(128))}, {kM3, A(1, Grey(77))}}},
    {"HsiKey", k32, ColorRef(0, 0, 255), [](HGLOBAL h) { return ImgAdjustColorHSI(h, 0.5, 0, 0); },
     {{Rgb(0, 0, 255), Rgb(0, 0, 255)}, {A(0x20, Rgb(0, 0, 255)), Rgb(255, 255, 0)}, {A(0x90, Rgb(255, 0, 0)), Rgb(0, 255, 255)}}},
    {"HsiAlphaFlag", k32, kAlpha | ColorRef(0, 0, 255), [](HGLOBAL h) { return ImgAdjustColorHSI(h, 0.5, 0, 0); },
     {{Rgb(0, 0, 255), Rgb(255, 255, 0)}, {A(0x90, Rgb(255, 0, 0)), A(0x90, Rgb(0, 255, 255))}}},
    // Intensity and saturation are held in 0..1; the hue is wrapped once by 1, then into 0..1, and
    // a hue or saturation that is not a number counts as 0. l = 250 / 510 gives grey 125.
    {"HsiDesaturate", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, 0, -1, 0); }, {{Rgb(200, 100, 50), Grey(125)}}},
    {"HsiBlackLit", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, 0, 1, 0.5); }, {{0, Rgb(255, 0, 0)}}},
    {"HsiIntensityAtOne", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, 0, 0, 5); }, {{Rgb(10, 20, 30), Grey(255)}}},
    {"HsiIntensityAtZero", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, 0, 0, -5); }, {{Rgb(10, 20, 30), 0}}},
    {"HsiWrapsOnce", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, -0.75, 0, 0); }, {{Rgb(0, 255, 255), Rgb(128, 0, 255)}}},
    {"HsiTwoAndAHalfTurns", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, 2.5, 0, 0); }, {{Rgb(255, 0, 0), Rgb(0, 255, 255)}}},
    {"HsiMinus1Point75", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, -1.75, 0, 0); }, {{Rgb(255, 0, 0), Rgb(128, 255, 0)}}},
    {"HsiMinus3Point25", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, -3.25, 0, 0); }, {{Rgb(255, 0, 0), Rgb(128, 0, 255)}}},
    {"HsiNaNHue", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, std::nan(""), 0, 0); }, {{Rgb(0, 255, 255), Rgb(255, 0, 0)}}},
    {"HsiInfiniteHue", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, HUGE_VAL, 0, 0); }, {{Rgb(0, 255, 255), Rgb(255, 0, 0)}}},
    {"HsiNaNSaturation", k32, {}, [](HGLOBAL h) { return ImgAdjustColorHSI(h, 0, std::nan(""), 0); }, {{Rgb(200, 100, 50), Grey(125)}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Examples, TonePixelTest, ::testing::ValuesIn(kPixelCases),
                         [](const auto& param) { return std::string(param.param.name); });

// --- equalisation and normalisation: whole histograms, so whole images

struct HistogramCase {
  const char* name;
  bool equalise;
  int width, height;  // negative height: top-down
  std::optional<uint32_t> transparentColor;
  std::vector<std::pair<uint32_t, int>> before, after;  // runs of pixels in stored order
};

void PrintTo(const HistogramCase& c, std::ostream* os) { *os << c.name; }

class HistogramExamples : public test::MemoryCheckedTest, public ::testing::WithParamInterface<HistogramCase> {};

// Transparency in force with this exact transparentColor value (bit 31 included).
void SetTransparentColor(TestImage& image, std::optional<uint32_t> value) {
  if (value) image.edit([&](ImageRecord& r) { r.transparency = 1, r.transparentColor = *value; });
}

TEST_P(HistogramExamples, GivesTheHandValues) {
  const HistogramCase& c = GetParam();
  const auto rowsOf = [&](const std::vector<std::pair<uint32_t, int>>& runs) {
    Picture rows(static_cast<size_t>(std::abs(c.height)));
    size_t i = 0;
    for (const auto& [value, count] : runs)
      for (int k = 0; k < count; ++k, ++i) rows[i / static_cast<size_t>(c.width)].push_back(value);
    return rows;
  };
  test::AtEveryLevel([&] {
    TestImage image({.depth = 32, .width = c.width, .height = c.height}, rowsOf(c.before));
    SetTransparentColor(image, c.transparentColor);
    ASSERT_EQ(c.equalise ? ImgEqualise(image.handle()) : ImgNormalise(image.handle()), 1);
    EXPECT_EQ(test::PictureOf(image.bitmap()), rowsOf(c.after));
  });
}

// Levels are (77 r + 150 g + 29 b) >> 8: pure green is 149, pure red 76, red 100 is 30.
// clang-format off
const HistogramCase kHistogramCases[] = {
    // Normalise clips 1 % at each end (one pixel in 100) and stretches onto 0..254.
    {"NormaliseFortyAndSixtyPercent", false, 10, 10, {},
     {{Grey(50), 40}, {Grey(125), 1}, {Grey(200), 59}}, {{Grey(0), 40}, {Grey(127), 1}, {Grey(254), 59}}},
    {"NormaliseClipsOnePercent", false, 10, 10, {},
     {{Grey(0), 1}, {Grey(100), 49}, {Grey(150), 49}, {Grey(255), 1}}, {{Grey(0), 50}, {Grey(254), 50}}},
    {"NormaliseClipMeetsItself", false, 10, 10, {}, {{Grey(30), 1}, {Grey(100), 99}}, {{Grey(0), 1}, {Grey(254), 99}}},
    {"NormaliseFewPixels", false, 3, 1, {}, {{Grey(10), 1}, {Grey(20), 1}, {Grey(110), 1}},
     {{Grey(0), 1}, {Grey(25), 1}, {Grey(254), 1}}},
    {"NormaliseLuminance", false, 3, 1, {}, {{Rgb(0, 255, 0), 1}, {Grey(100), 1}, {Grey(0), 1}},
     {{Rgb(0, 254, 0), 1}, {Grey(170), 1}, {Grey(0), 1}}},
    // Blue weighs 29 (255 is level 28), red 77 (255 is level 76): the range is set by the coloured pixel.
    {"NormaliseBlueWeighsLeast", false, 3, 1, {}, {{Rgb(0, 0, 255), 1}, {Grey(20), 1}, {Grey(0), 1}},
     {{Rgb(0, 0, 254), 1}, {Grey(181), 1}, {Grey(0), 1}}},
    {"NormaliseRedWeighs77", false, 3, 1, {}, {{Rgb(255, 0, 0), 1}, {Grey(50), 1}, {Grey(0), 1}},
     {{Rgb(254, 0, 0), 1}, {Grey(167), 1}, {Grey(0), 1}}},
    {"NormaliseFlat", false, 4, 4, {}, {{A(0x80, Grey(90)), 16}}, {{A(0x80, Grey(90)), 16}}},
    {"NormaliseTopDown", false, 2, -2, {}, {{Grey(10), 1}, {Grey(20), 1}, {Grey(30), 1}, {Grey(60), 1}},
     {{Grey(0), 1}, {Grey(50), 1}, {Grey(101), 1}, {Grey(254), 1}}},
    // Equalise: C[0] black pixels map to 0, level v to 255 (C[v] - C[0]) / (N - C[0]), truncated.
    {"EqualiseFlat", true, 5, 5, {}, {{Grey(77), 25}}, {{Grey(255), 25}}},
    {"EqualiseTruncates", true, 5, 5, {}, {{Grey(0), 5}, {Grey(100), 10}, {Grey(200), 10}},
     {{Grey(0), 5}, {Grey(127), 10}, {Grey(255), 10}}},
    {"EqualiseWithoutBlack", true, 5, 5, {}, {{Grey(50), 10}, {Grey(150), 15}}, {{Grey(102), 10}, {Grey(255), 15}}},
    {"EqualiseChannelsThroughTheTable", true, 5, 5, {}, {{Grey(0), 12}, {Rgb(255, 0, 0), 1}, {Grey(100), 12}},
     {{Grey(0), 12}, {Rgb(255, 0, 0), 1}, {Grey(255), 12}}},
    {"EqualiseSpreadOfOne", true, 5, 5, {}, {{Grey(0), 24}, {Grey(10), 1}}, {{Grey(0), 24}, {Grey(255), 1}}},
    {"EqualiseNarrowStays", true, 4, 100, {}, {{Grey(77), 400}}, {{Grey(77), 400}}},
    {"EqualiseTopDownStays", true, 5, -5, {}, {{Grey(77), 25}}, {{Grey(77), 25}}},
    // Red 100 at level 30: equalised to 255 * 3 / 14 = 54, normalised over 0..200 to 127.
    {"EqualiseKeyed", true, 5, 5, 0x000064,
     {{Rgb(100, 0, 0), 2}, {A(0x40, Rgb(100, 0, 0)), 1}, {A(0x80, 0), 11}, {A(0xFF, Grey(200)), 11}},
     {{Rgb(100, 0, 0), 2}, {Rgb(54, 0, 0), 1}, {0, 11}, {Grey(255), 11}}},
    {"EqualiseAlphaFlag", true, 5, 5, kAlpha | 0x000064,
     {{Rgb(100, 0, 0), 2}, {A(0x40, Rgb(100, 0, 0)), 1}, {A(0x80, 0), 11}, {A(0xFF, Grey(200)), 11}},
     {{Rgb(54, 0, 0), 2}, {A(0x40, Rgb(54, 0, 0)), 1}, {A(0x80, 0), 11}, {A(0xFF, Grey(255)), 11}}},
    {"NormaliseKeyed", false, 5, 5, 0x000064,
     {{Rgb(100, 0, 0), 2}, {A(0x40, Rgb(100, 0, 0)), 1}, {A(0x80, 0), 11}, {A(0xFF, Grey(200)), 11}},
     {{Rgb(100, 0, 0), 2}, {Rgb(127, 0, 0), 1}, {0, 11}, {Grey(254), 11}}},
    {"NormaliseAlphaFlag", false, 5, 5, kAlpha | 0x000064,
     {{Rgb(100, 0, 0), 2}, {A(0x40, Rgb(100, 0, 0)), 1}, {A(0x80, 0), 11}, {A(0xFF, Grey(200)), 11}},
     {{Rgb(127, 0, 0), 2}, {A(0x40, Rgb(127, 0, 0)), 1}, {A(0x80, 0), 11}, {A(0xFF, Grey(254)), 11}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Examples, HistogramExamples, ::testing::ValuesIn(kHistogramCases),
                         [](const auto& param) { return std::string(param.param.name); });

// --- colour tables: palette images change their table (and its copy), not their indices

struct PaletteCase {
  const char* name;
  BitmapSpec bitmap;
  std::optional<uint32_t> transparentColor;
  int (*call)(HGLOBAL image);
  std::vector<uint32_t> entries;  // after the call
  std::vector<std::vector<uint32_t>> before, after;
};

void PrintTo(const PaletteCase& c, std::ostream* os) { *os << c.name; }

class TonePaletteTest : public test::MemoryCheckedTest, public ::testing::WithParamInterface<PaletteCase> {};

TEST_P(TonePaletteTest, ChangesTheTableAndItsCopy) {
  const PaletteCase& c = GetParam();
  TestImage image(c.bitmap, c.before);
  SetTransparentColor(image, c.transparentColor);
  ASSERT_EQ(c.call(image.handle()), 1);
  const std::vector<uint8_t> bytes = image.bytes(), copy = image.headerCopyBytes();
  std::vector<uint32_t> entries(c.entries.size());
  std::memcpy(entries.data(), bytes.data() + 40, 4 * entries.size());
  EXPECT_EQ(entries, c.entries);
  EXPECT_EQ(test::PictureOf(image.bitmap()), c.after);
  const size_t tables = test::BitsOffsetOf(c.bitmap);
  EXPECT_TRUE(copy.size() >= tables && std::equal(copy.begin(), copy.begin() + long(tables), bytes.begin()));
}

// clang-format off
const PaletteCase kPaletteCases[] = {
    // The reserved byte is complemented too.
    {"Invert8", {.depth = 8, .width = 3, .height = 2, .clrUsed = 3, .palette = {0x00102030, 0x00FFFFFF, 0}}, {}, ImgInvert,
     {0xFFEFDFCF, 0xFF000000, 0xFFFFFFFF}, {{0, 1, 2}, {2, 1, 0}}, {{0, 1, 2}, {2, 1, 0}}},
    // Entries in the transparent colour stay at every index; a different reserved byte does not match.
    {"Invert4Key", {.depth = 4, .width = 2, .height = 1, .clrUsed = 4, .palette = {0x00102030, 0x00AABBCC, 0x00102030, 0x01102030}},
     ColorRef(0x10, 0x20, 0x30), ImgInvert, {0x00102030, 0xFF554433, 0x00102030, 0xFEEFDFCF}, {{0, 1}}, {{0, 1}}},
    // One bit: the pixels are complemented, the table is not.
    {"Invert1", {.depth = 1, .width = 9, .height = 1, .palette = {0, 0xFFFFFF}}, {}, ImgInvert, {0, 0xFFFFFF},
     {{1, 0, 0, 0, 0, 0, 0, 0, 0}}, {{0, 1, 1, 1, 1, 1, 1, 1, 1}}},
    {"Invert1KeyChangesNothing", {.depth = 1, .width = 9, .height = 1, .palette = {0, 0xFFFFFF}}, 0, ImgInvert, {0, 0xFFFFFF},
     {{1, 0, 0, 0, 0, 0, 0, 0, 1}}, {{1, 0, 0, 0, 0, 0, 0, 0, 1}}},
    {"Gamma15", {.depth = 8, .width = 2, .height = 1, .clrUsed = 2, .palette = {0x5A010204, 0x0080FF40}}, {},
     [](HGLOBAL h) { return ImgGamma(h, 15); }, {0x5A060A10, 0x00A1FF65}, {{1, 0}}, {{1, 0}}},
    {"BrightnessKey", {.depth = 4, .width = 1, .height = 1, .clrUsed = 4, .palette = {0x00102030, 0x7F102030, 0x00102031, 0x00102030}},
     ColorRef(0x10, 0x20, 0x30), [](HGLOBAL h) { return ImgBrightness(h, 10); },
     {0x00102030, 0x7F102030, 0x001A2A3B, 0x00102030}, {{0}}, {{0}}},
    {"Brightness1", {.depth = 1, .width = 9, .height = 1, .palette = {0, 0x404040}}, {},
     [](HGLOBAL h) { return ImgBrightness(h, 16); }, {0x101010, 0x505050}, {{1, 0, 0, 0, 0, 0, 0, 0, 0}}, {{1, 0, 0, 0, 0, 0, 0, 0, 0}}},
    // Three of four pixels white: mean 191.25 in every channel.
    // The mean reads the high nibble first, and an index beyond the table as black: (64 + 0 + 255) / 3.
    {"Contrast4", {.depth = 4, .width = 3, .height = 1, .clrUsed = 2, .palette = {0x404040, 0xFFFFFF}}, {},
     [](HGLOBAL h) { return ImgContrast(h, -100); }, {0x6A6A6A, 0x6A6A6A}, {{0, 15, 1}}, {{0, 15, 1}}},
    {"Contrast8", {.depth = 8, .width = 2, .height = 2, .clrUsed = 2, .palette = {0, 0xFFFFFF}}, {},
     [](HGLOBAL h) { return ImgContrast(h, -100); }, {0xBFBFBF, 0xBFBFBF}, {{1, 1}, {0, 1}}, {{1, 1}, {0, 1}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Examples, TonePaletteTest, ::testing::ValuesIn(kPaletteCases),
                         [](const auto& param) { return std::string(param.param.name); });

// --- where the walks stop: padding and the end of the block

TEST(ToneWalkTest, TwentyFourBitInvertWalksThreeBytePaddingLikeAPixelAndStopsAtTheBlock) {
  test::AtEveryLevel([] {
    TestImage image({.depth = 24, .width = 3, .height = 1}, {{1, 2, 3}});
    image.setColorKey(0x00FFFFFF);
    ASSERT_EQ(ImgInvert(image.handle()), 1);
    EXPECT_TRUE(test::PaddingIs(image.bitmap(), 0xFF));
    TestImage extra({.depth = 32, .width = 1, .height = 1, .extraBytes = 3}, {{0}});
    ASSERT_EQ(ImgInvert(extra.handle()), 1);
    const std::vector<uint8_t> bytes = extra.bytes();
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 40, bytes.end()), std::vector<uint8_t>(7, 0xFF));
  });
}

// Top-down rows are walked by the maps (the colour shifts leave them, as the frame table checks).
TEST(ToneWalkTest, TopDownRowsAreWalkedByTheMaps) {
  // Gamma 30 maps 100 to 187 and 200 to 235; the mean of both rows is 150.
  const std::pair<int (*)(HGLOBAL), test::Picture> cases[] = {
      {[](HGLOBAL h) { return ImgBrightness(h, 1); }, {{Grey(101)}, {Grey(201)}}},
      {[](HGLOBAL h) { return ImgGamma(h, 30); }, {{Grey(187)}, {Grey(235)}}},
      {[](HGLOBAL h) { return ImgContrast(h, -100); }, {{Grey(150)}, {Grey(150)}}}};
  for (const auto& [call, expected] : cases) {
    TestImage image({.depth = 32, .width = 1, .height = -2}, {{Grey(100)}, {Grey(200)}});
    ASSERT_EQ(call(image.handle()), 1);
    EXPECT_EQ(test::PictureOf(image.bitmap()), expected);
  }
}

// --- the HSI conversions

TEST(HsiTest, EveryColourComesBack) {
  for (int red = 0; red < 256; ++red) {
    for (int green = 0; green < 256; green += red % 3 + 1) {
      for (int blue = 0; blue < 256; ++blue) {
        double hue = 0, saturation = 0, intensity = 0;
        RgbToHsi(static_cast<uint8_t>(red), static_cast<uint8_t>(green), static_cast<uint8_t>(blue), hue, saturation,
                 intensity);
        uint8_t r = 0, g = 0, b = 0;
        HsiToRgb(hue, saturation, intensity, r, g, b);
        ASSERT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{red, green, blue}));
      }
    }
  }
}

}  // namespace
}  // namespace ormi
