// Every export at every vector level against its scalar level, one row each (values, heights,
// contents, another way in where the vector code has one), over widths that reach every vector head
// and tail, every depth it takes and every transparency mode: the same inputs must leave the same
// bytes (result, record, pixels, header copy, other pictures, new pictures).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "filters/despeckle.h"
#include "filters/emboss_edge.h"
#include "host/catalog.h"
#include "support/every_level.h"
#include "support/test_image.h"

namespace ormi::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
// A parameter value that stands for the colour of the picture's first pixel (0x00BBGGRR).
constexpr double kFirstColour = -1;

enum class Mode { None, KeyPresent, KeyAbsent, AlphaCarries };
constexpr Mode kModes[] = {Mode::None, Mode::KeyPresent, Mode::KeyAbsent, Mode::AlphaCarries};
constexpr const char* kModeNames[] = {"none", "key-present", "key-absent", "alpha"};

// What the colour bytes hold (pictures of 24 and 32 bits; the others are random bytes).
enum class Contents {
  Random,      // random bytes; a quarter of the alphas 0, copies of the first pixel's colour
  Crowded,     // a few levels, so that neighbours are often equal or one or two apart, and 0 and 255
  Band,        // levels in a narrow band, so that histograms are sparse
  BlackWhite,  // black and white pixels: sums at the ends of their ranges
  Opaque,      // random colours, alpha 255
  Clear,       // random colours, alpha 0
  Spread,      // colours four apart in turn, so that a large picture meets the whole colour cube
};

// Another way into the code than the export, where a vector path hides behind a choice the export
// makes by itself (a schedule, a fallback, a pass its normalisation follows).
using Route = intptr_t (*)(const host::EffectInfo& effect, const host::EffectArgs& args);

struct LevelRow {
  const char* exportName;
  const char* routeName = "";
  std::vector<std::vector<double>> values = {{}};       // taken in turn; {} means the defaults
  std::vector<int> heights = {1, 2, 3, -2};             // each with every strip width
  std::vector<std::pair<int, int>> sizes = {};          // further pictures (width, height)
  std::vector<Contents> contents = {Contents::Random};  // {} means random
  std::vector<int> depths = {};                         // {} means the catalog's
  Route route = nullptr;
  int maxWidth = 1031;
  bool routeIsAPart = false;  // the route does part of the export's work: its scalar level is the reference
};

void PrintTo(const LevelRow& row, std::ostream* os) { *os << row.exportName << row.routeName; }

// The bitmap routine of an internal entry point under the image's transparency.
template <class Pixels>
intptr_t OnImageBitmap(HGLOBAL image, Pixels pixels) {
  auto* record = static_cast<ImageRecord*>(GlobalLock(image));
  HGLOBAL bitmap = OrmiHandleFromField(record->bitmap);
  const int result =
      pixels(DibBlock{static_cast<uint8_t*>(GlobalLock(bitmap)), GlobalSize(bitmap)}, TransparencyArgOf(*record));
  GlobalUnlock(bitmap);
  GlobalUnlock(image);
  return result;
}

template <DespeckleSchedule Schedule>
intptr_t DespeckleBy(const host::EffectInfo&, const host::EffectArgs& a) {
  return OnImageBitmap(a.image, [](DibBlock b, const auto& t) { return ImgDespecklePixels(b, t, Schedule); });
}
// The working table refused: the pixels are converted one by one.
intptr_t WithoutWorkingMemory(const host::EffectInfo& effect, const host::EffectArgs& a) {
  Win32EmuFailNextAlloc(1);
  const intptr_t result = effect.invoke(a);
  Win32EmuFailNextAlloc(0);
  return result;
}

// Values in groups of a parameter set each.
std::vector<std::vector<double>> Groups(size_t size, std::initializer_list<double> values) {
  std::vector<std::vector<double>> sets;
  for (auto it = values.begin(); it != values.end(); it += size) sets.emplace_back(it, it + size);
  return sets;
}

