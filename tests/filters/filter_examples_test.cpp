// The neighbourhood filters on hand-computed windows at every vector level: each example window is
// also repeated across a wide image so that its centre meets every lane of the vector kernels.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "filters/despeckle.h"
#include "filters/emboss_edge.h"
#include "filters/filter_math.h"
#include "filters/row_ring.h"
#include "image/global_memory.h"
#include "image/transparency.h"
#include "support/every_level.h"

namespace ormi {
namespace {

using test::Grey;
using test::Picture;
using test::PictureOf;
using test::Rgb;
using test::TestImage;

constexpr test::BitmapSpec Spec32(int width, int height) { return {.depth = 32, .width = width, .height = height}; }
Picture FlatRows(int width, int height, uint32_t value) { return test::Tiled({value}, width, height); }

// Runs a routine on the image's locked bitmap, as the bitmap-handle layer would.
template <class Routine>
int OnBitmap(const TestImage& image, Routine routine) {
  GlobalLockGuard lock(image.bitmap());
  return routine(lock.block());
}

struct WindowCase {
  const char* name;
  std::function<int(const TestImage&)> call;
  Picture window;  // k x k around the centre, rows in stored order
  uint32_t expected;
  std::optional<uint32_t> transparentColor = std::nullopt;
};

void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

class FilterWindowTest : public test::MemoryCheckedTest, public ::testing::WithParamInterface<WindowCase> {};

// The window alone, then 14 windows side by side: each centre takes the expected value and the
// border (k / 2 pixels wide) keeps its own.
TEST_P(FilterWindowTest, CentreTakesTheHandValue) {
  const WindowCase& c = GetParam();
  const int k = static_cast<int>(c.window.size()), half = k / 2;
  test::AtEveryLevel([&] {
    for (int repeats : {1, 14}) {
      Picture source = c.window;
      for (auto& row : source) row = test::Tiled(row, k * repeats, 1)[0];
      TestImage image(Spec32(k * repeats, k), source);
      if (c.transparentColor)
        image.edit([&](ImageRecord& r) { r.transparency = 1, r.transparentColor = *c.transparentColor; });
      ASSERT_EQ(c.call(image), 1);
      const Picture result = PictureOf(image.bitmap());
      for (int t = 0; t < repeats; ++t) EXPECT_EQ(result[half][t * k + half], c.expected) << "window " << t;
      for (int y = 0; y < k; ++y) {
        for (int x = 0; x < k * repeats; ++x) {
          if (y < half || y >= k - half || x < half || x >= k * repeats - half) {
            EXPECT_EQ(result[y][x], source[y][x]) << x << "," << y;
          }
        }
      }
    }
  });
}

// A centre among eight equal neighbours.
Picture Centred(uint32_t centre, uint32_t neighbours) {
  return {{neighbours, neighbours, neighbours}, {neighbours, centre, neighbours}, {neighbours, neighbours, neighbours}};
}

// The centre, its eight nearest neighbours and the sixteen further out.
Picture Ringed(uint32_t centre, uint32_t inner, uint32_t outer) {
  Picture window(5, std::vector<uint32_t>(5, outer));
  for (int y = 1; y <= 3; ++y) std::fill(window[y].begin() + 1, window[y].begin() + 4, inner);
  window[2][2] = centre;
  return window;
}

std::function<int(const TestImage&)> Blur(double amount) {
  return [amount](const TestImage& image) { return ImgBlur(image.handle(), amount); };
}
std::function<int(const TestImage&)> Sharpen(double amount) {
  return [amount](const TestImage& image) { return ImgSharpen(image.handle(), amount); };
}
// Edge without the normalisation of the export.
std::function<int(const TestImage&)> EdgeOnly(double amount) {
  return [amount](const TestImage& image) {
    return OnBitmap(image, [&](DibBlock b) { return EdgeWindows(b, amount, TransparencyArgOf(image.record())); });
  };
}
int Enhance(const TestImage& image) { return ImgEnhance(image.handle()); }
// Emboss without the normalisation of the export.
int EmbossOnly(const TestImage& image) {
  return OnBitmap(image, [&](DibBlock b) { return EmbossWindows(b, TransparencyArgOf(image.record())); });
}
// Three rows rising by `step` from `first`, and a centre.
Picture Rising(int first, int step, uint32_t alpha, uint32_t centre) {
  auto row = [&](int i) { return std::vector<uint32_t>(3, Grey(static_cast<uint32_t>(first + i * step), alpha)); };
  Picture w{row(0), row(1), row(2)};
  w[1][1] = centre;
  return w;
}

// Edge: the four edge neighbours are 255 and must not count; the diagonals and the centre do.
Picture Diagonals(uint32_t centre, uint32_t diagonals) {
  const uint32_t e = Grey(255, 0x66), d = Grey(diagonals, 0x66);
  return {{d, e, d}, {e, Grey(centre, 0x66), e}, {d, e, d}};
}

// clang-format off
const WindowCase kWindowCases[] = {
    // Blur: centre weight c = (100 - amount) / 2 - 13 truncated, corners 1 and edge neighbours 2,
    // divisor d = c + 12, (S + d / 2) / d truncated towards zero; a sum out of range leaves the value.
    {"Blur0", Blur(0), Centred(Grey(255, 0x80), Grey(0)), Grey(193, 0x80)},  // c 37, d 49: (37 * 255 + 24) / 49
    {"Blur50", Blur(50), Centred(Grey(240), Grey(0)), Grey(120)},              // c 12, d 24: (2880 + 12) / 24
    {"Blur74", Blur(74), Centred(Grey(255), Grey(12)), Grey(12)},              // c 0, d 12: (144 + 6) / 12
    {"Blur75", Blur(75), Centred(Grey(255), Grey(12)), Grey(12)},              // -0.5 truncates to c 0
    {"Blur76", Blur(76), Centred(Grey(0), Grey(11)), Grey(12)},                // c -1, d 11: (132 + 5) / 11
    {"Blur90", Blur(90), Centred(Grey(100), Grey(100)), Grey(100)},            // c -8, d 4
    {"Blur97", Blur(97), Centred(Grey(100), Grey(100)), Grey(100)},            // -11.5 truncates to -11, d 1
    {"Blur98", Blur(98), Centred(Grey(100), Grey(100)), Grey(0)},              // c -12: the weights sum to 0
    {"Blur100", Blur(100), Centred(Grey(100), Grey(100)), Grey(100)},          // S = -100: the value stays
    {"Blur200", Blur(200), Centred(Grey(1), Grey(6)), Grey(9)},                // c -63, d 1: -63 + 12 * 6
    // Red: -13 * 18 + 12 * 20 = 6; green and blue: -1300 + 1200 < 0, so they keep 100.
    {"Blur100PerChannel", Blur(100), Centred(Rgb(18, 100, 100), Rgb(20, 100, 100)), Rgb(6, 100, 100)},
    // Beside another white pixel, which every window reads unfiltered: (2 * 255 + 6) / 12.
    {"BlurReadsUnfilteredValues", Blur(74), {{0, 0, 0}, {0, Grey(255), Grey(255)}, {0, 0, 0}}, Grey(43)},
    // Amount 90: S = -8 + 2 * 2 = -4 and (-4 + 2) / 4 is 0, not -1.
    {"BlurTruncatesTowardZero", Blur(90), {{0, Grey(2), 0}, {0, Grey(1), 0}, {0, 0, 0}}, Grey(0)},
    // Sharpen: c = (100 - amount) / 2 + 13 truncated, neighbours -1, d = c - 8.
    {"Sharpen0", Sharpen(0), Centred(Grey(100, 0x99), Grey(100, 0x33)), Grey(100, 0x99)},  // c 63, d 51
    {"Sharpen0Clamps", Sharpen(0), Centred(Grey(255), Grey(0)), Grey(255)},               // 16065 > 255 * 51
    {"Sharpen100", Sharpen(100), Centred(Grey(200), Grey(100)), Grey(255)},               // c 13, d 1: 1400
    {"Sharpen100Below0", Sharpen(100), Centred(Grey(50), Grey(100)), Grey(0)},            // 650 - 1200
    {"Sharpen50", Sharpen(50), Centred(Grey(100), Grey(90)), Grey(105)},                  // c 38, d 26: (3800 - 1080 + 13) / 26
    {"Sharpen74", Sharpen(74), Centred(Grey(20), Grey(0)), Grey(37)},                     // c 26, d 14: (520 + 7) / 14
    {"Sharpen75", Sharpen(75), Centred(Grey(20), Grey(0)), Grey(38)},                     // 25.5 truncates: (500 + 6) / 13
    {"Sharpen101", Sharpen(101), Centred(Grey(100), Grey(100)), Grey(0)},                 // c 12: the weights sum to 0
    // Edge: k = 6.5 - amount / 20; trunc(k c) less trunc(k d / 4) for each diagonal, each product
    // truncated on its own.
    {"Edge50", EdgeOnly(50), Diagonals(100, 100), Grey(0, 0x66)},       // k 4: 400 - 4 * 100
    {"Edge0", EdgeOnly(0), Diagonals(101, 101), Grey(0, 0x66)},         // k 6.5: 656 - 4 * 164
    {"Edge0Small", EdgeOnly(0), Diagonals(7, 7), Grey(1, 0x66)},        // 45 - 4 * 11
    {"Edge100", EdgeOnly(100), Diagonals(100, 100), Grey(2, 0x66)},     // k 1.5: 150 - 4 * 37
    {"Edge50Clamps", EdgeOnly(50), Diagonals(100, 0), Grey(255, 0x66)},  // 400
    {"Edge50Below0", EdgeOnly(50), Diagonals(0, 100), Grey(0, 0x66)},   // -400
    {"Edge140", EdgeOnly(140), Diagonals(0, 200), Grey(100, 0x66)},     // k -0.5: the signs flip, 4 * trunc(0.125 * 200)
    // Emboss: weights -1 -2 0 / -2 0 2 / 0 2 1 over the stored rows, so rows rising by 10 give
    // 3 (v + 10) - 3 (v - 10) = 60 for any v, falling ones -60, clamped to 0; alpha-0 pixels stay
    // under bit 31, key pixels (grey 50) under a colour key.
    {"EmbossRising", EmbossOnly, Rising(20, 10, 0xFF, Grey(30, 0xFF)), Grey(60, 0xFF)},
    {"EmbossFalling", EmbossOnly, Rising(200, -10, 0xFF, Grey(190, 0xFF)), Grey(0, 0xFF)},
    {"EmbossFlat", EmbossOnly, Centred(Grey(90, 0x44), Grey(90, 0x44)), Grey(0, 0x44)},
    {"EmbossAlphaKeyStays", EmbossOnly, Rising(40, 10, 0x80, Grey(50, 0)), Grey(50, 0), 0x80000000},
    {"EmbossAlphaKey", EmbossOnly, Rising(40, 10, 0x80, Grey(50, 1)), Grey(60, 1), 0x80000000},
    {"EmbossKeyStays", EmbossOnly, Rising(40, 10, 0x80, Grey(50, 0)), Grey(50, 0), 0x323232},
    {"EmbossKey", EmbossOnly, Rising(40, 10, 0x80, Grey(50, 1)), Grey(60, 0), 0x323232},
    // Enhance: centre 80, edge neighbours 40, diagonals 20, the outer ring the rest of 444; only
    // pixels closer than 50 (squared distance summed over channels below 2500) take part;
    // (S + (SW - 1) / 2) / SW.
    {"EnhanceFlat", Enhance, Ringed(Grey(100, 0xA0), Grey(100), Grey(100)), Grey(100, 0xA0)},
    {"EnhanceAllClose", Enhance, Ringed(Grey(100, 0xA0), Grey(120), Grey(120)), Grey(116, 0xA0)},  // (8000 + 364 * 120 + 221) / 444
    {"EnhanceOnlyTheCentre", Enhance, Ringed(Grey(100), Grey(160), Grey(160)), Grey(100)},
    {"EnhanceInnerOnly", Enhance, Ringed(Grey(100), Grey(120), Grey(200)), Grey(115)},  // (8000 + 240 * 120 + 159) / 320
    // Left and right 101 (40 each), the rest 0: (16080 + 79) / 160 = 100, an exact half rounding down.
    {"EnhanceHalfRoundsDown", Enhance, [] { Picture w = Ringed(Grey(100), 0, 0); w[2][1] = w[2][3] = Grey(101); return w; }(), Grey(100)},
    {"EnhanceDistance2500", Enhance, [] { Picture w = Ringed(Grey(100), 0, 0); w[2][3] = Rgb(150, 100, 100); return w; }(), Grey(100)},
    // D 2401: SW 120, red (8000 + 5960 + 59) / 120, the others (12000 + 59) / 120.
    {"EnhanceDistance2401", Enhance, [] { Picture w = Ringed(Grey(100), 0, 0); w[2][3] = Rgb(149, 100, 100); return w; }(), Rgb(116, 100, 100)},
    {"EnhanceDistance2352", Enhance, [] { Picture w = Ringed(Grey(100), 0, 0); w[2][3] = Grey(128); return w; }(), Grey(109)},
    {"EnhanceDistanceInBlue", Enhance, [] { Picture w = Ringed(Grey(100), 0, 0); w[2][3] = Rgb(100, 100, 51); return w; }(), Rgb(100, 100, 84)},
    // A colour key leaves key pixels (the colour with alpha 0) and clears the alpha of changed
    // pixels, the key counting as a neighbour: white beside blur 74's centre gives (2 * 255 + 6) / 12.
    {"BlurKeyStays", Blur(74), Centred(Grey(255, 0), Grey(0, 0x40)), Grey(255, 0), 0xFFFFFF},
    {"BlurKeyNeighbour", Blur(74), {{0, 0, 0}, {Grey(255, 0), Grey(255, 0x10), 0}, {0, 0, 0}}, Grey(43, 0), 0xFFFFFF},
    // Bit 31: blur and sharpen leave alpha-0 pixels and keep every alpha; edge and enhance offer no alpha key.
    {"BlurAlphaKeyStays", Blur(74), Centred(Grey(255, 0), Grey(0, 0)), Grey(255, 0), 0x80FFFFFF},
    {"BlurAlphaKey", Blur(74), {{0, 0, 0}, {Grey(255, 0), Grey(255, 0x7F), 0}, {0, 0, 0}}, Grey(43, 0x7F), 0x80FFFFFF},
    // Sharpen 100: 13 * 200 - (400 + 2 * 500) = 1200, clamped.
    {"SharpenKeyStays", Sharpen(100), Centred(Grey(200, 0), Grey(100, 0x55)), Grey(200, 0), 0xC8C8C8},
    {"SharpenKeyNeighbour", Sharpen(100), {{Grey(100), Grey(100), Grey(100)}, {Grey(200, 0), Grey(200, 1), Grey(100)},
                                          {Grey(100), Grey(100), Grey(100)}}, Grey(255, 0), 0xC8C8C8},
    {"SharpenAlphaKeyStays", Sharpen(100), Centred(Grey(50, 0), Grey(100, 0)), Grey(50, 0), 0x80000000},
    {"SharpenAlphaKey", Sharpen(100), {{Grey(100), Grey(100), Grey(100)}, {Grey(50, 0), Grey(50, 0xEE), Grey(100)},
                                      {Grey(100), Grey(100), Grey(100)}}, Grey(0, 0xEE), 0x80000000},
    {"EdgeKeyStays", EdgeOnly(0), Centred(Grey(7, 0), Grey(7, 0x30)), Grey(7, 0), 0x070707},
    {"EdgeKey", EdgeOnly(0), Centred(Grey(7, 0x9A), Grey(7, 0x30)), Grey(1, 0), 0x070707},
    {"EdgeNoAlphaKey", EdgeOnly(0), Centred(Grey(7, 0), Grey(7, 0)), Grey(1, 0), 0x80000000},
    {"EnhanceKeyStays", Enhance, Ringed(Grey(100, 0), Grey(120), Grey(120)), Grey(100, 0), 0x646464},
    {"EnhanceKeyColourWithAlpha", Enhance, Ringed(Grey(100, 0x44), Grey(120), Grey(120)), Grey(116, 0), 0x646464},
    {"EnhanceNoAlphaKey", Enhance, Ringed(Grey(100, 0), Grey(120), Grey(120)), Grey(116, 0), 0x80646464},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Examples, FilterWindowTest, ::testing::ValuesIn(kWindowCases),
                         [](const auto& param) { return std::string(param.param.name); });

// --- what a window reads and which pixels take its value

TEST(FilterExamplesTest, EveryWindowReadsUnfilteredValues) {
  test::AtEveryLevel([] {
    // Two white pixels one above the other, blur 74: each gets (2 * 255 + 6) / 12 = 43 from the
    // other's unfiltered value (the ring keeps the row above as it was).
    TestImage column(Spec32(3, 4), FlatRows(3, 4, Grey(0)));
    column.setPixel(1, 1, Grey(255));
    column.setPixel(1, 2, Grey(255));
    ASSERT_EQ(ImgBlur(column.handle(), 74), 1);
    EXPECT_EQ(column.pixel(1, 1), Grey(43));
    EXPECT_EQ(column.pixel(1, 2), Grey(43));
  });
}

// Selection over random images: keyed runs give the plain run's colours with alpha 0 except on
// key pixels; bit 31 keeps every alpha and leaves alpha-0 pixels where the filter offers that.
TEST(FilterExamplesTest, SelectionAgreesWithTheUnkeyedRun) {
  struct Filter {
    int (*call)(HGLOBAL);
    int border;
    bool offersAlphaKey;
  };
  const Filter filters[] = {{[](HGLOBAL h) { return ImgBlur(h, 0); }, 1, true},
                            {[](HGLOBAL h) { return ImgSharpen(h, 50); }, 1, true},
                            {ImgDespeckle, 0, false},
                            {ImgEnhance, 2, false}};
  constexpr uint32_t kKeyRef = 0x00123456, kKeyPixel = 0x00563412;
  test::AtEveryLevel([&] {
    for (const Filter& f : filters) {
      for (auto [width, height] : {std::pair{12, 10}, std::pair{37, 6}}) {
        std::mt19937 random(static_cast<unsigned>(width));
        Picture source(static_cast<size_t>(height), std::vector<uint32_t>(static_cast<size_t>(width)));
        for (auto& row : source) {
          for (uint32_t& pixel : row)
            pixel = random() % 3 == 0 ? kKeyPixel : static_cast<uint32_t>(random() & 0xFFFFFFFF);
        }
        source[5][5] = kKeyPixel | 0x01000000u;  // key colour but alpha 1: not the key
        for (uint32_t& pixel : source[4]) pixel &= 0xFFFFFF;
        TestImage plain(Spec32(width, height), source), keyed(Spec32(width, height), source),
            alpha(Spec32(width, height), source);
        keyed.setColorKey(kKeyRef);
        alpha.setAlphaTransparency(0x00FFFFFF);
        ASSERT_EQ(f.call(plain.handle()), 1);
        ASSERT_EQ(f.call(keyed.handle()), 1);
        ASSERT_EQ(f.call(alpha.handle()), 1);
        const Picture filtered = PictureOf(plain.bitmap()), withKey = PictureOf(keyed.bitmap()),
                      withAlpha = PictureOf(alpha.bitmap());
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            const uint32_t before = source[y][x];
            const bool edge = x < f.border || y < f.border || x >= width - f.border || y >= height - f.border;
            EXPECT_EQ(filtered[y][x] == before || !edge, true) << "border " << x << "," << y;
            EXPECT_EQ(withKey[y][x], before == kKeyPixel || edge ? before : filtered[y][x] & 0xFFFFFF) << x << "," << y;
            const bool transparent = (before >> 24) == 0;
            EXPECT_EQ(withAlpha[y][x], f.offersAlphaKey && transparent ? before : filtered[y][x]) << x << "," << y;
            EXPECT_EQ(withAlpha[y][x] >> 24, before >> 24);
          }
        }
      }
    }
  });
}

