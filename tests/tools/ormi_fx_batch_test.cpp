// Batches: --out-dir turns every file into an input; a failing file is reported and the others
// go on; the exit status says whether all were written; a progress line only on a terminal.
#include <cstdlib>

#include "tools/fx_run.h"

namespace ormi::test {
namespace {

class BatchTest : public FxFileTest {
 protected:
  void SetUp() override {
    FxFileTest::SetUp();
    HGLOBAL picture = MakeTestPicture(9, 6, false);
    WritePictureFile(Path("a.png"), host::PictureFormat::Png, picture, false);
    WritePictureFile(Path("c.jpg"), host::PictureFormat::Jpeg, picture, false);
    HGLOBAL palette = host::ConvertBitmapDepth(picture, 8);
    WritePictureFile(Path("p8.bmp"), host::PictureFormat::Bmp, palette, false);
    GlobalFree(palette);
    GlobalFree(picture);
    // A PNG cut short after its header chunk, a JPEG with nothing after its first marker.
    std::vector<uint8_t> png;
    std::string error;
    ASSERT_TRUE(host::ReadWholeFile(Path("a.png"), png, error));
    png.resize(40);
    ASSERT_TRUE(host::WriteWholeFile(Path("cut.png"), png, error));
    std::ofstream(Path("bad.jpg")) << "\xff\xd8\xff\xe0 not really";
  }

  void ExpectWritten(const std::string& input, const std::string& output, const std::vector<StepCall>& steps) {
    Expected expected;
    ComputeExpected(Path(input), steps, expected);
    ExpectFileMatches(Path(output), expected);
  }
};

TEST_F(BatchTest, EveryInputIsWrittenUnderItsOwnName) {
  const FxRun run =
      RunFx("invert then blur --amount 30 --out-dir " + Path("out") + " " + Path("a.png") + " " + Path("c.jpg"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "");  // not a terminal: quiet
  const host::EffectInfo* invert = host::FindEffect("invert");
  const host::EffectInfo* blur = host::FindEffect("blur");
  ExpectWritten("a.png", "out/a.png", {{invert, {}}, {blur, {30}}});
  // The JPEG is written as a JPEG: lossy, so only its format and size are checked.
  host::Picture jpeg = host::ReadPicture(Path("out/c.jpg"));
  ASSERT_NE(jpeg.bitmap, nullptr) << jpeg.error;
  EXPECT_EQ(jpeg.format, host::PictureFormat::Jpeg);
  EXPECT_EQ(WidthOf(jpeg.bitmap), 9);
  GlobalFree(jpeg.bitmap);
}

TEST_F(BatchTest, FormatChangesTheExtension) {
  const FxRun run = RunFx("invert --format png --out-dir " + Path("out") + " " + Path("c.jpg") + " " + Path("p8.bmp"));
  ASSERT_EQ(run.status, 0) << run.output;
  ExpectWritten("c.jpg", "out/c.png", {{host::FindEffect("invert"), {}}});
  ExpectWritten("p8.bmp", "out/p8.png", {{host::FindEffect("invert"), {}}});
  EXPECT_FALSE(fs::exists(Path("out/c.jpg")));
}

TEST_F(BatchTest, FailingFilesAreReportedAndTheOthersGoOn) {
  // Malformed PNG, refused depth, missing file, malformed JPEG, between files that work.
  const FxRun run = RunFx("blur --out-dir " + Path("out") + " " + Path("cut.png") + " " + Path("a.png") + " " +
                          Path("p8.bmp") + " " + Path("missing.png") + " " + Path("bad.jpg") + " " + Path("c.jpg"));
  EXPECT_EQ(run.status, 3) << run.output;  // the highest status of a failure: a file error
  EXPECT_TRUE(Contains(run.output, "cut.png: bad PNG file: ")) << run.output;
  EXPECT_TRUE(Contains(run.output, "p8.bmp: blur refused the 8-bit picture")) << run.output;
  EXPECT_TRUE(Contains(run.output, "missing.png: ")) << run.output;
  EXPECT_TRUE(Contains(run.output, "bad.jpg: bad JPEG file: ")) << run.output;
  EXPECT_TRUE(Contains(run.output, "4 of 6 files failed")) << run.output;
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 5) << run.output;  // one line each
  ExpectWritten("a.png", "out/a.png", {{host::FindEffect("blur"), {50}}});
  EXPECT_TRUE(fs::exists(Path("out/c.jpg")));
  for (const char* name : {"cut.png", "p8.bmp", "missing.png", "bad.jpg"}) {
    EXPECT_FALSE(fs::exists(Path(std::string("out/") + name))) << name;
  }
}

TEST_F(BatchTest, ARefusalAloneExitsWithOne) {
  const FxRun run = RunFx("blur --out-dir " + Path("out") + " " + Path("a.png") + " " + Path("p8.bmp"));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(fs::exists(Path("out/a.png")));
}

TEST_F(BatchTest, TwoInputsOfTheSameNameDoNotOverwriteEachOther) {
  fs::create_directories(Path("other"));
  fs::copy_file(Path("c.jpg"), Path("other/a.png"));  // a JPEG under a PNG's name: sniffed by its bytes
  const FxRun run = RunFx("invert --out-dir " + Path("out") + " " + Path("a.png") + " " + Path("other/a.png"));
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_TRUE(Contains(run.output, "other/a.png: another input already went to")) << run.output;
  ExpectWritten("a.png", "out/a.png", {{host::FindEffect("invert"), {}}});
}

TEST_F(BatchTest, AnOutputFolderThatCannotBeMadeIsAFileError) {
  std::ofstream(Path("file")) << "x";
  const FxRun run = RunFx("invert --out-dir " + Path("file/sub") + " " + Path("a.png"));
  EXPECT_EQ(run.status, 3) << run.output;
  EXPECT_TRUE(Contains(run.output, "file/sub")) << run.output;
}

TEST_F(BatchTest, OnATerminalAProgressLineCountsTheFiles) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "script(1) is not installed";
  // script(1) runs ormi-fx on a pseudo-terminal and copies what it shows; short names keep the
  // line within the terminal's width.
  const std::string command = std::string(ORMI_FX) + " invert --out-dir out a.png cut.png c.jpg";
  const FxRun run = [&] {
    FILE* pipe = popen(("cd " + dir_.string() + " && script -qec '" + command + "' /dev/null 2>&1").c_str(), "r");
    std::string output;
    char chunk[512];
    while (size_t got = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, got);
    const int raw = pclose(pipe);
    return FxRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, output};
  }();
  EXPECT_EQ(run.status, 3) << run.output;
  // Each redraw clears the line; an error gets a line of its own and the count goes on below it.
  for (const char* part : {"\r\033[K[0/3] 0:00 a.png", "\r\033[K[1/3] 0:00 cut.png",
                           "\r\033[Kormi-fx: cut.png: bad PNG file", "[2/3] 0:00 c.jpg", "[3/3] 0:00 done"}) {
    EXPECT_TRUE(Contains(run.output, part)) << part << "\n" << run.output;
  }
  EXPECT_TRUE(fs::exists(Path("out/c.jpg")));
}

}  // namespace
}  // namespace ormi::test
