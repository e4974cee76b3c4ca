// Batches: --out-dir turns every file into an input; a failing file is reported on its line and
// the others go on; the status is the worst failure's; --jobs runs files at once with the same
// results; a progress line only on a terminal.
#include <algorithm>
#include <cstdlib>

#include "tools/fx_run.h"

namespace ormi::test {
namespace {

class BatchTest : public FxFileTest {
 protected:
  void SetUp() override {
    FxFileTest::SetUp();
    for (int i = 0; i < 6; ++i)
      WriteFile(Path("f" + std::to_string(i) + ".png"), MakeTestPicture(40 + 9 * i, 30 + i, i % 2), i % 2);
    WriteFile(Path("c.jpg"), MakeTestPicture(9, 6, false));
    WriteFile(Path("p8.bmp"), host::ConvertBitmapDepth(MakeTestPicture(9, 6, false), 8));
    std::ofstream(Path("cut.png")) << "\x89PNG\r\n\x1a\n and then nothing that holds together";
    fs::create_directories(Path("other"));
    fs::copy_file(Path("c.jpg"), Path("other/f0.png"));  // a JPEG under a PNG's name: sniffed by its bytes
  }
};

TEST_F(BatchTest, FailuresAreReportedOnALineEachAndTheWorstDecidesTheStatus) {
  const struct {
    std::string files;
    int status;
    std::vector<std::string> says;
  } cases[] = {
      // The worst failure (a missing file) comes before the last one (a refusal).
      {"@missing.png @f0.png @p8.bmp", 3, {"missing.png: ", "p8.bmp: blur takes 32-bit", "2 of 3 files failed"}},
      {"@cut.png @f0.png @c.jpg @p8.bmp", 3, {"cut.png: ", "p8.bmp: blur", "2 of 4 files failed"}},
      {"@p8.bmp @f0.png", 1, {"p8.bmp: blur takes", "1 of 2 files failed"}},
      {"@f0.png @other/f0.png", 3, {"other/f0.png: another input already went to", "1 of 2 files failed"}},
  };
  for (const char* jobs : {"1", "2"}) {
    for (const auto& c : cases) {
      fs::remove_all(Path("out"));
      const ShellRun run = RunFx("blur --jobs " + std::string(jobs) + Expand(" --out-dir @out " + c.files));
      EXPECT_EQ(run.status, c.status) << run.output;
      for (const std::string& part : c.says) EXPECT_TRUE(Contains(run.output, part)) << part << "\n" << run.output;
      EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), static_cast<long>(c.says.size())) << run.output;
      Expected expected;
      ComputeExpected(Path("f0.png"), {{host::FindEffect("blur"), {50}}}, expected);
      ExpectFileMatches(Path("out/f0.png"), expected);  // the first of the two f0.png
      EXPECT_FALSE(fs::exists(Path("out/p8.bmp")));
    }
  }
}

// Exports with module state (the gamma table, the colour correction's matrices) and the
// rotations' new images, from two jobs at once: the same bytes as one job.
TEST_F(BatchTest, TwoJobsWriteWhatOneJobWrites) {
  const std::string chain =
      "gamma-correction then color-correction --code 21 then rotate --degrees 10 then blur --format bmp";
  const std::string files = Expand(" @f0.png @f1.png @f2.png @f3.png @f4.png @f5.png @c.jpg");
  ASSERT_EQ(RunFx(chain + " --jobs 1 --out-dir " + Path("one") + files).status, 0);
  const ShellRun two = RunFx(chain + " --jobs 2 --out-dir " + Path("two") + files);
  ASSERT_EQ(two.status, 0) << two.output;
  for (const char* name : {"f0", "f1", "f2", "f3", "f4", "f5", "c"}) {
    const std::string one = ReadText(Path("one/" + std::string(name) + ".bmp"));
    EXPECT_FALSE(one.empty()) << name;
    EXPECT_EQ(one, ReadText(Path("two/" + std::string(name) + ".bmp"))) << name;
  }
}

TEST_F(BatchTest, OnATerminalAProgressLineCountsTheFiles) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "script(1) is not installed";
  // script(1) runs ormi-fx on a pseudo-terminal and copies what it shows; short names keep the
  // line within the terminal's width.
  const ShellRun run = RunFx("invert --jobs 1 --out-dir out f0.png cut.png c.jpg' /dev/null",
                             "cd " + dir_.string() + " && script -qec '");
  EXPECT_EQ(run.status, 3) << run.output;
  // Each redraw clears the line; an error gets a line of its own and the count goes on below it.
  for (const char* part : {"\r\033[K[0/3] 0:00 f0.png", "\r\033[K[1/3] 0:00 cut.png",
                           "\r\033[Kormi-fx: cut.png: ", "[2/3] 0:00 c.jpg", "[3/3] 0:00 done"}) {
    EXPECT_TRUE(Contains(run.output, part)) << part << "\n" << run.output;
  }
}

}  // namespace
}  // namespace ormi::test