// clang-format off
// Crowded levels beside random ones: components that tie, greys, black and white.
const std::vector<Contents> kMixed{Contents::Random, Contents::Crowded}, kBanded{Contents::Random, Contents::Band};
const std::vector<std::pair<int, int>> kHsiLarge{{300, 230}, {1031, 70}, {257, 257}, {67, 1000}, {300, -230}};
// Shifts of hue, saturation and intensity: turns, the full range and beyond, infinities, not-a-number.
const std::vector<std::vector<double>> kHsiShifts = Groups(3, {0, 0, 0, 0.5, 0, 0, -1, 1, -1, 1, -1, 1, 0.25, -0.3,
    0.2, -0.75, 0.4, -0.1, 2.75, 0.5, -0.5, -3.4, 0, 0, 1e300, 0, 0, kNaN, kNaN, kNaN, kInf, -kInf, kInf, -kInf, kInf,
    -kInf, 1e-310, -1e-310, 0, 0.9999999999999999, 2, -2, -0.0, 0.5, 0.5});
// Opaque: hard key, uniform (level below 1), soft key, the record's rule, sums that wrap or saturate.
const std::vector<std::vector<double>> kOpaqueArgs = Groups(2, {55, 0, 0, 0, -1, 0, 255, 0, 256, 0, -300, 0, 10,
    0x123456, 7, -2147483648.0, 3, 0x80FFFFFF, 1000, 0x010203, 9, kFirstColour});
// Blur and sharpen: ordinary amounts, divisors of 1 and 2, negative centre weights, wrapping sums,
// and the centre weights either side of the largest whose sums fit 16-bit lanes (blur 244 at
// -414, sharpen 128 at -130).
const std::vector<std::vector<double>> kLinearAmounts = Groups(1, {50, 0, 100, 74, 75, 76, 49.5, -1000, 1000, 150,
    -20, 8.6e9, -8.6e9, 1e300, -414, -415.9, -416, -130, -131.9, -132, 98, 126, 127.9, 128, 24});
// Edge: amounts with a fixed-point form and amounts without one (sums past 16 bits, NaN, wrapping).
const std::vector<std::vector<double>> kEdgeAmounts = Groups(1, {50, 0, 100, 44, 130, 150, -20, 87.65, 33.3, 12.345,
    99.99, -1000, 1000, 1e300, -8.6e9, 8.6e9, -1e5, 117.5, 1e-9, kNaN});
const std::vector<std::vector<double>> kTurns = Groups(1, {90, 180, 270, -90, 30, 1, 13, 45, 89, 91, 135, 181, 200,
    269, 271, 315, 359, -30});
const std::vector<std::vector<double>> kRamps{{0xFF4000, 0x00C0FF, 0}, {0, 0xFFFFFF, 30}, {0x123456, 0xFEDCBA, 90},
    {0xFF00FF, 0x00FF00, 135}, {0, 0xFFFFFF, 200}, {0x123456, 0xFEDCBA, 271}, {0xFF00FF, 0x00FF00, -45},
    {0x0000FF, 0xFF0000, 3600}};
// clang-format on

std::vector<std::vector<double>> ColourCorrections() {
  // clang-format off
  const double primaries[][6] = {{0.64, 0.33, 0.30, 0.60, 0.15, 0.06}, {0.7, 0.29, 0.21, 0.71, 0.15, 0.02},
                                 {0.9, 0.05, 0.05, 0.9, 0.3, 0.3}, {0.35, 0.34, 0.33, 0.35, 0.3, 0.32}};
  // clang-format on
  const int whites[] = {0, 330, 331, 332, 7};
  std::vector<std::vector<double>> sets;
  for (int turn = 0; turn < 60; ++turn) {
    const double* p = primaries[turn % 4];
    sets.push_back(
        {10.0 * (1 + turn / 3 % 4) + 1 + turn % 3, double(whites[turn % 5]), p[0], p[1], p[2], p[3], p[4], p[5]});
  }
  return sets;
}

