// Gamma and colour correction on hand-computed pixels at every vector level, the gamma table
// file, and the matrix pieces of the colour correction.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "correction/color_correction.h"
#include "correction/color_matrix.h"
#include "correction/gamma_correction.h"
#include "correction/gamma_table.h"
#include "exports/module_entry.h"
#include "support/every_level.h"

namespace ormi {
namespace {

using test::TestImage;
using GammaFile = std::vector<uint8_t>;

// 14 tables, table n filled by fill(n, x).
template <class Fill>
GammaFile MakeGammaFile(Fill fill) {
  GammaFile file(kGammaTableBytes);
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(fill(int(i / 256), int(i % 256)));
  return file;
}

// $WINDIR at a fresh folder for the life of the object; afterwards the environment is as it was
// and the module's table forgotten, so that the next test loads its own.
class GammaTableDir {
 public:
  GammaTableDir() : dir_(std::filesystem::temp_directory_path() / ("ormi-gamma-" + std::to_string(getpid()))) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    if (const char* old = std::getenv("WINDIR")) saved_ = old;
    setenv("WINDIR", dir_.c_str(), 1);
  }
  ~GammaTableDir() {
    saved_ ? setenv("WINDIR", saved_->c_str(), 1) : unsetenv("WINDIR");
    std::filesystem::remove_all(dir_);
    ClearGammaTable();
  }
  std::filesystem::path file() const { return dir_ / kGammaTableFileName; }
  void write(const GammaFile& bytes) const {
    std::ofstream(file(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
  }
  void remove() const { std::filesystem::remove(file()); }

 private:
  std::filesystem::path dir_;
  std::optional<std::string> saved_;
};

GammaFile LoadedGammaTable() { return GammaFile(GammaTable, GammaTable + kGammaTableBytes); }

constexpr uint32_t Px(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0xFF) { return a << 24 | r << 16 | g << 8 | b; }
constexpr uint32_t kAlpha = 0x80000000u;

// Table n holds 10 + n everywhere, so a result names the table each channel went through.
GammaFile TablesNamedByValue() {
  return MakeGammaFile([](int n, int) { return 10 + n; });
}

class GammaCorrectionExamples : public test::MemoryCheckedTest {
 protected:
  GammaTableDir tables;
};

struct StretchCase {
  int profile, channel, in, out;
};

// Profile 1 red: L 29, H 248, scale 246 / 219. 138: 109 * 1.1233 + 9 = 131.4. Blue 248:
// (248 - 33) * (246 / 215) + 9 lands just below 255. Below L the values fall to 0: red 22 gives
// -7 * 1.1233 + 9 = 1.1, red 21 gives 0.01 and red 20 -1.1, clamped. Profile 4 blue (16..205):
// 100 gives 84 * 246 / 189 + 9 = 118.3; 255 is clamped.
TEST(GammaStretchExamples, MapsLowToNineAndHighTo255) {
  // clang-format off
  for (const StretchCase& c : {StretchCase{0, 0, 0, 0}, {0, 0, 29, 9}, {0, 0, 138, 131}, {0, 0, 248, 255},
                               {0, 2, 248, 254}, {0, 2, 33, 9}, {0, 1, 32, 9}, {0, 0, 22, 1}, {0, 0, 21, 0},
                               {0, 0, 20, 0}, {3, 2, 100, 118}, {3, 2, 16, 9}, {3, 2, 255, 255}, {1, 1, 50, 9},
                               {1, 0, 226, 255}, {2, 1, 37, 9}}) {
    // clang-format on
    int in[3] = {0, 0, 0}, out[3] = {-1, -1, -1};
    in[c.channel] = c.in;
    GammaProfileStretch(in[0], in[1], in[2], out[0], out[1], out[2], c.profile);
    EXPECT_EQ(out[c.channel], c.out) << c.profile << " " << c.channel << " " << c.in;
  }
}

struct GammaCase {
  const char* name;
  int code, mode;
  std::optional<uint32_t> transparentColor;
  bool identityTables;  // else table n holds 10 + n
  std::vector<std::pair<uint32_t, uint32_t>> pixels;
};

void PrintTo(const GammaCase& c, std::ostream* os) { *os << c.name; }

class GammaExampleTest : public GammaCorrectionExamples, public ::testing::WithParamInterface<GammaCase> {};

TEST_P(GammaExampleTest, GivesTheHandValues) {
  const GammaCase& c = GetParam();
  tables.write(c.identityTables ? MakeGammaFile([](int, int x) { return x; }) : TablesNamedByValue());
  test::ExpectExample({.depth = 32}, c.transparentColor, c.pixels,
                      [&](HGLOBAL h) { return ImgGammaCorrection(h, c.code, c.mode); });
}

// Every channel through one table: red 10 + 3 (p - 1), green and blue the next two, alpha kept.
std::vector<std::pair<uint32_t, uint32_t>> Routed(uint32_t red, uint32_t green, uint32_t blue) {
  return {{Px(1, 2, 3, 0x80), Px(red, green, blue, 0x80)},
          {Px(255, 255, 255, 0), Px(red, green, blue, 0)},
          {Px(100, 0, 200, 7), Px(red, green, blue, 7)}};
}

const std::vector<std::pair<uint32_t, uint32_t>> kKeyRow = {
    {Px(255, 1, 1), Px(255, 1, 1)}, {Px(1, 0, 1), Px(1, 0, 1)}, {Px(1, 1, 0), Px(1, 1, 0)}, {Px(254, 1, 1, 9), 0}};

// Key red 255, green 0, blue 0: a pixel with red 255, or green 0, or blue 0 stays.
std::vector<std::pair<uint32_t, uint32_t>> Keyed(uint32_t red, uint32_t green, uint32_t blue) {
  std::vector<std::pair<uint32_t, uint32_t>> row = kKeyRow;
  row.back().second = Px(red, green, blue, 9);
  return row;
}

// clang-format off
const GammaCase kGammaCases[] = {
    {"ProfileOneStretch", 11, 30, {}, true,
     {{Px(0, 0, 0, 0x12), Px(0, 0, 0, 0x12)}, {Px(29, 32, 33, 0x34), Px(9, 9, 9, 0x34)},
      {Px(138, 32, 33, 0), Px(131, 9, 9, 0)}, {Px(248, 32, 248), Px(255, 9, 254)}}},
    // The second digit of the code does not matter; modes 20 and 40 ignore the code.
    {"Code11", 11, 30, {}, false, Routed(10, 11, 12)},
    {"Code13", 13, 30, {}, false, Routed(10, 11, 12)},
    {"Code22", 22, 30, {}, false, Routed(13, 14, 15)},
    {"Code33", 33, 30, {}, false, Routed(16, 17, 18)},
    {"Code41", 41, 30, {}, false, Routed(19, 20, 21)},
    {"Mode20", 0, 20, {}, false, Routed(22, 22, 22)},
    {"Mode40", 41, 40, {}, false, Routed(23, 23, 23)},
    {"Mode30Key", 11, 30, 0x0000FF, false, Keyed(10, 11, 12)},
    {"Mode30KeyCode42", 42, 30, 0x0000FF, false, Keyed(19, 20, 21)},
    {"Mode20Key", 0, 20, 0x0000FF, false, Keyed(22, 22, 22)},
    {"Mode40Key", 0, 40, 0x0000FF, false, Keyed(23, 23, 23)},
    // With bit 31 the colour is not compared: every pixel is corrected.
    {"Mode30AlphaFlag", 11, 30, kAlpha | 0xFF, false,
     {{Px(255, 1, 1), Px(10, 11, 12)}, {Px(1, 0, 1, 3), Px(10, 11, 12, 3)}, {Px(1, 1, 0), Px(10, 11, 12)}}},
    {"Mode10ChangesNothing", 11, 10, {}, false, {{Px(1, 2, 3), Px(1, 2, 3)}, {Px(4, 5, 6, 0), Px(4, 5, 6, 0)}}},
    {"Mode31ChangesNothing", 11, 31, {}, false, {{Px(1, 2, 3), Px(1, 2, 3)}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Examples, GammaExampleTest, ::testing::ValuesIn(kGammaCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(GammaCorrectionExamples, SharedTablesMapEveryValueOfEveryChannel) {
  // Table 12 complements, table 13 halves.
  tables.write(MakeGammaFile([](int n, int x) { return n == 12 ? 255 - x : n == 13 ? x / 2 : 0; }));
  std::vector<std::pair<uint32_t, uint32_t>> complement, half;
  for (uint32_t x = 0; x < 256; ++x) {
    const uint32_t b = (x * 7) & 0xFF;
    complement.push_back({Px(x, 255 - x, b, x), Px(255 - x, x, 255 - b, x)});
    half.push_back({Px(x, 255 - x, b, x), Px(x / 2, (255 - x) / 2, b / 2, x)});
  }
  test::ExpectExample({.depth = 32}, {}, complement, [](HGLOBAL h) { return ImgGammaCorrection(h, 0, 20); });
  test::ExpectExample({.depth = 32}, {}, half, [](HGLOBAL h) { return ImgGammaCorrection(h, 0, 40); });
}

TEST_F(GammaCorrectionExamples, Mode30RefusesCodesThatNameNoProfile) {
  tables.write(TablesNamedByValue());
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{Px(1, 2, 3), Px(4, 5, 6)}});
  const std::vector<uint8_t> before = image.bytes();
  for (int code : {0, 1, 10, 14, 19, 20, 24, 40, 44, 51, 111, -11, -12}) {
    EXPECT_EQ(ImgGammaCorrection(image.handle(), code, 30), 0) << code;
    EXPECT_EQ(image.bytes(), before) << code;
  }
}

// Masks or a colour table behind the header are not pixels: the rows begin behind them.
TEST_F(GammaCorrectionExamples, TablesBehindTheHeaderAreNeverChanged) {
  tables.write(TablesNamedByValue());
  for (const test::BitmapSpec& bitmap :
       {test::BitmapSpec{
            .depth = 32, .width = 2, .height = 2, .compression = BI_BITFIELDS, .masks = {0xFF0000, 0xFF00, 0xFF}},
        test::BitmapSpec{
            .depth = 32, .width = 2, .height = 2, .clrUsed = 3, .palette = {0x112233, 0x445566, 0x778899}}}) {
    TestImage image(bitmap, {{Px(1, 2, 3), Px(4, 5, 6)}, {Px(7, 8, 9), Px(1, 1, 1)}});
    const std::vector<uint8_t> before = image.bytes();
    ASSERT_EQ(ImgGammaCorrection(image.handle(), 0, 20), 1);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 52, image.bytes().begin()));
    EXPECT_EQ(test::PictureOf(image.bitmap()), test::Tiled({Px(22, 22, 22)}, 2, 2));
  }
}

TEST_F(GammaCorrectionExamples, LoadsOnFirstUseOnlyUntilReloaded) {
  ClearGammaTable();
  TestImage image({.depth = 32, .width = 1, .height = 1}, {{Px(1, 2, 3)}});
  EXPECT_EQ(ImgGammaCorrection(image.handle(), 0, 20), 0);  // no file yet
  AttachProcess();
  tables.write(TablesNamedByValue());
  ASSERT_EQ(ImgGammaCorrection(image.handle(), 0, 20), 1);
  EXPECT_EQ(IsGammaTableLoaded(), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(22, 22, 22));
  // A changed file is not read again by the correction, but by an explicit load.
  tables.write(MakeGammaFile([](int n, int) { return 100 + n; }));
  ASSERT_EQ(ImgGammaCorrection(image.handle(), 0, 20), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(22, 22, 22));
  ASSERT_EQ(ImgLoadGammaTable(), 1);
  ASSERT_EQ(ImgGammaCorrection(image.handle(), 0, 20), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(112, 112, 112));
  // Without the file the reload fails, and so does every correction until the file is back.
  tables.remove();
  EXPECT_EQ(ImgLoadGammaTable(), 0);
  image.setPixel(0, 0, Px(1, 2, 3));
  EXPECT_EQ(ImgGammaCorrection(image.handle(), 0, 20), 0);
  EXPECT_EQ(image.pixel(0, 0), Px(1, 2, 3));
  tables.write(TablesNamedByValue());
  EXPECT_EQ(ImgGammaCorrection(image.handle(), 0, 20), 1);
  EXPECT_EQ(image.pixel(0, 0), Px(22, 22, 22));
}

// --- the table file

// A pattern in which every byte differs from its neighbours and from its position.
GammaFile Pattern(size_t size, int seed) {
  GammaFile bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 256 + static_cast<size_t>(seed));
  return bytes;
}

// A longer file gives its first 3584 bytes; a shorter one its bytes and zero behind them, even
// over a table loaded before; a missing file or a folder in its place fails and forgets the table.
TEST_F(GammaCorrectionExamples, LoadTakesTheFilesFirstBytesAndZeroBehindThem) {
  for (size_t length : {0, 1, 255, 3583, 3584, 3585, 8192}) {
    tables.write(Pattern(kGammaTableBytes, 1));
    ASSERT_EQ(ImgLoadGammaTable(), 1);
    const GammaFile bytes = Pattern(length, 9);
    tables.write(bytes);
    EXPECT_EQ(ImgLoadGammaTable(), 1);
    EXPECT_EQ(IsGammaTableLoaded(), 1);
    GammaFile expected(kGammaTableBytes, 0);
    std::copy_n(bytes.begin(), std::min(length, kGammaTableBytes), expected.begin());
    EXPECT_EQ(LoadedGammaTable(), expected) << "length " << length;
  }
  for (bool folder : {false, true}) {
    tables.write(Pattern(kGammaTableBytes, 5));
    ASSERT_EQ(ImgLoadGammaTable(), 1);
    tables.remove();
    if (folder) std::filesystem::create_directory(tables.file());
    EXPECT_EQ(ImgLoadGammaTable(), 0);
    EXPECT_EQ(IsGammaTableLoaded(), 0);
    EXPECT_EQ(LoadedGammaTable(), GammaFile(kGammaTableBytes, 0));
    std::filesystem::remove(tables.file());
  }
  // Attaching to a process clears the flag only.
  tables.write(Pattern(kGammaTableBytes, 4));
  ASSERT_EQ(ImgLoadGammaTable(), 1);
  AttachProcess();
  EXPECT_EQ(IsGammaTableLoaded(), 0);
  EXPECT_EQ(LoadedGammaTable(), Pattern(kGammaTableBytes, 4));
}

// The file generated into the build tree, found there without $WINDIR.
TEST(ShippedGammaTableExamples, LoadsFromTheBuildTreeWithTheDocumentedCurves) {
  const char* old = std::getenv("WINDIR");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  unsetenv("WINDIR");
  ASSERT_EQ(ImgLoadGammaTable(), 1);
  const GammaFile table = LoadedGammaTable();
  if (saved) setenv("WINDIR", saved->c_str(), 1);
  ClearGammaTable();
  for (size_t n = 0; n < 14; ++n) {
    const uint8_t* curve = table.data() + 256 * n;
    EXPECT_EQ(curve[255], 255) << "table " << n;
    for (int x = 1; x < 256; ++x) ASSERT_LE(curve[x - 1], curve[x]) << "table " << n << " rises at " << x;
    if (n < 12) {
      EXPECT_EQ(curve[9], 0) << "profile curves start at the stretched black, 9";
      EXPECT_GT(curve[10], 0) << "table " << n;
    }
  }
  // Table 12: 255 * (128 / 255) ^ (1 / 2.2) = 186.42; table 13: 255 * (128 / 255) ^ 2.2 = 55.98;
  // profile 1 red, gamma 1.1 at the middle of 9..255: 255 * 0.5 ^ (1 / 1.1) = 135.8; blue linear: 127.5.
  EXPECT_EQ(table[3072 + 128], 186);
  EXPECT_EQ(table[3328 + 128], 56);
  EXPECT_EQ(table[3328 + 186], 127);
  EXPECT_EQ(table[132], 136);
  EXPECT_EQ(table[512 + 132], 128);
}

// --- colour correction

// An output space with the primaries of the worked example.
constexpr double kPrimaries[6] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06};

class ColorCorrectionExamples : public test::MemoryCheckedTest {};

// Code 12, default white: (200, 150, 100) -> (185, 170, 85); green beyond 1.0 clips to 255; black
// stays black; alpha is kept. A colour key (red 10, green 20, blue 30) leaves any pixel sharing a channel.
TEST_F(ColorCorrectionExamples, WorkedExample) {
  auto code12 = [](HGLOBAL h) { return ImgColorCorrection(h, 12, 0, kPrimaries); };
  test::ExpectExample({.depth = 32}, {},
                      {{Px(200, 150, 100, 0x42), Px(185, 170, 85, 0x42)},
                       {Px(255, 255, 255, 0), Px(191, 255, 211, 0)},
                       {Px(0, 0, 0, 0x99), Px(0, 0, 0, 0x99)}},
                      code12);
  test::ExpectExample({.depth = 32}, 0x1E140A,
                      {{Px(200, 20, 100), Px(200, 20, 100)},
                       {Px(10, 150, 100), Px(10, 150, 100)},
                       {Px(200, 150, 30), Px(200, 150, 30)},
                       {Px(200, 150, 100), Px(185, 170, 85)}},
                      code12);
  // With bit 31 the colour is not compared: the key colour itself is corrected.
  test::ExpectExample({.depth = 32}, kAlpha | 0x6496C8, {{Px(200, 150, 100, 7), Px(185, 170, 85, 7)}}, code12);
  test::ExpectExample({.depth = 32}, 0x6496C8, {{Px(200, 150, 100, 0), Px(200, 150, 100, 0)}}, code12);
}

TEST(ColorCorrectPixelExamples, ClampsTruncatesAdaptsAndAppliesTheProductTerm) {
  // Hand-made matrices where every step is exact: inputs 0 or 255 give 0 or 1.
  const ColorTarget identity{{1.0, 1.0, 1.0}, {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}};
  int out[3] = {-1, -1, -1};
  const ProfileMatrix clamps = {{2, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 0.25, 0}};
  ColorCorrectPixel(255, 255, 255, 0, clamps, identity, out);
  EXPECT_EQ((std::array<int, 3>{out[0], out[1], out[2]}), (std::array<int, 3>{255, 0, 63}));  // 63.75 truncated
  // X = blue, Y = the product term, Z = red; adapted by (0.5, 1, 1); out red = Y, green = X, blue = Z + X.
  const ProfileMatrix matrix = {{0, 0, 1, 0}, {0, 0, 0, 0.5}, {1, 0, 0, 0}};
  const ColorTarget target{{0.5, 1.0, 1.0}, {{{0, 1, 0}, {1, 0, 0}, {1, 0, 1}}}};
  ColorCorrectPixel(0, 0, 255, 0, matrix, target, out);
  EXPECT_EQ((std::array<int, 3>{out[0], out[1], out[2]}), (std::array<int, 3>{0, 127, 127}));
  // The product term 253 gives 253 / 255 * 0.5 * 255 = 126.5 (within rounding), truncated.
  ColorCorrectPixel(255, 0, 0, 253, matrix, target, out);
  EXPECT_EQ((std::array<int, 3>{out[0], out[1], out[2]}), (std::array<int, 3>{126, 0, 255}));
}

// The white adaptation a call leaves behind scales X by Xt / Xs and Z by Zt / Zs.
TEST_F(ColorCorrectionExamples, SelectsSourceAndTargetWhite) {
  struct Case {
    int code, white;
    double xs, zs, xt, zt;
  };
  // clang-format off
  for (const Case& c : {Case{11, 330, 93.73457, 111.0946, 96.3, 96.3}, Case{11, 0, 93.73457, 111.0946, 96.42, 82.49},
                        Case{12, 331, 93.73457, 111.0946, 95.01, 95.01}, Case{13, 332, 93.73457, 111.0946, 99.63, 99.63},
                        Case{21, 331, 96.07735, 95.5562, 96.57, 96.57}, Case{22, 333, 96.07735, 95.5562, 95.04, 108.89},
                        Case{33, -1, 98.3594, 62.02108, 95.3, 141.27}, Case{32, 332, 98.3594, 62.02108, 95.28, 95.28},
                        Case{41, 329, 105.1676, 35.34657, 96.42, 82.49}, Case{43, 330, 105.1676, 35.34657, 96.22, 96.22}}) {
    // clang-format on
    TestImage image({.depth = 32, .width = 1, .height = 1}, {{Px(10, 20, 30)}});
    ASSERT_EQ(ImgColorCorrection(image.handle(), c.code, c.white, kPrimaries), 1);
    EXPECT_EQ(WhiteAdaptation[0], c.xt / c.xs) << c.code << " " << c.white;
    EXPECT_EQ(WhiteAdaptation[1], 1.0);
    EXPECT_EQ(WhiteAdaptation[2], c.zt / c.zs) << c.code << " " << c.white;
  }
}

TEST_F(ColorCorrectionExamples, RefusesCodesAndPrimariesItCannotUseButStoresThePrimaries) {
  TestImage image({.depth = 32, .width = 2, .height = 1}, {{Px(200, 150, 100), Px(1, 2, 3)}});
  const std::vector<uint8_t> before = image.bytes();
  for (int code : {0, 10, 14, 20, 24, 30, 34, 40, 44, 50, 51, 111, -12})
    EXPECT_EQ(ImgColorCorrection(image.handle(), code, 0, kPrimaries), 0) << code;
  const double nan = std::nan("");
  const double degenerate[][6] = {{0.3, 0.3, 0.3, 0.3, 0.15, 0.06},
                                  {0.2, 0.2, 0.3, 0.3, 0.4, 0.4},
                                  {0, 0, 0, 0, 0, 0},
                                  {0.64, 0.33, 0.30, 0.60, nan, 0.06},
                                  {0.64, 0.33, 0.30, 0.60, 0.15, 1e300}};
  for (const auto& primaries : degenerate) EXPECT_EQ(ImgColorCorrection(image.handle(), 12, 0, primaries), 0);
  EXPECT_EQ(ImgColorCorrection(image.handle(), 12, 0, nullptr), 0);
  EXPECT_EQ(image.bytes(), before);
  const double primaries[6] = {0.7, 0.29, 0.21, 0.71, 0.15, 0.02};
  EXPECT_EQ(ImgColorCorrection(nullptr, 12, 0, primaries), 0);
  EXPECT_EQ((std::array<double, 6>{PrimaryRedX, PrimaryRedY, PrimaryGreenX, PrimaryGreenY, PrimaryBlueX, PrimaryBlueY}),
            (std::array<double, 6>{0.7, 0.29, 0.21, 0.71, 0.15, 0.02}));
}

TEST(ColorMatrixTest, ExactInverses) {
  EXPECT_EQ(InvertMatrix3({{{2, 0, 0}, {0, 4, 0}, {0, 0, 8}}}), (Matrix3{{{0.5, 0, 0}, {0, 0.25, 0}, {0, 0, 0.125}}}));
  EXPECT_EQ(InvertMatrix3({{{1, 2, 0}, {0, 1, 3}, {0, 0, 1}}}), (Matrix3{{{1, -2, 6}, {0, 1, -3}, {0, 0, 1}}}));
  EXPECT_FALSE(InvertMatrix3({{{1, 2, 3}, {2, 4, 6}, {0, 0, 1}}}));
  EXPECT_FALSE(InvertMatrix3({{{0.1, 0.2, 0.3}, {0.4, 0.5, 0.6}, {0.7, 0.8, 0.9}}})) << "singular but for rounding";
  EXPECT_FALSE(InvertMatrix3({{{1e300, 0, 0}, {0, 1e300, 0}, {0, 0, 1e300}}})) << "the determinant overflows";
}

}  // namespace
}  // namespace ormi