// --- emboss and the normalising exports

TEST(FilterExamplesTest, EmbossAndEdgeExportsNormaliseTheWholeBitmap) {
  auto rising = [](int width, int height, int first, int step, uint32_t alpha) {
    Picture rows;
    for (int y = 0; y < height; ++y)
      rows.emplace_back(static_cast<size_t>(width), Grey(static_cast<uint32_t>(first + step * y), alpha));
    return rows;
  };
  test::AtEveryLevel([&] {
    // Rows 50 60 70 80 90; the middle column of rows 1-3 becomes 60. Fifteen pixels clip nothing,
    // so 50..90 stretches onto 0..254: 60 -> 63, 70 -> 127, 80 -> 190. A key pixel (grey 70,
    // alpha 0) stays through both steps; every other pixel ends with alpha 0.
    for (bool keyed : {false, true}) {
      TestImage image(Spec32(3, 5), rising(3, 5, 50, 10, 0xFF));
      if (keyed) image.setPixel(1, 2, Grey(70, 0)), image.setColorKey(0x00464646);
      ASSERT_EQ(ImgEmboss(image.handle()), 1);
      const uint32_t a = keyed ? 0 : 0xFF;
      EXPECT_EQ(PictureOf(image.bitmap()), (Picture{{Grey(0, a), Grey(0, a), Grey(0, a)},
                                                    {Grey(63, a), Grey(63, a), Grey(63, a)},
                                                    {Grey(127, a), keyed ? Grey(70, 0) : Grey(63, a), Grey(127, a)},
                                                    {Grey(190, a), Grey(63, a), Grey(190, a)},
                                                    {Grey(254, a), Grey(254, a), Grey(254, a)}}));
    }
    // Edge of a flat 7 at amount 0: the centre becomes 1; levels 1 and 7 stretch onto 0 and 254.
    TestImage edge(Spec32(3, 3), FlatRows(3, 3, Grey(7, 0x12)));
    ASSERT_EQ(ImgEdge(edge.handle(), 0), 1);
    Picture expected = FlatRows(3, 3, Grey(254, 0x12));
    expected[1][1] = Grey(0, 0x12);
    EXPECT_EQ(PictureOf(edge.bitmap()), expected);
    // Flat black stays black: the normalisation finds one level and declines; the workers say 1.
    TestImage black(Spec32(4, 4), FlatRows(4, 4, Grey(0, 0x10)));
    EXPECT_EQ(OnBitmap(black, [](DibBlock b) { return ImgEmbossPixels(b, std::nullopt); }), 1);
    EXPECT_EQ(OnBitmap(black, [](DibBlock b) { return ImgEdgePixels(b, 50, std::nullopt); }), 1);
    EXPECT_EQ(PictureOf(black.bitmap()), FlatRows(4, 4, Grey(0, 0x10)));
  });
}