// Blur amounts whose centre weights run through 0..244, so every divisor of the narrow lanes occurs.
std::vector<std::vector<double>> BlurAmounts() {
  std::vector<std::vector<double>> sets = kLinearAmounts;
  for (int c = 0; c <= 244; ++c) sets.push_back({74.0 - 2 * c});
  return sets;
}

const std::vector<LevelRow>& LevelRows() {
  // clang-format off
  static const std::vector<LevelRow> rows{
      {"ImgInvert", "", {{}}, {1, 2, -3, 4}},
      {"ImgBrightness", "", Groups(1, {-255, -100, -1, 0, 1, 40, 254, 255, 1000, -1000}), {1, 2, -3, 4}},
      {"ImgGamma", "", Groups(1, {-5, 0, 10, 11, 15, 20, 29, 30, 40, 99}), {1, 2, -3, 4}},
      {"ImgContrast", "", Groups(1, {-100, -99, -50, -1, 0, 1, 30, 99, 100, 500}), {1, 2, -3, 4}},
      {"ImgAdjContrast", "", Groups(1, {0, 1, 2}), {2, -3}, {{300, 230}, {1031, 70}, {257, 257}, {300, -230}}, kMixed},
      {"ImgAdjContrast", "/without-table", Groups(1, {0, 1}), {}, kHsiLarge, kMixed, {}, WithoutWorkingMemory},
      {"ImgEqualise", "", {{}}, {1, 5, 9, -7}, {{40, 30}, {300, 230}}, kBanded},
      {"ImgNormalise", "", {{}}, {1, 5, 9, -7}, {{40, 30}, {300, 230}}, kBanded},
      {"ImgAdjustColorRGB", "", {{30, 0, -30}, {255, -255, 0}, {-1, 1, 0}, {1000, -1000, 256}, {0, 0, 0},
                                 {-32768, 32767, 7}, {128, 127, -128}}, {2, -3}},
      {"ImgAdjustColorHSI", "", kHsiShifts, {2, -3}, kHsiLarge, kMixed},
      {"ImgAdjustColorHSI", "/without-table", kHsiShifts, {}, kHsiLarge, kMixed, {}, WithoutWorkingMemory},
      {"ImgGammaCorrection", "", {{11, 30}, {23, 30}, {32, 30}, {43, 30}, {12, 30}, {0, 20}, {0, 40}, {41, 30}}, {2, 3, -2}},
      {"ImgColorCorrection", "", ColourCorrections(), {3, -2}, {}, kMixed},
      {"ImgColorCorrection", "/whole-cube", Groups(8, {12, 0, .64, .33, .3, .6, .15, .06, 41, 331, .35, .34, .33, .35,
       .3, .32}), {}, {{2048, 2048}}, {Contents::Spread}},
      {"ImgLoadGammaTable", "", {{}}, {1}},
      {"ImgBlur", "", BlurAmounts(), {3, 4, 6}, {}, {Contents::Random, Contents::BlackWhite}},
      {"ImgSharpen", "", kLinearAmounts, {3, 4, 6}, {}, {Contents::Random, Contents::BlackWhite}},
      {"ImgEmboss", "", {{}}, {3, 5}},
      {.exportName = "ImgEmboss", .routeName = "/kernel-pass", .heights = {3, 5}, .route = [](auto&, auto& a) {
       return OnImageBitmap(a.image, [](DibBlock b, const auto& t) { return EmbossWindows(b, t); }); }, .routeIsAPart = true},
      {"ImgEdge", "", kEdgeAmounts, {3, 5}},
      {.exportName = "ImgEdge", .routeName = "/kernel-pass", .values = kEdgeAmounts, .heights = {3, 4, 6},
       .route = [](auto&, auto& a) {
         return OnImageBitmap(a.image, [&](DibBlock b, const auto& t) { return EdgeWindows(b, a.values[0], t); }); }, .routeIsAPart = true},
      {"ImgDespeckle", "", {{}}, {1, 2, 5},
       {{1, 80}, {2, 72}, {31, 74}, {33, 33}, {126, 86}, {126, 87}, {254, 71}, {254, 72}, {257, 96}}, kMixed},
      {"ImgDespeckle", "/planes", {{}}, {1, 3, 6}, {{126, 87}}, kMixed, {}, DespeckleBy<DespeckleSchedule::Planes>},
      {"ImgDespeckle", "/rows", {{}}, {1, 3, 6}, {{31, 74}, {126, 86}}, kMixed, {}, DespeckleBy<DespeckleSchedule::Rows>},
      {"ImgEnhance", "", {{}}, {5, 6, 8}, {{5, 4}, {5, 11}, {9, 40}, {16, 11}, {67, 40}, {67, 5}, {131, 9}}, kMixed},
      {"ImgOpaque", "", kOpaqueArgs, {2, 3}},
      {"ImgCopyAlpha", "", {{}}, {2, 3}},
      {"ImgInsertAlpha", "", {{0, 0xFFFFFF}, {77, kFirstColour}, {255, 0}, {300, kFirstColour}}, {2, 3}},
      // Up to 19 passes: more than one group of passes going down the picture together.
      {"ImgDiff", "", Groups(1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}), {1, 2, 5, 17},
       {}, {Contents::Opaque, Contents::Clear, Contents::Random}, {}, nullptr, 300},
      {"TavoSetAlphaColor", "", Groups(1, {0x0000FF, 0xFEDCBA, 0x123456}), {1, 3, -2}},
      {"TavoGradient", "", kRamps, {1, 2, 5}, {}, {}, {32}},
      {"TavoEmbossIcon", "", {{96, 0xFFFFFF, 0x404040}, {0, 0x123456, 0}, {255, 0, 0xFFFFFF}}, {1, 5}},
      {"TavoGradientForText", "", kRamps, {1, 2, 5}, {}, {}, {32}},
      {"TavoTileForText", "", {{}}, {1, 3, 6}, {}, {}, {32}},
      // Quarter turns at every depth (the 32-bit ones in bands of 32 rows), other angles at 32 bits
      // through the scan spans.
      {"ImgRotate", "", kTurns, {1, 7, 17, 33, 70}, {{301, 257}}},
      {"ImgMirror", "", {{1, 0}, {0, 1}, {1, 1}}, {1, 2, 6, -5}},
      {"ImgBlockRotate", "", {{30, 1}, {90, 1}, {13, 2}, {200, 1}, {45, 3}, {271, 1}, {-30, 2}, {180, 1}, {135, 1},
                              {359, 3}}, {1, 7, 17}},
  };
  // clang-format on

  return rows;
}

