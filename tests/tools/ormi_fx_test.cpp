// ormi-fx's commands, messages and exit statuses: each mistake (hostile files under a 500 MB
// address-space limit too) says what is wrong and how to fix it; full disks and racing writers
// never leave a partial file; output formats and options.
#include <zlib.h>

#include <algorithm>

#include "tools/fx_run.h"

namespace ormi::test {
namespace {

void PutBe(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<uint8_t>(value >> 8 * (size - 1 - i));
}

// A small PNG whose header declares another size (its CRC fixed), and a JPEG whose frame does.
std::vector<uint8_t> PngDeclaring(uint32_t width, uint32_t height) {
  std::vector<uint8_t> file;
  std::string error;
  HGLOBAL bitmap = MakeTestPicture(2, 2, false);
  EXPECT_TRUE(host::EncodePng(bitmap, false, file, error));
  GlobalFree(bitmap);
  PutBe(file, 16, width, 4);
  PutBe(file, 20, height, 4);
  PutBe(file, 29, static_cast<uint32_t>(crc32(0, file.data() + 12, 17)), 4);
  return file;
}

std::vector<uint8_t> JpegDeclaring(std::vector<uint8_t> file, uint16_t width, uint16_t height) {
  const uint8_t frame[2] = {0xFF, 0xC2};  // progressive; its tables at quality 100 hold no 0xFF
  const size_t at = static_cast<size_t>(std::search(file.begin(), file.end(), frame, frame + 2) - file.begin());
  PutBe(file, at + 5, uint32_t{height} << 16 | width, 4);
  return file;
}

// A noisy picture, which compresses badly.
HGLOBAL Noise(int size) {
  HGLOBAL bitmap = MakeBitmap({.depth = 32, .width = size, .height = size});
  for (int i = 0; i < size * size; ++i) WritePixel(bitmap, i % size, i / size, static_cast<uint32_t>(i) * 2654435761u);
  return bitmap;
}

class OrmiFxTest : public FxFileTest {
 protected:
  void SetUp() override {
    FxFileTest::SetUp();
    WriteFile(Path("p8.bmp"), host::ConvertBitmapDepth(MakeTestPicture(6, 6, false), 8));
    WriteFile(Path("p32.png"), MakeTestPicture(6, 6, false));
    WriteFile(Path("a32.png"), MakeTestPicture(6, 6, true), true);
    WriteFile(Path("big.png"), MakeTestPicture(8, 6, true), true);
    // An 8-bit picture with two palette entries: its depth is one emboss-icon takes, its palette not.
    WriteFile(Path("two.bmp"),
              MakeBitmap({.depth = 8, .width = 6, .height = 6, .clrUsed = 2, .palette = {0, 0xFFFFFF}}));
  }
};

struct Mistake {
  int status;
  std::string arguments, says, prefix = "";
};

TEST_F(OrmiFxTest, EachMistakeExitsWithItsStatusAndSaysWhy) {
  const auto rgb = [](int x, int y) { return std::array<uint8_t, 4>{uint8_t(x * 9), uint8_t(y * 7), 99, 0}; };
  const std::vector<uint8_t> jpeg = JpegOf({.pixel = rgb}), progressive = JpegOf({.pixel = rgb, .progressive = true});
  WriteBytes(Path("bomb.jpg"), JpegDeclaring(progressive, 65500, 65500));
  WriteBytes(Path("scans.jpg"), JpegOf({.pixel = rgb, .scanPerCoefficient = true}));
  WriteBytes(Path("cut.jpg"), {jpeg.begin(), jpeg.end() - 40});
  WriteBytes(Path("huge.png"), PngDeclaring(20000, 20000));
  WriteBytes(Path("limit.png"), PngDeclaring(16384, 16384));
  WriteFile(Path("ok.png"), Noise(16));
  const std::vector<uint8_t> png = ReadBytes(Path("ok.png"));
  WriteBytes(Path("cut.png"), {png.begin(), png.end() - 30});
  WriteFile(Path("small.bmp"), MakeTestPicture(100, 100, false));
  std::vector<uint8_t> large = ReadBytes(Path("small.bmp"));
  for (const size_t at : {18, 22}) large[at] = 0x80, large[at + 1] = 0x3E;  // 16000 x 16000
  WriteBytes(Path("sparse.bmp"), large);
  fs::resize_file(Path("sparse.bmp"), uint64_t{8} << 30);  // 4 GiB more than such a picture needs
  // Hostile files run in 500 MB of address space, except under AddressSanitizer, whose shadow
  // memory needs terabytes of it.
#if defined(__SANITIZE_ADDRESS__)
  const std::string bounded;
#else
  const std::string bounded = "ulimit -v 500000;";
#endif
  const Mistake cases[] = {
      // Help: types as words, defaults and ranges as typed, the colour syntax said once.
      {0, "--help", "Colours are #RRGGBB, RRGGBB or a CSS name (red, teal, ...); 0x... is the library's own"},
      {0, "--help", "2 usage error (options, extra pictures), 3 file error"},
      {0, "--version", "ormi-fx 0.1.0, ormiEffects 0.1.0, vector level "},
      {0, "blur --help", "--amount number=50"},
      {0, "blur --help", "(-1000 to 1000)"},
      {0, "blur --help", "Accepts 32-bit pictures. Other pictures: --depth 32 converts them first."},
      {0, "brightness --help", "--delta integer=40          amount added to each component; beyond -255"},
      {0, "gradient --help", "--from-color colour=#0040FF"},
      {0, "emboss-icon --help", "--second-color colour=#404040"},
      {0, "color-correction --help", "--primaries list of 6 numbers=0.64,0.33,0.3,0.6,0.15,0.06"},
      {0, "tile-for-text --help", "--mask-threshold integer=128"},
      {0, "invert --help", "--transparent-color colour"},
      {0, "brightness --delta 300 @p32.png @b.png", ""},  // the library saturates
      {0, "list", "gradient-for-text      A new 32-bit picture: the gradient where a 1-bit text mask is 0"},
      {0, "info @p8.bmp", "geometry    yes, every effect"},
      {0, "info @p8.bmp", "filters     no: blur (32-bit pictures)"},
      // Pictures the effect cannot take, with the option that converts them: 1.
      {1, "rotate --degrees 45 @p8.bmp @o.bmp",
       "p8.bmp: rotate --degrees 45: 8-bit pictures turn only by 0, 90, 180 or 270; add --depth 32"},
      {1, "block-rotate --degrees -90 @p8.bmp @o.bmp", "block-rotate --degrees -90: 8-bit pictures turn only by"},
      {1, "blur @p8.bmp @o.bmp", "blur takes 32-bit pictures, not 8-bit ones; add --depth 32"},
      {1, "invert then adj-contrast @p8.bmp @o.bmp", "step 2 of 2: adj-contrast takes 32-bit pictures"},
      {1, "emboss-icon @p32.png @o.bmp", "emboss-icon takes 4 and 8 bits, not 32-bit ones; add --depth 8"},
      {1, "insert-alpha @a32.png @o.png", "insert-alpha: the picture already carries its transparency"},
      // A refusal only the library can explain names the export.
      {1, "emboss-icon @two.bmp @o.bmp", "emboss-icon: TavoEmbossIcon refused the 8-bit 6x6 picture"},
      // Extra pictures that do not fit: 2.
      {2, "copy-alpha --source @big.png @p32.png @o.png", "copy-alpha: --source is 8x6, the picture 6x6"},
      {2, "copy-alpha --source @p8.bmp @p32.png @o.png", "copy-alpha: --source is 8-bit; it takes 32-bit pictures"},
      {2, "set-alpha-color --mask @big.png @p32.png @o.png", "set-alpha-color: --mask is 8x6, the picture 6x6"},
      {2, "gradient-for-text --mask @big.png @p32.png @o.png", "gradient-for-text: --mask is 8x6, the picture 6x6"},
      {2, "tile-for-text --tile @p8.bmp --mask @a32.png @big.png @o.png", "--mask is 6x6, the picture 8x6"},
      // Values: 2.
      {2, "blur --amount abc @p32.png @o.png", "--amount: 'abc' is not a number (see ormi-fx blur --help)"},
      {2, "brightness --delta 1.5 @p32.png @o.png", "--delta: '1.5' is not a whole number"},
      {2, "brightness --delta 9999999999 @p32.png @o.png", "'9999999999' is outside"},
      {2, "block-rotate --level 4 @p32.png @o.png", "--level: '4' is outside 1 to 3"},
      {2, "gradient --to-color bluish @p32.png @o.png", "--to-color: 'bluish' is not a colour"},
      {2, "insert-alpha --color 0x1000000 @p32.png @o.png", "sets bits above 0xFFFFFF"},
      {2, "invert --transparent-color 12345 @p32.png @o.png", "'12345' is not a colour"},
      {2, "color-correction --primaries 0.6,0.3,nan,0.6,0.1,0.06 @p32.png @o.png", "'nan' is not a number"},
      {2, "color-correction --primaries 0.6,0.3,0.3,0.6,0.1 @p32.png @o.png", "expected 6 comma-separated numbers"},
      {2, "gradient-for-text --mask-threshold 300 --mask @p32.png @p32.png @o.png", "--mask-threshold"},
      {2, "invert --jobs 0 --out-dir @d @p32.png", "--jobs"},
      {2, "invert --transparent-color red --alpha-transparency @p32.png @o.png", "exclude each other"},
      // Outputs whose format is unknown or contradicted, before anything is read: 2.
      {2, "invert @p32.png @o.xcf", "bmp, png, jpg, tiff, webp"},
      {2, "invert --format png @p32.png @o.jpg", "contradicts"},
      {2, "invert @p32.png @o.gif", "read, not written"},
      {2, "invert @p32.png -", "needs --format"},
      {2, "invert --out-dir @d -", "standard input"},
      // The command line itself: 2.
      {2, "", "'ormi-fx list' shows the effects"},
      {2, "--out-dir @d", "an effect or a command is needed"},
      {2, "no-such-effect a.bmp b.bmp", "unknown effect 'no-such-effect' (ormi-fx list shows them all)"},
      {2, "invert only-one.bmp", "expected INPUT OUTPUT"},
      {2, "then invert @p32.png @o.png", "'then'"},
      {2, "invert @p32.png then blur @o.png", "before 'then'"},
      {2, "invert --out-dir @d", "needs at least one INPUT"},
      {2, "list then invert", "cannot be chained"},
      {2, "load-gamma-table @p32.png", "takes no picture"},
      // Files: 3.
      {3, "invert @missing.bmp @o.bmp", "missing.bmp: No such file"},
      {3, "invert @p32.png @no/such/dir/o.png", "o.png"},
      {3, "gradient-for-text --mask @missing.png @p32.png @o.png", "missing.png"},
      {3, "gamma-correction @p32.png @o.png", "no gammalut.tbl in /nonexistent (set WINDIR to another folder)",
       "WINDIR=/nonexistent"},
      {3, "load-gamma-table", "load-gamma-table: no gammalut.tbl in /nonexistent", "WINDIR=/nonexistent"},
  };
  for (const Mistake& c : cases) {
    const ShellRun run = RunFx(Expand(c.arguments), Expand(c.prefix));
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
    EXPECT_TRUE(Contains(run.output, Expand(c.says))) << c.arguments << "\n" << run.output;
    const bool oneLine =
        c.status == 0 || c.arguments.empty() || std::count(run.output.begin(), run.output.end(), '\n') == 1;
    EXPECT_TRUE(oneLine) << run.output;
    const size_t note = run.output.find("Colours are");
    EXPECT_EQ(run.output.find("Colours are", note == std::string::npos ? note : note + 1), std::string::npos);
    EXPECT_FALSE(fs::remove(Path("o.bmp")) || fs::remove(Path("o.png"))) << c.arguments;
  }
  host::Picture saturated = host::ReadPicture(Path("b.png"));
  ASSERT_NE(saturated.bitmap, nullptr);
  EXPECT_EQ(ReadPixel(saturated.bitmap, 0, 0) & 0xFFFFFF, 0xFFFFFFu);  // 0x0000C8 + 300 saturates
  GlobalFree(saturated.bitmap);
  // Another host may pass a top-down picture (files are read bottom-up): the same check says what fixes it.
  const host::PictureFacts top{6, 6, 32, true};
  EXPECT_EQ(host::CheckEffect(*host::FindEffect("sharpen"), std::vector<double>{50}, top).message,
            "sharpen: the picture stores its rows top-down; add --depth 32 to store them bottom-up");
  EXPECT_FALSE(host::CheckEffect(*host::FindEffect("invert"), {}, top));
}

// A write that fails part way (a file size limit stands in for a full disk) leaves the target as
// it was and no temporary file; racing writers leave one whole file; --out-dir keeps its inputs.
TEST_F(OrmiFxTest, FailedAndRacingWritesNeverLeaveAPartialFile) {
  const std::string big = Path("noise.png"), little = Path("little.png");
  WriteFile(big, Noise(300));
  WriteFile(little, Noise(7));
  fs::copy_file(little, Path("target.png"));
  const std::vector<uint8_t> before = ReadBytes(Path("target.png"));
  const auto files = [&] { return std::distance(fs::directory_iterator(dir_), fs::directory_iterator()); };
  const auto count = files();
  const ShellRun full = RunFx("invert " + big + " " + Path("target.png"), "trap '' XFSZ; ulimit -f 8; exec");
  EXPECT_EQ(full.status, 3) << full.output;
  EXPECT_TRUE(Contains(full.output, "File too large")) << full.output;
  EXPECT_EQ(ReadBytes(Path("target.png")), before);
  EXPECT_EQ(files(), count);  // no temporary left

  for (int round = 0; round < 4; ++round) {
    const std::string same = Path("same.png");
    const ShellRun race =
        RunFx("invert " + big + " " + same + " & " ORMI_FX " invert " + little + " " + same + " & wait");
    host::Picture result = host::ReadPicture(same);
    ASSERT_NE(result.bitmap, nullptr) << result.error << race.output;
    EXPECT_TRUE(host::FactsOfBitmap(result.bitmap).width == 300 || host::FactsOfBitmap(result.bitmap).width == 7);
    GlobalFree(result.bitmap);
  }
  const std::string refused = "invert --out-dir " + dir_.string() + " " + little;
  EXPECT_EQ(RunFx(refused).status, 2);
  EXPECT_EQ(ReadBytes(little), before);
  EXPECT_EQ(RunFx(refused + " --overwrite").status, 0);
  EXPECT_NE(ReadBytes(little), before);
}

// "-" is standard input and output; a 4:4:4 JPEG stays 4:4:4, a PNG becomes 4:2:0; --quality and
// --compression are the encoders'; an EXIF orientation of 6 turns a picture on its side.
TEST_F(OrmiFxTest, StreamsEncoderOptionsAndOrientation) {
  const auto run = [&](const std::string& arguments) { return RunFx("invert " + Expand(arguments)).status; };
  ASSERT_EQ(run("--max-pixels 36 --format jpg - - <@p32.png >@piped.jpg"), 0);
  ASSERT_EQ(run("@p32.png @direct.jpg"), 0);
  EXPECT_EQ(ReadBytes(Path("piped.jpg")), ReadBytes(Path("direct.jpg")));
  WriteFile(Path("full.jpg"), MakeTestPicture(64, 32, false), false, {.fullChroma = true});
  for (const char* name : {"p32.png", "full.jpg"}) {
    ASSERT_EQ(run("@" + std::string(name) + " @again.jpg"), 0);
    host::Picture again = host::ReadPicture(Path("again.jpg"));
    EXPECT_EQ(again.fullChroma, std::string(name) == "full.jpg");
    GlobalFree(again.bitmap);
  }
  ASSERT_EQ(run("--quality 20 @full.jpg @low.jpg"), 0);
  EXPECT_LT(fs::file_size(Path("low.jpg")) * 2, fs::file_size(Path("again.jpg")));
  ASSERT_EQ(run("--compression 0 @full.jpg @stored.png") + run("@full.jpg @deflated.png"), 0);
  EXPECT_GE(fs::file_size(Path("stored.png")), 32 * (1 + 64 * 3));  // every row and filter byte stored
  EXPECT_LT(fs::file_size(Path("deflated.png")), 32 * 64 * 3);
  WriteBytes(Path("turned.jpg"), WithOrientation(ReadBytes(Path("full.jpg")), 6));
  for (const char* option : {"", "--no-auto-orient "}) {
    ASSERT_EQ(run(option + std::string("@turned.jpg @shown.png")), 0);
    host::Picture shown = host::ReadPicture(Path("shown.png"));
    EXPECT_EQ(host::FactsOfBitmap(shown.bitmap).width, *option ? 64 : 32) << option;
    GlobalFree(shown.bitmap);
  }
}

// Every colour syntax names the same colour: a gradient between one colour and itself is that
// colour, and as a colour key the colour stays through invert.
TEST_F(OrmiFxTest, ColoursAreReadTheSameWayEverywhere) {
  HGLOBAL keyed = MakeTestPicture(6, 6, false);
  const struct {
    std::string typed;
    uint32_t rgb;
  } cases[] = {
      {"red", 0xFF0000},    {"Blue", 0x0000FF},     {"RebeccaPurple", 0x663399}, {"'#00FF80'", 0x00FF80},
      {"00ff80", 0x00FF80}, {"0x0000FF", 0xFF0000}, {"0x00FF8000", 0x0080FF},    {"lightgoldenrodyellow", 0xFAFAD2}};
  for (const auto& c : cases) {
    WritePixel(keyed, 2, 2, 0xFF000000u | c.rgb);
    WriteFile(Path("keyed.png"), host::CopyGlobalBlock(keyed));
    const std::string on = Expand(" @p32.png @o.png"), color = c.typed;
    ASSERT_EQ(RunFx("gradient --from-color " + color + " --to-color " + color + on).status, 0) << color;
    ASSERT_EQ(RunFx("invert --transparent-color " + color + Expand(" @keyed.png @k.png")).status, 0) << color;
    host::Picture painted = host::ReadPicture(Path("o.png")), inverted = host::ReadPicture(Path("k.png"));
    EXPECT_EQ(ReadPixel(painted.bitmap, 4, 1) & 0xFFFFFF, c.rgb) << c.typed;
    EXPECT_EQ(ReadPixel(inverted.bitmap, 2, 2) & 0xFFFFFF, c.rgb) << c.typed;  // the key stays
    EXPECT_EQ(ReadPixel(inverted.bitmap, 1, 2) & 0xFFFFFF, ~ReadPixel(keyed, 1, 2) & 0xFFFFFF) << c.typed;
    GlobalFree(painted.bitmap);
    GlobalFree(inverted.bitmap);
  }
  GlobalFree(keyed);
}

// A text mask from any picture: darker than the threshold is text (the fill is opaque there,
// transparent elsewhere), a 1-bit mask by its colours whatever its palette order.
TEST_F(OrmiFxTest, MasksAreReadByTheirColours) {
  const auto mask = [](int depth, std::vector<uint32_t> palette, uint32_t text, uint32_t ground) {
    HGLOBAL bitmap = MakeBitmap({.depth = depth, .width = 6, .height = 6, .palette = palette});
    for (int r = 0; r < 6; ++r)
      for (int x = 0; x < 6; ++x) WritePixel(bitmap, x, r, (x + 2 * r) % 5 == 0 ? text : ground);
    return bitmap;
  };
  WriteFile(Path("black-first.bmp"), mask(1, {0, 0xFFFFFF}, 0, 1));
  WriteFile(Path("white-first.bmp"), mask(1, {0xFFFFFF, 0}, 1, 0));
  WriteFile(Path("grey.png"), mask(32, {}, 0xFF646464, 0xFFFFFFFF));  // luminance 100 on white
  WriteFile(Path("light.png"), mask(32, {}, 0xFFFFFFFF, 0xFF000000));
  WriteFile(Path("blue.png"), mask(32, {}, 0xFF0000FF, 0xFFFFFFFF));  // luminance 29: blue counts least
  const struct {
    std::string options;
    bool patternIsText, groundIsText;
  } cases[] = {{"@black-first.bmp", true, false},
               {"@white-first.bmp", true, false},
               {"@grey.png", true, false},
               {"@grey.png --mask-threshold 100", false, false},
               {"@grey.png --mask-threshold 101", true, false},
               {"@light.png --mask-invert", true, false},
               {"@light.png", false, true},
               {"@blue.png --mask-threshold 30", true, false}};
  for (const auto& c : cases) {
    const ShellRun run = RunFx("gradient-for-text --mask " + Expand(c.options + " @p32.png @o.png"));
    ASSERT_EQ(run.status, 0) << c.options << run.output;
    host::Picture out = host::ReadPicture(Path("o.png"));
    ASSERT_TRUE(out.hasAlpha) << c.options;  // also where no pixel is text
    for (int r = 0; r < 6; ++r)
      for (int x = 0; x < 6; ++x)
        EXPECT_EQ(ReadPixel(out.bitmap, x, r) >> 24, ((x + 2 * r) % 5 == 0 ? c.patternIsText : c.groundIsText) * 255u)
            << c.options << " " << x << "," << r;
    GlobalFree(out.bitmap);
  }
}

}  // namespace
}  // namespace ormi::test
