// ormi-fx on hostile files, on a disk that fills up, with writers racing each other, and on the
// pictures that ImageMagick writes.
#include <zlib.h>

#include <fstream>

#include "host/picture_samples.h"
#include "tools/fx_run.h"

namespace ormi::test {
namespace {

// A shell command with stdout and stderr together.
FxRun Shell(const std::string& command) {
  FILE* pipe = popen(("(" + command + ") 2>&1").c_str(), "r");
  std::string output;
  char chunk[512];
  while (size_t got = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, got);
  const int raw = pclose(pipe);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, output};
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void SaveBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
}

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

class PictureFilesCliTest : public FxFileTest {
 protected:
  // A noisy picture, which compresses badly, written as PNG.
  std::string Noise(const std::string& name, int size) {
    HGLOBAL bitmap = MakeBitmap({.depth = 32, .width = size, .height = size});
    for (int i = 0; i < size * size; ++i)
      WritePixel(bitmap, i % size, i / size, static_cast<uint32_t>(i) * 2654435761u);
    WritePictureFile(Path(name), host::PictureFormat::Png, bitmap, false);
    GlobalFree(bitmap);
    return Path(name);
  }
  std::string fx_ = ORMI_FX;
};

// Each hostile input under a 500 MB address-space limit: exit 3 with one line that says why.
// AddressSanitizer reserves terabytes of shadow address space, so its build checks the refusals
// without the limit.
#if defined(__SANITIZE_ADDRESS__)
const std::string kAddressLimit;
#else
const std::string kAddressLimit = "ulimit -v 500000; ";
#endif
TEST_F(PictureFilesCliTest, HostileFilesAreRefusedInBoundedMemory) {
  const auto rgb = [](int x, int y) { return std::array<uint8_t, 4>{uint8_t(x * 9), uint8_t(y * 7), 99, 0}; };
  const std::vector<uint8_t> jpeg = JpegOf({.pixel = rgb}), progressive = JpegOf({.pixel = rgb, .progressive = true});
  SaveBytes(Path("bomb.jpg"), JpegDeclaring(progressive, 65500, 65500));
  SaveBytes(Path("scans.jpg"), JpegOf({.pixel = rgb, .scanPerCoefficient = true}));
  SaveBytes(Path("cut.jpg"), {jpeg.begin(), jpeg.end() - 40});
  SaveBytes(Path("huge.png"), PngDeclaring(20000, 20000));
  SaveBytes(Path("limit.png"), PngDeclaring(16384, 16384));
  const std::vector<uint8_t> png = FileBytes(Noise("ok.png", 16));
  SaveBytes(Path("cut.png"), {png.begin(), png.end() - 30});
  HGLOBAL small = MakeTestPicture(100, 100, false);
  WritePictureFile(Path("small.bmp"), host::PictureFormat::Bmp, small, false);
  GlobalFree(small);
  std::vector<uint8_t> large = FileBytes(Path("small.bmp"));
  for (const size_t at : {18, 22}) large[at] = 0x80, large[at + 1] = 0x3E;  // 16000 x 16000
  SaveBytes(Path("sparse.bmp"), large);
  fs::resize_file(Path("sparse.bmp"), uint64_t{8} << 30);  // 4 GiB more than such a picture needs
  const std::string out = " " + Path("out.png");
  const struct {
    std::string command, says;
  } cases[] = {
      {fx_ + " invert " + Path("bomb.jpg") + out, "65500 x 65500"},
      {fx_ + " invert " + Path("scans.jpg") + out, "more than 100 scans"},
      {fx_ + " invert " + Path("cut.jpg") + out, "bad JPEG file: Premature end"},
      {fx_ + " invert " + Path("huge.png") + out, "20000 x 20000"},
      {fx_ + " invert " + Path("limit.png") + out, "too little image data for 16384 x 16384"},
      {fx_ + " invert " + Path("cut.png") + out, "bad PNG file"},
      {fx_ + " invert --max-pixels 255 " + Path("ok.png") + out, "16 x 16 pixels (limit 255"},
      {fx_ + " invert /dev/zero" + out, "not a BMP, PNG, JPEG, TIFF, WebP or GIF file"},
      {fx_ + " invert " + Path("sparse.bmp") + out, "file too large"},
      {"(cat " + Path("small.bmp") + "; cat /dev/zero) | " + fx_ + " invert -" + out, "file too large"},
      {fx_ + " invert " + Path("ok.png") + " /dev/full", "No space left on device"},
  };
  for (const auto& c : cases) {
    const FxRun run = Shell(kAddressLimit + c.command);
    EXPECT_EQ(run.status, 3) << c.command << "\n" << run.output;
    EXPECT_TRUE(Contains(run.output, c.says)) << c.command << "\n" << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    EXPECT_FALSE(fs::exists(Path("out.png"))) << c.command;
  }
}

// A write that fails part way (a file size limit stands in for a full disk) leaves the target as
// it was and no temporary file; racing writers leave one whole file; --out-dir keeps its inputs.
TEST_F(PictureFilesCliTest, FailedAndRacingWritesNeverLeaveAPartialFile) {
  const std::string big = Noise("big.png", 300), little = Noise("little.png", 7);
  fs::copy_file(little, Path("target.png"));
  const std::vector<uint8_t> before = FileBytes(Path("target.png"));
  const FxRun full = Shell("trap '' XFSZ; ulimit -f 8; exec " + fx_ + " invert " + big + " " + Path("target.png"));
  EXPECT_EQ(full.status, 3) << full.output;
  EXPECT_TRUE(Contains(full.output, "File too large")) << full.output;
  EXPECT_EQ(FileBytes(Path("target.png")), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);  // no temporary left

  for (int round = 0; round < 4; ++round) {
    const std::string same = Path("same.png");
    const FxRun race =
        Shell(fx_ + " invert " + big + " " + same + " & " + fx_ + " invert " + little + " " + same + " & wait");
    host::Picture result = host::ReadPicture(same);
    ASSERT_NE(result.bitmap, nullptr) << result.error << race.output;
    EXPECT_TRUE(WidthOf(result.bitmap) == 300 || WidthOf(result.bitmap) == 7);
    GlobalFree(result.bitmap);
  }
  const std::string refused = fx_ + " invert --out-dir " + dir_.string() + " " + little;
  EXPECT_EQ(Shell(refused).status, 2);
  EXPECT_EQ(FileBytes(little), before);
  EXPECT_EQ(Shell(refused + " --overwrite").status, 0);
  EXPECT_NE(FileBytes(little), before);
}

// Outputs whose format is unknown or contradicted are usage errors before anything is read;
// "-" is standard input and output.
TEST_F(PictureFilesCliTest, OutputFormatsAreCheckedAndDashIsAStream) {
  const std::string in = Noise("in.png", 5);
  const struct {
    std::string arguments, says;
  } cases[] = {{in + " " + Path("out.xcf"), "bmp, png, jpg, tiff, webp"},
               {"--format png " + in + " " + Path("out.jpg"), "contradicts"},
               {in + " " + Path("out.gif"), "read, not written"},
               {in + " -", "needs --format"},
               {"--out-dir " + Path("d") + " -", "standard input"}};
  for (const auto& c : cases) {
    const FxRun run = Shell(fx_ + " invert " + c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_TRUE(Contains(run.output, c.says)) << run.output;
  }
  ASSERT_EQ(Shell(fx_ + " invert --max-pixels 25 --format jpg - - <" + in + " >" + Path("piped.jpg")).status, 0);
  ASSERT_EQ(Shell(fx_ + " invert " + in + " " + Path("direct.jpg")).status, 0);
  EXPECT_EQ(FileBytes(Path("piped.jpg")), FileBytes(Path("direct.jpg")));
  // A 4:4:4 JPEG stays 4:4:4, a PNG becomes 4:2:0; --quality is the encoder's.
  HGLOBAL picture = MakeTestPicture(64, 32, false);
  std::string error;
  ASSERT_TRUE(
      host::WritePicture(Path("full.jpg"), host::PictureFormat::Jpeg, picture, false, error, {.fullChroma = true}));
  GlobalFree(picture);
  for (const char* name : {"in.png", "full.jpg"}) {
    ASSERT_EQ(Shell(fx_ + " invert " + Path(name) + " " + Path("again.jpg")).status, 0);
    host::Picture again = host::ReadPicture(Path("again.jpg"));
    EXPECT_EQ(again.fullChroma, std::string(name) == "full.jpg");
    GlobalFree(again.bitmap);
  }
  ASSERT_EQ(Shell(fx_ + " invert --quality 20 " + Path("full.jpg") + " " + Path("low.jpg")).status, 0);
  EXPECT_LT(fs::file_size(Path("low.jpg")) * 2, fs::file_size(Path("again.jpg")));
  ASSERT_EQ(Shell(fx_ + " invert --compression 0 " + Path("full.jpg") + " " + Path("stored.png")).status, 0);
  ASSERT_EQ(Shell(fx_ + " invert " + Path("full.jpg") + " " + Path("deflated.png")).status, 0);
  EXPECT_GE(fs::file_size(Path("stored.png")), 32 * (1 + 64 * 3));  // every row and filter byte stored
  EXPECT_LT(fs::file_size(Path("deflated.png")), 32 * 64 * 3);
  // An EXIF orientation of 6 turns the 64 x 32 picture on its side, unless --no-auto-orient.
  SaveBytes(Path("turned.jpg"), WithOrientation(FileBytes(Path("full.jpg")), 6));
  for (const char* option : {"", "--no-auto-orient "}) {
    ASSERT_EQ(Shell(fx_ + " invert " + option + Path("turned.jpg") + " " + Path("shown.png")).status, 0);
    host::Picture shown = host::ReadPicture(Path("shown.png"));
    EXPECT_EQ(WidthOf(shown.bitmap), *option ? 64 : 32) << option;
    GlobalFree(shown.bitmap);
  }
  std::vector<uint8_t> cut = FileBytes(Path("direct.jpg"));
  SaveBytes(Path("cut.jpg"), {cut.begin(), cut.end() - 20});
  const FxRun lenient = Shell(fx_ + " invert --lenient " + Path("cut.jpg") + " " + Path("kept.png"));
  EXPECT_EQ(lenient.status, 0);
  EXPECT_TRUE(Contains(lenient.output, "cut.jpg: damaged JPEG data (Premature end")) << lenient.output;
}

// Pictures that ImageMagick writes read as ImageMagick itself shows them, byte for byte, except
// that 16-bit samples are rounded to 8 bits where ImageMagick truncates them.
TEST_F(PictureFilesCliTest, ImageMagickFilesReadAsItShowsThem) {
  if (Shell("convert -version").status != 0) GTEST_SKIP() << "ImageMagick's convert is not installed";
  HGLOBAL source = MakeTestPicture(40, 30, true);
  WritePictureFile(Path("source.png"), host::PictureFormat::Png, source, true);
  GlobalFree(source);
  ASSERT_EQ(Shell("convert " + Path("source.png") + " -quality 95 " + Path("plain.jpg")).status, 0);
  SaveBytes(Path("turned.jpg"), WithOrientation(FileBytes(Path("plain.jpg")), 6));
  const struct {
    const char *made, *arguments;
    int tolerance = 0;
  } cases[] = {{"rgb16.png", "-blur 0x1 -depth 16 -alpha off", 1},
               {"rgba16.png", "-blur 0x1 -depth 16", 1},
               {"grey.png", "-colorspace Gray -alpha off"},
               {"grey-alpha.png", "-colorspace Gray"},
               {"PNG8:palette.png", ""},
               {"interlaced.png", "-interlace PNG"},
               {"cmyk.jpg", "-colorspace CMYK"},
               {"progressive.jpg", "-interlace JPEG"},
               {"grey.jpg", "-colorspace Gray"},
               {"s420.jpg", "-sampling-factor 2x2 -quality 80"},
               {"turned.jpg", nullptr}};
  for (const auto& c : cases) {
    const std::string made = c.made, name = made.substr(made.find(':') + 1),
                      prefix = made.substr(0, made.find(':') + 1);
    if (c.arguments) {
      ASSERT_EQ(Shell("convert " + Path("source.png") + " " + c.arguments + " " + prefix + Path(name)).status, 0);
    }
    const std::string show = "convert " + Path(name) + " -define jpeg:dct-method=islow -auto-orient -depth 8 RGBA:";
    ASSERT_EQ(Shell(show + Path("shown.rgba")).status, 0);
    const std::vector<uint8_t> shown = FileBytes(Path("shown.rgba"));
    host::Picture picture = host::ReadPicture(Path(name));
    ASSERT_NE(picture.bitmap, nullptr) << name << ": " << picture.error;
    const int width = WidthOf(picture.bitmap), height = HeightOf(picture.bitmap);
    ASSERT_EQ(shown.size(), size_t{4} * width * height) << name;
    int wrong = 0;
    for (int i = 0; i < width * height; ++i) {
      const uint8_t* rgba = &shown[size_t{4} * i];
      const uint32_t want = uint32_t{rgba[3]} << 24 | rgba[0] << 16 | rgba[1] << 8 | rgba[2];
      const uint32_t got = ReadPixel(picture.bitmap, i % width, height - 1 - i / width);
      wrong += !Near(got, want, c.tolerance) || !Near(got >> 8, want >> 8, c.tolerance);
    }
    EXPECT_EQ(wrong, 0) << name << ": pixels unlike ImageMagick's";
    GlobalFree(picture.bitmap);
  }
}

}  // namespace
}  // namespace ormi::test