// One call: a picture of a size and depth, its contents, the transparency mode, the values.
struct Case {
  int width, height, depth;
  Mode mode;
  Contents contents;
  std::vector<double> values;
  size_t turn;
  uint32_t seed = static_cast<uint32_t>(turn * 2654435761u + 17);
};

// The colour of the picture's pixel (0, 0) as a COLORREF (0x00BBGGRR), at any depth.
uint32_t ColorrefOfFirstPixel(const TestImage& image, const BitmapSpec& layout) {
  const uint32_t value = image.pixel(0, 0);
  uint32_t rgb = value & 0xFFFFFF;  // 0xRRGGBB
  if (layout.depth <= 8) rgb = layout.palette[value % layout.palette.size()] & 0xFFFFFF;
  if (layout.depth == 16) rgb = ((value >> 10) & 31) << 19 | ((value >> 5) & 31) << 11 | (value & 31) << 3;
  return (rgb >> 16) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
}

// A picture of the case's size and depth whose colour table and pixels come from the seed.
std::unique_ptr<TestImage> MakePicture(BitmapSpec& layout, Contents contents, uint32_t seed) {
  std::mt19937 random(seed);
  const int depth = layout.depth;
  for (size_t i = 0; depth <= 8 && i < size_t{1} << depth; ++i)
    layout.palette.push_back(static_cast<uint32_t>(random()));
  auto image = std::make_unique<TestImage>(layout);
  std::vector<uint8_t> bytes = image->bytes();
  const size_t bits = BitsOffsetOf(layout);
  constexpr uint8_t kCrowded[] = {0, 1, 2, 3, 4, 100, 101, 102, 103, 200, 252, 253, 254, 255};
  const uint32_t low = random() % 256, band = std::vector<uint32_t>{1, 2, 5, 40, 120}[random() % 5];
  const auto level = [&]() -> uint8_t {
    if (contents == Contents::Crowded) return kCrowded[random() % sizeof kCrowded];
    if (contents != Contents::Band) return static_cast<uint8_t>(random());
    return static_cast<uint8_t>(std::min<uint32_t>(low + static_cast<uint32_t>(random() % (band + 1)), 255));
  };
  // 1-bit pictures (masks) get whole bytes open or masked among random ones.
  for (size_t i = bits; i < bytes.size(); ++i)
    bytes[i] = depth >= 24 ? level() : static_cast<uint8_t>(depth == 1 && random() % 2 ? random() % 2 * 255 : random());
  for (size_t i = bits; depth == 32 && i + 3 < bytes.size(); i += 4) {
    uint8_t* p = &bytes[i];
    if (contents == Contents::BlackWhite) p[0] = p[1] = p[2] = random() % 2 ? 255 : 0;
    const uint32_t spread = static_cast<uint32_t>(i - bits + low % 4);
    if (contents == Contents::Spread) std::copy_n(reinterpret_cast<const uint8_t*>(&spread), 3, p);
    p[3] = contents == Contents::Opaque || contents == Contents::BlackWhite ? 255
           : contents == Contents::Clear || random() % 4 == 0               ? 0
                                                                            : p[3];
    // Copies of the first pixel's colour with other alphas: keys met in every lane.
    if (contents == Contents::Random && random() % 7 == 0) std::copy_n(&bytes[bits], 3, p);
  }
  SetBlockBytes(image->bitmap(), bytes);
  return image;
}

