// Chains of effects joined by "then", the output's format, and the record's transparency from
// the file and the options.
#include "tools/fx_run.h"

namespace ormi::test {
namespace {

const host::EffectInfo* Effect(const char* name) { return host::FindEffect(name); }

class ChainTest : public FxFileTest {};

TEST_F(ChainTest, StepsApplyInOrderAndNewPicturesTakeThePlaceOfTheOld) {
  WriteFile(Path("in.png"), MakeTestPicture(17, 11, true), true);
  WriteFile(Path("p8.bmp"), host::ConvertBitmapDepth(MakeTestPicture(17, 11, false), 8));
  HGLOBAL mask = MakeBitmap({.depth = 1, .width = 17, .height = 11, .palette = {0, 0xFFFFFF}});
  for (int r = 0; r < 11; ++r)
    for (int x = 0; x < 17; ++x) WritePixel(mask, x, r, (x + r) % 3 == 0);
  WriteFile(Path("mask.bmp"), mask);
  const struct {
    std::string arguments, input, output;
    std::vector<StepCall> steps;
  } cases[] = {
      // A rotation's new image (larger than the input) goes on down the chain.
      {"blur --amount 60 then rotate --degrees 15 then normalise",
       "in.png",
       "out.png",
       {{Effect("blur"), {60}}, {Effect("rotate"), {15}}, {Effect("normalise"), {}}}},
      // The second brightness has no --delta: its default, not the first one's value.
      {"brightness --delta -100 then brightness",
       "in.png",
       "out.png",
       {{Effect("brightness"), {-100}}, {Effect("brightness"), {40}}}},
      // A new plain bitmap with transparent pixels, made with an extra picture, then mirrored.
      {"invert then gradient-for-text --from-color red --to-color 0xFF0000 --degrees 90 --mask @mask.bmp then mirror "
       "--rows 1 --columns 0",
       "in.png",
       "out.png",
       {{Effect("invert"), {}},
        {Effect("gradient-for-text"), {0x0000FF, 0xFF0000, 90}, {Path("mask.bmp")}},
        {Effect("mirror"), {1, 0}}}},
      // Quarter turns keep a palette BMP's depth.
      {"rotate --degrees 90 then invert", "p8.bmp", "out.bmp", {{Effect("rotate"), {90}}, {Effect("invert"), {}}}},
  };
  for (const auto& c : cases) {
    Expected expected;
    ComputeExpected(Path(c.input), c.steps, expected);
    std::string arguments = c.arguments;
    if (const size_t at = arguments.find("@mask.bmp"); at != std::string::npos)
      arguments.replace(at, 9, Path("mask.bmp"));
    const FxRun run = RunFx(arguments + " " + Path(c.input) + " " + Path(c.output));
    ASSERT_EQ(run.status, 0) << run.output;
    ExpectFileMatches(Path(c.output), expected);
  }
}

TEST_F(ChainTest, TheFormatFollowsTheOptionTheExtensionOrTheInput) {
  WriteFile(Path("in.png"), MakeTestPicture(5, 4, false));
  const struct {
    std::string arguments, output;
    host::PictureFormat format;
  } cases[] = {{"invert", "out.jpg", host::PictureFormat::Jpeg},
               {"--format bmp invert", "out.png", host::PictureFormat::Bmp},  // before the effect
               {"invert", "out.unknown", host::PictureFormat::Png}};
  for (const auto& c : cases) {
    ASSERT_EQ(RunFx(c.arguments + " " + Path("in.png") + " " + Path(c.output)).status, 0) << c.arguments;
    host::Picture written = host::ReadPicture(Path(c.output));
    EXPECT_EQ(written.format, c.format) << c.output;
    GlobalFree(written.bitmap);
  }
}

// The selection modes of the transparency: none, a colour key, alpha-carried, from the file (a
// PNG's alpha channel, a 32-bit BMP's alpha bytes when not all 0) or the options.
TEST_F(ChainTest, TheRecordSaysWhatTheFileAndTheOptionsSay) {
  const struct {
    bool alpha;
    std::string file, option;
    Transparency record;
  } cases[] = {{false, "in.png", "", {}},
               {true, "in.png", "", {.alpha = true}},
               {false, "in.png", "--alpha-transparency", {.alpha = true}},
               {true, "in.png", "--transparent-color 112233", {.colorKey = 0x332211}},
               {false, "in.png", "--transparent-color '#112233'", {.colorKey = 0x332211}},
               {true, "in.bmp", "", {.alpha = true}},
               {false, "in.bmp", "", {}}};
  for (const auto& c : cases) {
    HGLOBAL picture = MakeTestPicture(17, 11, c.alpha);
    // Pixels of the key colour to show the colour key at work; a plain BMP has alpha bytes 0.
    for (int x = 0; x < 17; x += 2) WritePixel(picture, x, 3, (ReadPixel(picture, x, 3) & 0xFF000000) | 0x112233);
    for (int r = 0; r < 11 && !c.alpha && c.file == "in.bmp"; ++r)
      for (int x = 0; x < 17; ++x) WritePixel(picture, x, r, ReadPixel(picture, x, r) & 0xFFFFFF);
    WriteFile(Path(c.file), picture, c.alpha);
    for (const char* effect : {"invert", "blur", "brightness"}) {
      Expected expected;
      ComputeExpected(Path(c.file), {{Effect(effect), host::DefaultValues(*Effect(effect))}}, expected, c.record);
      for (const char* out : {"out.png", "out.bmp"}) {
        const FxRun run = RunFx(std::string(effect) + " " + c.option + " " + Path(c.file) + " " + Path(out));
        ASSERT_EQ(run.status, 0) << run.output;
        ExpectFileMatches(Path(out), expected);
      }
    }
  }
}

}  // namespace
}  // namespace ormi::test
