// ormi-fx's commands, messages and exit statuses.
#include <algorithm>

#include "tools/fx_run.h"

namespace ormi::test {
namespace {

class OrmiFxTest : public FxFileTest {
 protected:
  void WriteBitmap(const std::string& name, const BitmapSpec& bitmapSpec, uint32_t firstPixel) {
    HGLOBAL bitmap = MakeBitmap(bitmapSpec);
    WritePixel(bitmap, 0, 0, firstPixel);
    WritePictureFile(Path(name), host::PictureFormat::Bmp, bitmap, false);
    GlobalFree(bitmap);
  }
};

TEST_F(OrmiFxTest, InvertWritesTheInvertedPicture) {
  WriteBitmap("in.bmp", {.depth = 24, .width = 3, .height = 2}, 0x102030);
  const FxRun run = RunFx("invert " + Path("in.bmp") + " " + Path("out.bmp"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");  // quiet on success
  host::BitmapResult out = host::ReadBmpFile(Path("out.bmp"));
  ASSERT_NE(out.bitmap, nullptr) << out.error;
  EXPECT_EQ(ReadPixel(out.bitmap, 0, 0), 0xEFDFCFu);
  EXPECT_EQ(ReadPixel(out.bitmap, 2, 1), 0xFFFFFFu);
  GlobalFree(out.bitmap);
}

TEST_F(OrmiFxTest, FileErrorsExitWithThreeOnOneLineNamingTheFile) {
  std::ofstream(Path("junk.bmp")) << "BM but not really a bitmap";
  std::ofstream(Path("cut.png")) << "\x89PNG\r\n\x1a\n and then nothing that holds together";
  std::ofstream(Path("cut.jpg")) << "\xff\xd8\xff but no JPEG after the marker";
  WriteBitmap("in.bmp", {.depth = 8, .width = 2, .height = 2}, 1);
  const struct {
    std::string arguments, names, says;
  } cases[] = {
      {"invert " + Path("missing.bmp") + " " + Path("out.bmp"), "missing.bmp", "No such file"},
      {"invert " + Path("junk.bmp") + " " + Path("out.bmp"), "junk.bmp", ""},
      {"invert " + Path("cut.png") + " " + Path("out.png"), "cut.png", "bad PNG file"},
      {"blur then invert " + Path("cut.jpg") + " " + Path("out.png"), "cut.jpg", "bad JPEG file"},
      {"invert " + Path("in.bmp") + " " + Path("no/such/dir/out.bmp"), "out.bmp", ""},
      {"info " + Path("cut.png"), "cut.png", "bad PNG file"},
  };
  for (const auto& c : cases) {
    const FxRun run = RunFx(c.arguments);
    EXPECT_EQ(run.status, 3) << c.arguments << "\n" << run.output;
    EXPECT_TRUE(Contains(run.output, c.names)) << run.output;
    if (c.says.empty() || c.arguments.starts_with("info")) continue;
    EXPECT_TRUE(Contains(run.output, c.says)) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
  }
  EXPECT_FALSE(fs::exists(Path("out.bmp")));
  EXPECT_FALSE(fs::exists(Path("out.png")));
}

TEST_F(OrmiFxTest, UsageErrorsExitWithTwo) {
  WriteBitmap("in.bmp", {.depth = 32, .width = 2, .height = 2}, 1);
  const std::string in = Path("in.bmp"), out = Path("out.bmp");
  const struct {
    std::string arguments, says;
  } cases[] = {
      {"no-such-effect a.bmp b.bmp", "unknown effect 'no-such-effect'"},
      {"blur then no-such-effect a.bmp b.bmp", "unknown effect 'no-such-effect'"},
      {"invert only-one.bmp", "expected INPUT OUTPUT"},
      {"invert a.bmp b.bmp c.bmp", "got 3 files"},
      {"", ""},
      {"then invert " + in + " " + out, "'then'"},
      {"invert then " + in + " " + out, "unknown effect"},
      {"invert then", "'then'"},
      {"invert " + in + " then blur " + out, "before 'then'"},
      {"brightness --delta 256 " + in + " " + out, "--delta"},
      {"brightness --delta 1.5 " + in + " " + out, "--delta"},
      {"brightness --no-such-option 1 " + in + " " + out, "no-such-option"},
      {"blur --amount nan " + in + " " + out, "not a finite number"},
      {"color-correction --primaries 0.6,0.3,nan,0.6,0.1,0.06 " + in + " " + out, "'nan' is not in"},
      {"color-correction --primaries 0.6,0.3,0.3,0.6,0.1 " + in + " " + out, "expected 6 comma-separated"},
      {"invert --format gif " + in + " " + out, "--format"},
      {"invert --depth 16 " + in + " " + out, "--depth"},
      {"invert --transparent-color 12345 " + in + " " + out, "RRGGBB"},
      {"invert --transparent-color 102030 --alpha-transparency " + in + " " + out, "exclude each other"},
      {"invert --out-dir " + Path("d"), "needs at least one INPUT"},
      {"list then invert", "cannot be chained"},
      {"load-gamma-table " + in, "takes no picture"},
  };
  for (const auto& c : cases) {
    const FxRun run = RunFx(c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments << "\n" << run.output;
    EXPECT_TRUE(Contains(run.output, c.says)) << c.arguments << "\n" << run.output;
  }
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(OrmiFxTest, RefusalsExitWithOneAndSayWhatTheEffectTakes) {
  WriteBitmap("in.bmp", {.depth = 8, .width = 3, .height = 3}, 1);
  FxRun run = RunFx("blur " + Path("in.bmp") + " " + Path("out.bmp"));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(Contains(run.output,
                       "in.bmp: blur refused the 8-bit picture (it accepts 32-bit pictures); "
                       "--depth 32 converts it first"))
      << run.output;
  EXPECT_FALSE(fs::exists(Path("out.bmp")));

  // In a chain the step is named; nothing is written.
  run = RunFx("invert then adj-contrast " + Path("in.bmp") + " " + Path("out.bmp"));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(Contains(run.output, "step 2 of 2: adj-contrast refused")) << run.output;
  EXPECT_FALSE(fs::exists(Path("out.bmp")));

  // A depth the effect takes, but an angle that needs 32 bits.
  run = RunFx("rotate --degrees 30 " + Path("in.bmp") + " " + Path("out.bmp"));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(Contains(run.output, "refused the 8-bit picture with these values")) << run.output;

  // --depth converts first.
  run = RunFx("blur --depth 32 " + Path("in.bmp") + " " + Path("out.bmp"));
  EXPECT_EQ(run.status, 0) << run.output;
  host::Picture out = host::ReadPicture(Path("out.bmp"));
  ASSERT_NE(out.bitmap, nullptr);
  EXPECT_EQ(DepthOfBitmap(out.bitmap), 32);
  GlobalFree(out.bitmap);
}

TEST_F(OrmiFxTest, HelpListsEveryEffectAndEachEffectsDepths) {
  FxRun run = RunFx("--help");
  EXPECT_EQ(run.status, 0);
  const FxRun list = RunFx("list");
  EXPECT_EQ(list.status, 0);
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    EXPECT_TRUE(Contains(run.output, effect.name)) << effect.name;
    EXPECT_TRUE(Contains(list.output, std::string(effect.name) + " ")) << effect.name;
    EXPECT_TRUE(Contains(list.output, effect.description)) << effect.name;
    const FxRun help = RunFx(std::string(effect.name) + " --help");
    EXPECT_EQ(help.status, 0) << effect.name;
    for (const host::EffectParam& param : effect.params) {
      EXPECT_TRUE(Contains(help.output, std::string("--") + param.name)) << effect.name;
    }
  }
  run = RunFx("invert --help");
  EXPECT_TRUE(Contains(run.output, "Accepts 1, 4, 8, 16, 24 and 32 bits.")) << run.output;
  run = RunFx("blur --help");
  EXPECT_TRUE(Contains(run.output, "Accepts 32-bit pictures. Other pictures: --depth 32 converts them first."))
      << run.output;
  EXPECT_TRUE(Contains(run.output, "--amount")) << run.output;
  EXPECT_TRUE(Contains(run.output, "--out-dir")) << run.output;
}

TEST_F(OrmiFxTest, AnEffectWithoutAPictureRunsAlone) {
  const FxRun run = RunFx("load-gamma-table");
  EXPECT_EQ(run.status, 0) << run.output;
}

TEST_F(OrmiFxTest, InfoShowsTheHeaderTheColourTableAndWhatEachFamilyTakes) {
  WriteBitmap("palette.bmp", {.depth = 8, .width = 5, .height = -3, .clrUsed = 16}, 1);
  FxRun run = RunFx("info " + Path("palette.bmp"));
  ASSERT_EQ(run.status, 0) << run.output;
  for (const char* part :
       {"(BMP)", "5 x 3, 8 bits", "biHeight 3 (bottom-up)", "biBitCount 8", "colour table: 16 entries (64 bytes)",
        "geometry    yes, every effect", "filters     no: blur (32-bit pictures)"}) {
    EXPECT_TRUE(Contains(run.output, part)) << part << "\n" << run.output;
  }
  HGLOBAL picture = MakeTestPicture(4, 3, true);
  WritePictureFile(Path("alpha.png"), host::PictureFormat::Png, picture, true);
  GlobalFree(picture);
  run = RunFx("info " + Path("alpha.png"));
  ASSERT_EQ(run.status, 0) << run.output;
  for (const char* part : {"(PNG, read as a 32-bit picture)", "4 x 3, 32 bits, alpha channel",
                           "colour table: 0 entries", "filters     yes, every effect"}) {
    EXPECT_TRUE(Contains(run.output, part)) << part << "\n" << run.output;
  }
  BitmapSpec masked{.depth = 16, .width = 2, .height = 2, .compression = BI_BITFIELDS};
  masked.masks = {0xF800, 0x07E0, 0x001F};
  WriteBitmap("masked.bmp", masked, 0);
  run = RunFx("info " + Path("masked.bmp"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "masks red 0000F800 green 000007E0 blue 0000001F")) << run.output;
  EXPECT_TRUE(Contains(run.output, "tone        ")) << run.output;
}

TEST_F(OrmiFxTest, DemoWritesAPngGalleryOfEveryEffect) {
  HGLOBAL picture = MakeTestPicture(24, 16, true);
  WritePictureFile(Path("mine.png"), host::PictureFormat::Png, picture, true);
  GlobalFree(picture);
  const FxRun run = RunFx("demo " + Path("demo") + " --input " + Path("mine.png"));
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string page = ReadText(Path("demo/index.html"));
  EXPECT_TRUE(Contains(page, "src=\"sample.png\"")) << page;
  EXPECT_TRUE(Contains(page, "src=\"input-original.png\"")) << page;
  EXPECT_TRUE(Contains(page, "<h2>mine.png</h2>")) << page;
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    // Every effect with its parameters in the caption; a picture of it on both sources.
    std::string caption = effect.name;
    for (const host::EffectParam& param : effect.params) caption += std::string(" --") + param.name + " ";
    EXPECT_TRUE(Contains(page, "<code>" + std::string(effect.name))) << effect.name;
    for (const host::EffectParam& param : effect.params) {
      EXPECT_TRUE(Contains(page, std::string(" --") + param.name + " ")) << effect.name;
    }
    if (effect.result == host::ResultKind::NoImage) continue;
    for (const std::string prefix : {"", "input-"}) {
      const std::string file = prefix + effect.name + ".png";
      if (!prefix.empty() && !fs::exists(Path("demo/" + file))) {
        // An effect may refuse the user's picture (inserting alpha into one that has it): the
        // tile says so.
        EXPECT_TRUE(Contains(page, std::string(effect.name) + " refused the 32-bit picture")) << file;
        continue;
      }
      EXPECT_TRUE(Contains(page, "src=\"" + file + "\"")) << file;
      EXPECT_TRUE(fs::exists(Path("demo/" + file))) << file;
    }
  }
  EXPECT_TRUE(Contains(page, "invert</code>")) << page;
  EXPECT_TRUE(Contains(page, "brightness --delta 40</code>")) << page;

  // The pictures are the effects' results: the inverted sample against the sample.
  host::Picture sample = host::ReadPicture(Path("demo/sample.png"));
  host::Picture inverted = host::ReadPicture(Path("demo/invert.png"));
  ASSERT_NE(sample.bitmap, nullptr);
  ASSERT_NE(inverted.bitmap, nullptr);
  EXPECT_EQ(sample.format, host::PictureFormat::Png);
  for (const int x : {0, 10, 100}) {
    EXPECT_EQ(ReadPixel(inverted.bitmap, x, 10) & 0xFFFFFF, ~ReadPixel(sample.bitmap, x, 10) & 0xFFFFFF);
  }
  GlobalFree(sample.bitmap);
  GlobalFree(inverted.bitmap);
  // The input's transparency followed its file: its alpha is kept in the results.
  host::Picture inputInverted = host::ReadPicture(Path("demo/input-invert.png"));
  ASSERT_NE(inputInverted.bitmap, nullptr);
  EXPECT_TRUE(inputInverted.hasAlpha);
  GlobalFree(inputInverted.bitmap);
}

TEST_F(OrmiFxTest, DemoOfAnUnreadableInputIsAFileError) {
  const FxRun run = RunFx("demo " + Path("demo") + " --input " + Path("missing.png"));
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_TRUE(Contains(run.output, "missing.png")) << run.output;
}

}  // namespace
}  // namespace ormi::test