// Everything a call leaves: named parts compared byte for byte.
using Outcome = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// The record goes without its handles, which differ from one new image to the next.
void AddImage(Outcome& outcome, const std::string& name, const TestImage& image) {
  std::vector<uint8_t> record = BlockBytes(image.handle());
  for (size_t offset : {offsetof(ImageRecord, header), offsetof(ImageRecord, bitmap), offsetof(ImageRecord, gdiObject)})
    std::fill_n(record.begin() + static_cast<std::ptrdiff_t>(offset), 4, uint8_t{0});
  outcome.emplace_back(name + " record", record);
  outcome.emplace_back(name + " bitmap", image.bytes());
  outcome.emplace_back(name + " header copy", image.headerCopyBytes());
}

// The inputs of one case, built once; every run starts from the bytes they had when built.
class CaseInputs {
 public:
  CaseInputs(const host::EffectInfo& effect, const Case& c) : effect_(effect), c_(c) {
    const int rows = std::abs(c.height);
    BitmapSpec layout{.depth = c.depth, .width = c.width, .height = c.height};
    image_ = MakePicture(layout, c.contents, c.seed);
    std::mt19937 random(c.seed ^ 0x5EEDu);
    if (c.mode == Mode::KeyPresent) {
      // The first pixel, alpha 0 at 32 bits, copied over a fifth of the picture: the key is met often.
      uint32_t first = image_->pixel(0, 0);
      if (c.depth == 32) image_->setPixel(0, 0, first &= 0x00FFFFFFu);
      for (int i = 0; i < c.width * rows / 5; ++i)
        image_->setPixel(static_cast<int>(random() % static_cast<uint32_t>(c.width)),
                         static_cast<int>(random() % static_cast<uint32_t>(rows)), first);
      image_->setColorKey(ColorrefOfFirstPixel(*image_, layout));
    }
    if (c.mode == Mode::KeyAbsent) image_->setColorKey(0x00123457u);
    if (c.mode == Mode::AlphaCarries) image_->setAlphaTransparency();
    values_ = c.values.empty() ? host::DefaultValues(effect) : c.values;
    for (double& v : values_)
      if (v == kFirstColour) v = ColorrefOfFirstPixel(*image_, layout);
    // The other pictures, never twins of the input so that copying from them shows: alpha images
    // of its size, 1-bit masks of its rows, tiles of a few sizes (all passed as their bitmaps).
    std::vector<HGLOBAL> blocks = BlocksOf(*image_);
    for (const host::ExtraInput& extra : effect.extras) {
      const bool wrapped = extra.kind == host::ExtraKind::AlphaImage, mask = extra.kind == host::ExtraKind::TextMask;
      const std::pair<int, int> tiles[] = {{1, 1}, {3, 2}, {7, 5}, {16, 16}, {c.width + 5, 1}};
      const auto [w, h] = wrapped ? std::pair{c.width, c.height} : mask ? std::pair{c.width, rows} : tiles[c.turn % 5];
      BitmapSpec other{.depth = mask ? 1 : 32, .width = w, .height = h};
      extraImages_.push_back(
          MakePicture(other, Contents::Random, c.seed * 31 + static_cast<uint32_t>(extras_.size()) + 1));
      extras_.push_back(wrapped ? extraImages_.back()->handle() : extraImages_.back()->bitmap());
      std::ranges::copy(BlocksOf(*extraImages_.back()), std::back_inserter(blocks));
    }
    for (HGLOBAL block : blocks) saved_.emplace_back(block, BlockBytes(block));
  }