TEST(FilterExamplesTest, BlurAmountsBeyondEveryIntegerLeaveAFlatArea) {
  // No 32-bit centre weight exists: the conversion gives INT32_MIN and the sums wrap, which on a
  // flat area of 100 leaves every channel out of range.
  for (double amount :
       {std::numeric_limits<double>::quiet_NaN(), 1e300, -1e300, std::numeric_limits<double>::infinity()}) {
    TestImage image(Spec32(4, 4), FlatRows(4, 4, Grey(100, 0x22)));
    ASSERT_EQ(ImgBlur(image.handle(), amount), 1) << amount;
    EXPECT_EQ(PictureOf(image.bitmap()), FlatRows(4, 4, Grey(100, 0x22))) << amount;
  }
}

// --- despeckle (its worked images at every level are with its two schedules)

TEST(DespeckleExamplesTest, StepsRaiseAndLowerOneLevelAPass) {
  struct Case {
    int direction;
    std::array<uint8_t, 3> in, out;
  };
  // W 3, H 1: a plane of 5 x 3 with its frame of zeros. Raising: the 3 has a brighter neighbour
  // (4), then lies between 5 and 5 (5); 5 4 6 gives 5 5 6, then the middle 5 has 5 behind (a + 1 > b
  // holds) and 6 ahead. Lowering needs a level two below: 7 > 5 + 1 gives 6, the last 5 looks at
  // the frame's 0 and gives 4; then 6 sits between 5 and 4 but 5 + 1 < 6 does not hold.
  for (const Case& c :
       {Case{+1, {5, 3, 5}, {5, 5, 5}}, Case{+1, {5, 4, 6}, {5, 6, 6}}, Case{-1, {5, 7, 5}, {5, 6, 4}}}) {
    std::array<uint8_t, 15> plane{}, scratch{};
    std::copy(c.in.begin(), c.in.end(), plane.begin() + 6);
    DespeckleStep(1, 0, c.direction, 3, 1, plane.data(), scratch.data(), SelectHullRows(SimdLevel::Scalar));
    EXPECT_EQ((std::array<uint8_t, 3>{plane[6], plane[7], plane[8]}), c.out);
    for (int frame : {0, 1, 2, 3, 4, 5, 9, 10, 11, 12, 13, 14}) EXPECT_EQ(plane[frame], 0) << frame;
  }
  EXPECT_EQ(DespecklePlaneBytes(3, 4), std::optional<size_t>(30));
  // Ring rows: W + 2 rounded up to 128, and 64 more; 236 x 18198976 = 4294958336 still fits 32 bits.
  EXPECT_EQ(DespeckleRingBytes(3), std::optional<size_t>(236 * 192));
  EXPECT_EQ(DespeckleRingBytes(126), std::optional<size_t>(236 * 192));
  EXPECT_EQ(DespeckleRingBytes(127), std::optional<size_t>(236 * 320));
  EXPECT_EQ(DespeckleRingBytes(4096), std::optional<size_t>(236 * 4288));
  EXPECT_EQ(DespeckleRingBytes(18198910, 0xFFFFFFFFu), std::optional<size_t>(size_t{4294958336u}));
  EXPECT_EQ(DespeckleRingBytes(18198911, 0xFFFFFFFFu), std::nullopt);
  EXPECT_EQ(DespecklePlaneBytes(65533, 65533, 0xFFFFFFFFu), std::optional<size_t>(size_t{65535} * 65535));
  EXPECT_EQ(DespecklePlaneBytes(65534, 65534, 0xFFFFFFFFu), std::nullopt);  // 65536^2 wraps 32 bits
  EXPECT_EQ(DespecklePlaneBytes(0xFFFFFFFFu, 0xFFFFFFFFu), std::nullopt);
}

