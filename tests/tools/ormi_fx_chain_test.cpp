// Chains of effects joined by "then", and the record's transparency from the file and the options.
#include <png.h>

#include "tools/fx_run.h"

namespace ormi::test {
namespace {

const host::EffectInfo& Effect(const char* name) {
  const host::EffectInfo* effect = host::FindEffect(name);
  EXPECT_NE(effect, nullptr) << name;
  return *effect;
}

class ChainTest : public FxFileTest {
 protected:
  void WritePng(const std::string& name, bool alpha) {
    HGLOBAL picture = MakeTestPicture(17, 11, alpha);
    WritePictureFile(Path(name), host::PictureFormat::Png, picture, alpha);
    GlobalFree(picture);
  }
};

TEST_F(ChainTest, EffectsApplyInOrderAndARotationsNewImageTakesThePlaceOfTheOld) {
  WritePng("in.png", false);
  Expected expected;
  ComputeExpected(Path("in.png"), {{&Effect("blur"), {60}}, {&Effect("rotate"), {15}}, {&Effect("normalise"), {}}},
                  expected);
  const FxRun run =
      RunFx("blur --amount 60 then rotate --degrees 15 then normalise " + Path("in.png") + " " + Path("out.png"));
  ASSERT_EQ(run.status, 0) << run.output;
  ExpectFileMatches(Path("out.png"), expected);
  // The rotated picture is larger than the input: the new image was written, not the old one.
  EXPECT_GT(WidthOf(expected.bitmap), 17);
}

TEST_F(ChainTest, TheSameEffectTwiceTakesEachItsOwnValues) {
  WritePng("in.png", false);
  Expected expected;
  // The second brightness has no --delta: its default, not the first one's value.
  ComputeExpected(Path("in.png"), {{&Effect("brightness"), {-100}}, {&Effect("brightness"), {40}}}, expected);
  const FxRun run = RunFx("brightness --delta -100 then brightness " + Path("in.png") + " " + Path("out.png"));
  ASSERT_EQ(run.status, 0) << run.output;
  ExpectFileMatches(Path("out.png"), expected);
}

TEST_F(ChainTest, ChainsMixNewImagesNewBitmapsAndExtraPictures) {
  WritePng("in.png", true);
  HGLOBAL mask = MakeBitmap({.depth = 1, .width = 17, .height = 11, .palette = {0, 0xFFFFFF}});
  for (int r = 0; r < 11; ++r)
    for (int x = 0; x < 17; ++x) WritePixel(mask, x, r, (x + r) % 3 == 0);
  WritePictureFile(Path("mask.bmp"), host::PictureFormat::Bmp, mask, false);
  GlobalFree(mask);
  Expected expected;
  ComputeExpected(Path("in.png"),
                  {{&Effect("invert"), {}},
                   {&Effect("gradient-for-text"), {0x0000FF, 0xFF0000, 90}, {Path("mask.bmp")}},
                   {&Effect("mirror"), {1, 0}}},
                  expected);
  const FxRun run =
      RunFx("invert then gradient-for-text --from-color 0x0000FF --to-color 0xFF0000 --degrees 90 --mask " +
            Path("mask.bmp") + " then mirror --rows 1 --columns 0 " + Path("in.png") + " " + Path("out.png"));
  ASSERT_EQ(run.status, 0) << run.output;
  ExpectFileMatches(Path("out.png"), expected);
  EXPECT_TRUE(expected.alpha);  // the text fill's transparent pixels are written as such
}

TEST_F(ChainTest, QuarterTurnsOfAPaletteBmpKeepItsDepth) {
  HGLOBAL picture = MakeTestPicture(17, 11, false);
  HGLOBAL palette = host::ConvertBitmapDepth(picture, 8);
  WritePictureFile(Path("in.bmp"), host::PictureFormat::Bmp, palette, false);
  GlobalFree(picture);
  GlobalFree(palette);
  Expected expected;
  ComputeExpected(Path("in.bmp"), {{&Effect("rotate"), {90}}, {&Effect("invert"), {}}}, expected);
  const FxRun run = RunFx("rotate --degrees 90 then invert " + Path("in.bmp") + " " + Path("out.bmp"));
  ASSERT_EQ(run.status, 0) << run.output;
  ExpectFileMatches(Path("out.bmp"), expected);
  EXPECT_EQ(expected.depth, 8);
  EXPECT_EQ(WidthOf(expected.bitmap), 11);
}

TEST_F(ChainTest, OutputFormatFollowsTheExtensionOrFormat) {
  WritePng("in.png", false);
  ASSERT_EQ(RunFx("invert " + Path("in.png") + " " + Path("out.jpg")).status, 0);
  ASSERT_EQ(RunFx("--format bmp invert " + Path("in.png") + " " + Path("out")).status, 0);  // before the effect
  ASSERT_EQ(RunFx("invert " + Path("in.png") + " " + Path("plain")).status, 0);             // the input's format
  EXPECT_EQ(host::ReadPicture(Path("out.jpg")).format, host::PictureFormat::Jpeg);
  for (const char* name : {"out", "plain"}) {
    host::Picture written = host::ReadPicture(Path(name));
    ASSERT_NE(written.bitmap, nullptr) << name;
    EXPECT_EQ(written.format, std::string(name) == "out" ? host::PictureFormat::Bmp : host::PictureFormat::Png);
    GlobalFree(written.bitmap);
  }
  host::Picture jpeg = host::ReadPicture(Path("out.jpg"));
  GlobalFree(jpeg.bitmap);
}

// Grey and palette PNGs (a palette with transparent entries among them) load as 32-bit pictures;
// the palette's alpha marks the record and is written back.
TEST_F(ChainTest, GreyAndPalettePngsGoThroughAChain) {
  const uint8_t grey[12] = {0, 20, 40, 60, 80, 100, 120, 140, 160, 180, 200, 255};
  const uint8_t colormap[12] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0};  // RGBA entries
  const uint8_t indices[12] = {0, 1, 2, 0, 1, 2, 2, 1, 0, 2, 2, 1};
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 4;
  image.height = 3;
  image.format = PNG_FORMAT_GRAY;
  ASSERT_TRUE(png_image_write_to_file(&image, Path("grey.png").c_str(), 0, grey, 0, nullptr));
  png_image mapped{};
  mapped.version = PNG_IMAGE_VERSION;
  mapped.width = 4;
  mapped.height = 3;
  mapped.format = PNG_FORMAT_RGBA_COLORMAP;
  mapped.colormap_entries = 3;
  ASSERT_TRUE(png_image_write_to_file(&mapped, Path("palette.png").c_str(), 0, indices, 0, colormap));
  for (const char* name : {"grey.png", "palette.png"}) {
    Expected expected;
    ComputeExpected(Path(name), {{&Effect("brightness"), {40}}, {&Effect("blur"), {50}}}, expected);
    EXPECT_EQ(expected.alpha, std::string(name) == "palette.png");
    const FxRun run = RunFx("brightness then blur " + Path(name) + " " + Path(std::string("out-") + name));
    ASSERT_EQ(run.status, 0) << run.output;
    ExpectFileMatches(Path(std::string("out-") + name), expected);
  }
}

// The selection modes of the transparency: none, a colour key, alpha-carried, from the file or
// the options.
struct TransparencyCase {
  const char* name;
  bool pngAlpha;        // the input PNG has an alpha channel
  const char* option;   // added to the command line
  Transparency record;  // what the record must say
};

class TransparencyTest : public ChainTest, public ::testing::WithParamInterface<TransparencyCase> {};

TEST_P(TransparencyTest, TheRecordSaysWhatTheFileAndTheOptionsSay) {
  const TransparencyCase& c = GetParam();
  HGLOBAL picture = MakeTestPicture(17, 11, c.pngAlpha);
  // Pixels of the key colour 0x112233 (red 0x11) to show the colour key at work.
  for (int x = 0; x < 17; x += 2) WritePixel(picture, x, 3, (ReadPixel(picture, x, 3) & 0xFF000000) | 0x112233);
  WritePictureFile(Path("in.png"), host::PictureFormat::Png, picture, c.pngAlpha);
  GlobalFree(picture);
  for (const char* effect : {"invert", "blur", "brightness"}) {
    Expected expected;
    ComputeExpected(Path("in.png"), {{&Effect(effect), host::DefaultValues(Effect(effect))}}, expected, c.record);
    const FxRun run =
        RunFx(std::string(effect) + " " + c.option + " " + Path("in.png") + " " + Path(std::string(effect) + ".png"));
    ASSERT_EQ(run.status, 0) << run.output;
    ExpectFileMatches(Path(std::string(effect) + ".png"), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TransparencyTest,
    ::testing::Values(
        TransparencyCase{"NoAlphaNoOption", false, "", {}},
        TransparencyCase{"AlphaFromTheFile", true, "", {.alpha = true}},
        TransparencyCase{"AlphaFromTheOption", false, "--alpha-transparency", {.alpha = true}},
        TransparencyCase{"ColourKeyOverTheFile", true, "--transparent-color 112233", {.colorKey = 0x332211}},
        TransparencyCase{"ColourKeyWithHash", false, "--transparent-color '#112233'", {.colorKey = 0x332211}}),
    [](const ::testing::TestParamInfo<TransparencyCase>& param) { return std::string(param.param.name); });

TEST_F(ChainTest, AColourKeyKeepsItsPixelsThroughInvert) {
  HGLOBAL picture = MakeTestPicture(5, 3, false);
  WritePixel(picture, 1, 1, 0xFF112233);
  WritePictureFile(Path("in.png"), host::PictureFormat::Png, picture, false);
  GlobalFree(picture);
  ASSERT_EQ(RunFx("invert --transparent-color 112233 " + Path("in.png") + " " + Path("out.png")).status, 0);
  host::Picture out = host::ReadPicture(Path("out.png"));
  ASSERT_NE(out.bitmap, nullptr);
  EXPECT_EQ(ReadPixel(out.bitmap, 1, 1) & 0xFFFFFF, 0x112233u);  // the key stays
  HGLOBAL source = MakeTestPicture(5, 3, false);
  EXPECT_EQ(ReadPixel(out.bitmap, 0, 1) & 0xFFFFFF, ~ReadPixel(source, 0, 1) & 0xFFFFFF);  // the others invert
  GlobalFree(source);
  GlobalFree(out.bitmap);
}

TEST_F(ChainTest, A32BitBmpCarriesAlphaOnlyWhenItsAlphaBytesAreNotAllZero) {
  HGLOBAL picture = MakeTestPicture(5, 3, true);
  WritePictureFile(Path("alpha.bmp"), host::PictureFormat::Bmp, picture, true);
  for (int r = 0; r < 3; ++r)
    for (int x = 0; x < 5; ++x) WritePixel(picture, x, r, ReadPixel(picture, x, r) & 0xFFFFFF);
  WritePictureFile(Path("plain.bmp"), host::PictureFormat::Bmp, picture, false);
  GlobalFree(picture);
  for (const char* name : {"alpha.bmp", "plain.bmp"}) {
    Expected expected;
    ComputeExpected(Path(name), {{&Effect("invert"), {}}}, expected);
    EXPECT_EQ(expected.alpha, std::string(name) == "alpha.bmp");
    ASSERT_EQ(RunFx("invert " + Path(name) + " " + Path(std::string("out-") + name)).status, 0);
    ExpectFileMatches(Path(std::string("out-") + name), expected);
    // As PNG: alpha written exactly when the record carries it.
    ASSERT_EQ(RunFx("invert " + Path(name) + " " + Path(std::string(name) + ".png")).status, 0);
    ExpectFileMatches(Path(std::string(name) + ".png"), expected);
  }
}

}  // namespace
}  // namespace ormi::test