  // Runs the case at the level and gathers what it left.
  Outcome run(SimdLevel level, Route route) const {
    for (const auto& [block, bytes] : saved_) SetBlockBytes(block, bytes);
    const int rows = std::abs(c_.height);
    HDC dc = effect_.result == host::ResultKind::Painted ? Win32EmuCreateMemoryDC(c_.width, rows) : nullptr;
    const host::EffectArgs args{effect_.result == host::ResultKind::NoImage ? nullptr : image_->handle(), values_,
                                extras_, RECT{0, 0, c_.width - 1, rows - 1}, dc};
    const intptr_t result = [&] {
      const ScopedSimdLevel forced(level);
      return route ? route(effect_, args) : effect_.invoke(args);
    }();
    Outcome outcome;
    const bool madeOne = effect_.result == host::ResultKind::NewImage || effect_.result == host::ResultKind::NewBitmap;
    outcome.emplace_back("result", std::vector<uint8_t>{static_cast<uint8_t>(madeOne ? result != 0 : result)});
    if (effect_.result == host::ResultKind::NewImage && result)
      AddImage(outcome, "new image", TestImage(reinterpret_cast<HGLOBAL>(result)));
    if (effect_.result == host::ResultKind::NewBitmap && result) {
      outcome.emplace_back("new bitmap", BlockBytes(reinterpret_cast<HGLOBAL>(result)));
      GlobalFree(reinterpret_cast<HGLOBAL>(result));
    }
    AddImage(outcome, "image", *image_);
    for (const auto& extra : extraImages_) AddImage(outcome, "other picture", *extra);
    if (dc) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(Win32EmuMemoryDCPixels(dc));
      outcome.emplace_back("device context", std::vector<uint8_t>(bytes, bytes + 4 * size_t(c_.width) * size_t(rows)));
      Win32EmuDeleteMemoryDC(dc);
    }
    return outcome;
  }

 private:
  // The record, the bitmap and the header copy.
  static std::vector<HGLOBAL> BlocksOf(const TestImage& image) {
    return {image.handle(), image.bitmap(), GlobalHandle(OrmiPointerFromField(image.record().header))};
  }

  const host::EffectInfo& effect_;
  Case c_;
  std::unique_ptr<TestImage> image_;
  std::vector<std::unique_ptr<TestImage>> extraImages_;
  std::vector<HGLOBAL> extras_;
  std::vector<double> values_;
  std::vector<std::pair<HGLOBAL, std::vector<uint8_t>>> saved_;
};