// The rows serve from the height where their rings are no larger than the planes: width 126 has
// rings of 236 x 192 bytes against planes of 4 (H + 2) 128, rows from H = 87; width 254 from H = 72.
TEST(DespeckleExamplesTest, ScheduleFollowsTheSmallerWorkingMemory) {
  for (const auto& [width, height, blocks] :
       {std::array{126, 86, 4}, {126, 87, 1}, {254, 71, 4}, {254, 72, 1}, {126, 1, 4}, {3, 300, 4}}) {
    TestImage image(Spec32(width, height), FlatRows(width, height, Grey(100)));
    const long allocations = Win32EmuAllocCalls();
    ASSERT_EQ(ImgDespeckle(image.handle()), 1);
    EXPECT_EQ(Win32EmuAllocCalls() - allocations, blocks) << width << "x" << height;
  }
}

// --- the arithmetic pieces

TEST(FilterMathExamples, ExactDivisorMatchesTheSignedDivision) {
  std::mt19937 random(10);
  for (uint32_t d : {1u, 2u, 3u, 7u, 11u, 12u, 24u, 49u, 51u, 444u, 65535u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    const ExactDivisor divisor(d);
    for (int32_t n : {0, 1, -1, 2, -2, INT32_MAX, INT32_MIN, INT32_MIN + 1, static_cast<int32_t>(d & 0x7FFFFFFF),
                      -static_cast<int32_t>(d & 0x7FFFFFFF)}) {
      EXPECT_EQ(divisor.divide(n), static_cast<int64_t>(n) / static_cast<int64_t>(d)) << n << " / " << d;
    }
    for (int i = 0; i < 20000; ++i) {
      const uint32_t a = static_cast<uint32_t>(random());
      ASSERT_EQ(divisor.divideUnsigned(a), a / d) << a << " / " << d;
      ASSERT_EQ(divisor.divide(static_cast<int32_t>(a)),
                static_cast<int64_t>(static_cast<int32_t>(a)) / static_cast<int64_t>(d));
    }
  }
  EXPECT_EQ(TruncToInt32(-0.5), 0);
  EXPECT_EQ(TruncToInt32(37.9), 37);
  EXPECT_EQ(TruncToInt32(-12.5), -12);
  EXPECT_EQ(TruncToInt32(2147483647.9), INT32_MAX);
  EXPECT_EQ(TruncToInt32(2147483648.0), INT32_MIN);
  EXPECT_EQ(TruncToInt32(std::numeric_limits<double>::quiet_NaN()), INT32_MIN);
  EXPECT_EQ(WrapAdd(INT32_MAX, 12), INT32_MIN + 11);
  // The row ring: slot r % K of one block, locked for the whole run.
  RowRing<5> ring(8);
  ASSERT_TRUE(ring);
  for (uint32_t row = 0; row < 12; ++row) EXPECT_EQ(ring.slot(row), ring.slot(0) + (row % 5) * 8);
  EXPECT_EQ(GlobalSize(GlobalHandle(ring.slot(0))), 40u);
  EXPECT_FALSE(RowRing<3>(std::numeric_limits<size_t>::max() / 2));
}

}  // namespace
}  // namespace ormi
