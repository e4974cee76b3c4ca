#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/bmp_file.h"
#include "support/test_image.h"

namespace ormi {
namespace {

namespace fs = std::filesystem;

struct FxRun {
  int status;
  std::string output;  // stdout and stderr together
};

FxRun RunFx(const std::string& arguments) {
  const std::string command = std::string(ORMI_FX) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char chunk[512];
  while (size_t got = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, got);
  const int raw = pclose(pipe);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, output};
}

class OrmiFxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("ormi_fx_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  void WriteBitmap(const std::string& name, const test::BitmapSpec& spec, uint32_t firstPixel) {
    HGLOBAL bitmap = test::MakeBitmap(spec);
    test::WritePixel(bitmap, 0, 0, firstPixel);
    std::string error;
    ASSERT_TRUE(host::WriteBmpFile(Path(name), bitmap, error)) << error;
    GlobalFree(bitmap);
  }

  fs::path dir_;
};

TEST_F(OrmiFxTest, InvertWritesTheInvertedPicture) {
  WriteBitmap("in.bmp", {.depth = 24, .width = 3, .height = 2}, 0x102030);
  const FxRun run = RunFx("invert " + Path("in.bmp") + " " + Path("out.bmp"));
  ASSERT_EQ(run.status, 0) << run.output;
  host::BitmapResult out = host::ReadBmpFile(Path("out.bmp"));
  ASSERT_NE(out.bitmap, nullptr) << out.error;
  EXPECT_EQ(test::ReadPixel(out.bitmap, 0, 0), 0xEFDFCFu);
  EXPECT_EQ(test::ReadPixel(out.bitmap, 2, 1), 0xFFFFFFu);
  GlobalFree(out.bitmap);
}

TEST_F(OrmiFxTest, FileErrorsExitWithThreeAndNameTheFile) {
  FxRun run = RunFx("invert " + Path("missing.bmp") + " " + Path("out.bmp"));
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.output.find("missing.bmp"), std::string::npos) << run.output;

  std::ofstream(Path("junk.bmp")) << "BM but not really a bitmap";
  run = RunFx("invert " + Path("junk.bmp") + " " + Path("out.bmp"));
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.output.find("junk.bmp"), std::string::npos) << run.output;
  EXPECT_FALSE(fs::exists(Path("out.bmp")));

  WriteBitmap("in.bmp", {.depth = 8, .width = 2, .height = 2}, 1);
  run = RunFx("invert " + Path("in.bmp") + " " + Path("no/such/dir/out.bmp"));
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.output.find("out.bmp"), std::string::npos) << run.output;
}

TEST_F(OrmiFxTest, UsageErrorsExitWithTwo) {
  const FxRun unknown = RunFx("no-such-effect a.bmp b.bmp");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.output.find("unknown effect 'no-such-effect'"), std::string::npos) << unknown.output;
  EXPECT_EQ(RunFx("invert only-one.bmp").status, 2);
  EXPECT_EQ(RunFx("").status, 2);
}

TEST_F(OrmiFxTest, HelpAndListDescribeTheEffects) {
  FxRun run = RunFx("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("invert"), std::string::npos);
  run = RunFx("invert --help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("Accepts 1, 4, 8, 16, 24 and 32 bits"), std::string::npos) << run.output;
  run = RunFx("list");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("negative"), std::string::npos) << run.output;
}

TEST_F(OrmiFxTest, DemoWritesAGalleryOfEveryEffect) {
  const FxRun run = RunFx("demo " + Path("demo"));
  ASSERT_EQ(run.status, 0) << run.output;
  std::ifstream html(Path("demo/index.html"));
  const std::string page((std::istreambuf_iterator<char>(html)), std::istreambuf_iterator<char>());
  EXPECT_NE(page.find("sample.bmp"), std::string::npos);
  EXPECT_NE(page.find("invert.bmp"), std::string::npos);
  host::BitmapResult sample = host::ReadBmpFile(Path("demo/sample.bmp"));
  host::BitmapResult inverted = host::ReadBmpFile(Path("demo/invert.bmp"));
  ASSERT_NE(sample.bitmap, nullptr);
  ASSERT_NE(inverted.bitmap, nullptr);
  EXPECT_EQ(test::ReadPixel(inverted.bitmap, 10, 10), ~test::ReadPixel(sample.bitmap, 10, 10));
  GlobalFree(sample.bitmap);
  GlobalFree(inverted.bitmap);
}

}  // namespace
}  // namespace ormi