// Where two outcomes first differ, or nothing.
std::string FirstDifference(const Outcome& actual, const Outcome& expected) {
  if (actual.size() != expected.size()) return "a different set of results";
  for (size_t i = 0; i < actual.size(); ++i) {
    const auto& [name, bytes] = actual[i];
    const auto at = std::ranges::mismatch(bytes, expected[i].second).in1 - bytes.begin();
    if (bytes != expected[i].second)
      return name + " differs from byte " + std::to_string(at) + " of " + std::to_string(expected[i].second.size());
  }
  return "";
}

class LevelsTest : public MemoryCheckedTest, public ::testing::WithParamInterface<LevelRow> {};

TEST_P(LevelsTest, EveryLevelLeavesTheScalarBytes) {
  const LevelRow& row = GetParam();
  const host::EffectInfo* effect = host::FindEffect(row.exportName);
  ASSERT_NE(effect, nullptr) << row.exportName;
  // Widths 1 to 70 meet every head and tail of 4, 8, 16 and 64 byte vectors; a few wide ones.
  std::vector<std::pair<int, int>> sizes;
  for (int height : row.heights)
    for (int width = 1; width <= row.maxWidth; width += width < 70 ? 1 : width < 128 ? 58 : width < 255 ? 127 : 776)
      sizes.emplace_back(width, height);
  sizes.insert(sizes.end(), row.sizes.begin(), row.sizes.end());
  const std::vector<int> depths = row.depths.empty() ? effect->depths : row.depths;
  const std::vector<Contents> contents = row.contents.empty() ? std::vector{Contents::Random} : row.contents;
  size_t turn = 0, worked = 0;
  for (const auto& [width, height] : sizes) {
    for (int depth : depths.empty() ? std::vector<int>{32} : depths) {
      // Values and contents take turns so that each mode meets each of them.
      for (size_t m = 0; m < std::size(kModes); ++m, ++turn) {
        const size_t k = turn / std::size(kModes) + m;
        const Case c{width, height, depth, kModes[m], contents[k % contents.size()], row.values[k % row.values.size()],
                     turn};
        const CaseInputs inputs(*effect, c);
        const Outcome expected = inputs.run(SimdLevel::Scalar, row.routeIsAPart ? row.route : nullptr);
        worked += expected[0].second[0] != 0;
        for (SimdLevel level : SimdLevelsToTest()) {
          if (level == SimdLevel::Scalar && (!row.route || row.routeIsAPart)) continue;
          const std::string difference = FirstDifference(inputs.run(level, row.route), expected);
          ASSERT_EQ(difference, "") << row.exportName << row.routeName << " " << width << "x" << height << "@" << depth
                                    << " " << kModeNames[m] << " contents " << static_cast<int>(c.contents)
                                    << " values " << testing::PrintToString(c.values) << " at " << SimdLevelName(level);
        }
      }
    }
  }
  // A row whose export refused every picture would prove nothing.
  EXPECT_GT(worked, turn / 4);
}

INSTANTIATE_TEST_SUITE_P(Exports, LevelsTest, ::testing::ValuesIn(LevelRows()), [](const auto& row) {
  std::string name = std::string(row.param.exportName) + row.param.routeName;
  std::ranges::replace_if(
      name, [](char ch) { return ch == '/' || ch == '-'; }, '_');
  return name;
});

// Forcing is what makes the comparisons mean anything: the kernels see the level asked for.
TEST(LevelsTableTest, TheForcedLevelIsTheActiveOne) {
  for (SimdLevel level : SimdLevelsToTest()) {
    const ScopedSimdLevel forced(level);
    EXPECT_EQ(ActiveSimdLevel(), level);
  }
  EXPECT_EQ(ActiveSimdLevel(), DetectedSimdLevel());
}

// Every export of the catalog has a row, so an export added there is compared too.
TEST(LevelsTableTest, EveryExportHasARow) {
  for (const host::EffectInfo& effect : host::EffectCatalog())
    EXPECT_TRUE(std::ranges::any_of(LevelRows(), [&](const LevelRow& row) {
      return std::string(row.exportName) == effect.exportName;
    })) << effect.exportName;
}

}  // namespace
}  // namespace ormi::test
