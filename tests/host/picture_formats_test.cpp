#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "host/bmp_file.h"
#include "host/format_codecs.h"
#include "host/picture_samples.h"

namespace ormi {
namespace {

using host::TiffCompression;
constexpr int kWidth = 7, kHeight = 5;

// The test picture, 0xAARRGGBB with rows from the top: colours of every kind and alphas 0..255, or
// six colours of alpha 0 or 255 for the palette formats.
uint32_t Colorful(int x, int y) {
  static const uint32_t kAlphas[] = {0, 255, 128, 1, 254, 77};
  return kAlphas[(x + 2 * y) % 6] << 24 | uint32_t(x * 37 + y * 11) % 256 << 16 | uint32_t(x * 5 + y * 71) % 256 << 8 |
         uint32_t(x * x * 3 + y * 29) % 256;
}
constexpr uint32_t kSix[] = {0xFFFF0000, 0xFF00FF00, 0x000000FF, 0xFFFFFF00, 0xFF0A141E, 0x00C86432};
int SixIndex(int x, int y) { return (x * 3 + y * 2) % 6; }

enum class Source { Rgba32, Rgb24, Palette8, Palette4, Palette1, Grey8, Bitfields565 };

// A bitmap of the kind and the pixels it shows (alpha 255 where it has none).
HGLOBAL MakeSource(Source kind, std::vector<uint32_t>& argb) {
  // In the order of Source.
  static const test::BitmapSpec kSpecs[] = {
      {.depth = 32},
      {.depth = 24},
      {.depth = 8},
      {.depth = 4, .clrUsed = 6},
      {.depth = 1},
      {.depth = 8},
      {.depth = 16, .compression = BI_BITFIELDS, .clrUsed = 2, .masks = {0xF800, 0x07E0, 0x001F}}};
  test::BitmapSpec layout = kSpecs[static_cast<int>(kind)];
  layout.width = kWidth, layout.height = kHeight;
  for (uint32_t i = 0; i < 256; ++i)
    layout.palette.push_back(kind == Source::Grey8 ? i * 0x010101u : kSix[i % 6] & 0xFFFFFF);
  HGLOBAL bitmap = test::MakeBitmap(layout);
  argb.clear();
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t c = Colorful(x, y), index = uint32_t(kind == Source::Palette1 ? (x + y) % 2 : SixIndex(x, y));
      const uint32_t grey = uint32_t(x * 40 + y * 13) % 256, bits = uint32_t(x * 7 + y) % 8;
      const bool palette = kind == Source::Palette8 || kind == Source::Palette4 || kind == Source::Palette1;
      const uint32_t stored = kind == Source::Rgba32  ? c
                              : kind == Source::Rgb24 ? c & 0xFFFFFF
                              : palette               ? index
                              : kind == Source::Grey8
                                  ? grey
                                  : (bits & 4 ? 0xF800u : 0) | (bits & 2 ? 0x07E0u : 0) | (bits & 1 ? 0x1Fu : 0);
      const uint32_t shown = palette                 ? kSix[index]
                             : kind == Source::Grey8 ? grey * 0x010101u
                             : kind == Source::Bitfields565
                                 ? (bits & 4 ? 0xFF0000 : 0) | (bits & 2 ? 0xFF00 : 0) | (bits & 1 ? 0xFF : 0)
                                 : c;
      argb.push_back(kind == Source::Rgba32 ? shown : shown | 0xFF000000);
      test::WritePixel(bitmap, x, kHeight - 1 - y, stored);
    }
  }
  return bitmap;
}

// Largest channel difference; colours under alpha 0 count only when `hiddenToo`.
int Distance(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, bool hiddenToo = true) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!hiddenToo && i % 4 != 3 && a[i | 3] == 0 && b[i | 3] == 0) continue;
    worst = std::max(worst, std::abs(a[i] - b[i]));
  }
  return worst;
}

// Whether the reader of `format` takes the file under a limit of exactly its pixels and refuses
// it, before reading any, under one pixel less.
bool KeepsThePixelLimit(host::PictureFormat format, const std::vector<uint8_t>& file, uint64_t pixels) {
  bool keeps = true;
  for (const uint64_t limit : {pixels, pixels - 1}) {
    HGLOBAL bitmap = nullptr;
    switch (format) {
      case host::PictureFormat::Bmp: bitmap = host::DecodeBmp(file.data(), file.size(), limit).bitmap; break;
      case host::PictureFormat::Tiff: bitmap = host::DecodeTiff(file.data(), file.size(), limit).bitmap; break;
      case host::PictureFormat::Webp: bitmap = host::DecodeWebp(file.data(), file.size(), limit).bitmap; break;
      case host::PictureFormat::Gif: bitmap = host::DecodeGif(file.data(), file.size(), limit).bitmap; break;
      default: return true;  // PNG and JPEG: not ours
    }
    keeps = keeps && (bitmap != nullptr) == (limit == pixels);
    if (bitmap) GlobalFree(bitmap);
  }
  return keeps;
}

using Encoder = std::function<bool(HGLOBAL, std::vector<uint8_t>&, std::string&)>;
Encoder Tiff(TiffCompression compression, bool alpha) {
  return
      [=](HGLOBAL b, std::vector<uint8_t>& f, std::string& e) { return host::EncodeTiff(b, alpha, compression, f, e); };
}
Encoder Webp(bool lossless, bool alpha) {
  return [=](HGLOBAL b, std::vector<uint8_t>& f, std::string& e) {
    HGLOBAL b32 = host::ConvertBitmapDepth(b, 32);
    const bool ok = host::EncodeWebp(b32, alpha, lossless, 90, f, e);
    GlobalFree(b32);
    return ok;
  };
}
Encoder Bmp(bool alpha) {
  return [=](HGLOBAL b, std::vector<uint8_t>& f, std::string& e) { return host::EncodeBmp(b, f, e, alpha); };
}

struct WriteCase {
  const char* name;
  Source source;
  Encoder encode;
  bool alpha;     // the file keeps the alpha
  int tolerance;  // 0 for lossless formats
};

class PictureWriteTest : public test::MemoryCheckedTest, public ::testing::WithParamInterface<WriteCase> {};

// Our files read back as written, and ImageMagick reads them as we do.
TEST_P(PictureWriteTest, ReadsBackAndAsImageMagickShowsIt) {
  const WriteCase& c = GetParam();
  std::vector<uint32_t> argb;
  HGLOBAL source = MakeSource(c.source, argb);
  if (!c.alpha)
    for (uint32_t& p : argb) p |= 0xFF000000;
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(c.encode(source, file, error)) << error;
  GlobalFree(source);
  host::Picture picture = host::DecodePicture(file.data(), file.size());
  ASSERT_NE(picture.bitmap, nullptr) << picture.error;
  EXPECT_EQ(picture.hasAlpha, c.alpha);
  EXPECT_TRUE(KeepsThePixelLimit(picture.format, file, kWidth * kHeight));
  const std::vector<uint8_t> ours = test::BitmapRgba(picture.bitmap);
  GlobalFree(picture.bitmap);
  EXPECT_LE(Distance(ours, test::ArgbToRgba(argb), c.tolerance == 0), c.tolerance);
  ORMI_SKIP_WITHOUT_CONVERT();
  const std::string path = test::TempPath(std::string("written_") + c.name);
  test::WriteBytes(path, file);
  EXPECT_EQ(Distance(test::ConvertToRgba(path), ours), 0);
  std::remove(path.c_str());
}

const WriteCase kWriteCases[] = {
    {"Bmp565WithColourTable", Source::Bitfields565, Bmp(false), false, 0},
    {"BmpAlpha", Source::Rgba32, Bmp(true), true, 0},
    {"BmpFourBits", Source::Palette4, Bmp(false), false, 0},
    {"BmpOneBit", Source::Palette1, Bmp(false), false, 0},
    {"BmpEightBits", Source::Palette8, Bmp(false), false, 0},
    {"BmpRgb", Source::Rgb24, Bmp(false), false, 0},
    {"TiffRgbNone", Source::Rgb24, Tiff(TiffCompression::None, false), false, 0},
    {"TiffRgbaLzw", Source::Rgba32, Tiff(TiffCompression::Lzw, true), true, 0},
    {"TiffRgbDeflate", Source::Rgba32, Tiff(TiffCompression::Deflate, false), false, 0},
    {"TiffGreyDeflate", Source::Grey8, Tiff(TiffCompression::Deflate, false), false, 0},
    {"TiffPaletteLzw", Source::Palette8, Tiff(TiffCompression::Lzw, false), false, 0},
    {"TiffPaletteFourBits", Source::Palette4, Tiff(TiffCompression::Deflate, false), false, 0},
    {"TiffPaletteOneBit", Source::Palette1, Tiff(TiffCompression::None, false), false, 0},
    {"TiffRgbJpeg", Source::Rgb24, Tiff(TiffCompression::Jpeg, false), false, 40},
    {"TiffGreyJpeg", Source::Grey8, Tiff(TiffCompression::Jpeg, false), false, 24},
    {"WebpLosslessRgba", Source::Rgba32, Webp(true, true), true, 0},
    {"WebpLosslessRgb", Source::Rgb24, Webp(true, false), false, 0},
    {"WebpLossyRgba", Source::Rgba32, Webp(false, true), true, 80},
};
INSTANTIATE_TEST_SUITE_P(Variants, PictureWriteTest, ::testing::ValuesIn(kWriteCases),
                         [](const auto& param) { return std::string(param.param.name); });

struct MadeCase {
  const char* name;
  const char* options;  // convert's options and output format
  bool six;             // made from the six-colour picture
  int header;           // offset and value of a byte that shows the variant, or -1
  uint8_t value;
  const char* reading = "";  // convert's options for showing it
  int tolerance = 0;         // 16-bit samples: ours are rounded, convert's truncated
};

class ImageMagickFileTest : public test::MemoryCheckedTest, public ::testing::WithParamInterface<MadeCase> {};

// Files made by ImageMagick read as it shows them itself.
TEST_P(ImageMagickFileTest, ReadAsImageMagickShowsThem) {
  ORMI_SKIP_WITHOUT_CONVERT();
  const MadeCase& c = GetParam();
  std::vector<uint32_t> argb;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) argb.push_back(c.six ? kSix[SixIndex(x, y)] : Colorful(x, y));
  const std::string raw = test::TempPath("made.rgba"), path = test::TempPath(std::string("made_") + c.name);
  test::WriteBytes(raw, test::ArgbToRgba(argb));
  ASSERT_EQ(test::Shell("convert -size 7x5 -depth 8 rgba:" + raw + " " + c.options + ":" + path).status, 0);
  const std::vector<uint8_t> file = test::ReadBytes(path);
  if (c.header >= 0) {
    ASSERT_EQ(file.at(size_t(c.header)), c.value) << "not the variant meant";
  }
  host::Picture picture = host::DecodePicture(file.data(), file.size());
  ASSERT_NE(picture.bitmap, nullptr) << picture.error;
  const std::vector<uint8_t> ours = test::BitmapRgba(picture.bitmap);
  EXPECT_TRUE(KeepsThePixelLimit(picture.format, file, ours.size() / 4));
  EXPECT_LE(Distance(ours, test::ConvertToRgba(path, c.reading)), c.tolerance);
  GlobalFree(picture.bitmap);
  std::remove(path.c_str());
  std::remove(raw.c_str());
}

constexpr const char* kIslow = "-define jpeg:dct-method=islow";
const MadeCase kMadeCases[] = {
    {"BmpRle8", "-alpha off -type Palette -compress RLE BMP3", true, 30, 1},
    {"BmpOs2", "-alpha off -type Palette BMP2", true, 14, 12},
    {"BmpAlpha", "BMP", false, 14, 124},
    {"TiffNone", "-compress None TIFF", false, -1, 0},
    {"TiffLzw", "-compress LZW TIFF", false, -1, 0},
    {"TiffZip", "-compress Zip TIFF", false, -1, 0},
    {"TiffJpeg", "-alpha off -compress JPEG -quality 90 TIFF", false, -1, 0},
    {"TiffGrey", "-alpha off -colorspace Gray -compress LZW TIFF", false, -1, 0},
    {"TiffPalette", "-alpha off -type Palette -compress LZW TIFF", true, -1, 0},
    {"WebpLossless", "-define webp:lossless=true WEBP", false, -1, 0},
    {"WebpLossy", "-quality 75 WEBP", false, -1, 0},
    {"PngRgb16", "-blur 0x1 -depth 16 -alpha off PNG", false, -1, 0, "", 1},
    {"PngRgba16", "-blur 0x1 -depth 16 PNG", false, -1, 0, "", 1},
    {"PngGrey", "-colorspace Gray -alpha off PNG", false, -1, 0},
    {"PngGreyAlpha", "-colorspace Gray PNG", false, -1, 0},
    {"PngPalette", "PNG8", true, -1, 0},
    {"PngInterlaced", "-interlace PNG PNG", false, -1, 0},
    {"JpegCmyk", "-colorspace CMYK JPEG", false, -1, 0, kIslow},
    {"JpegProgressive", "-interlace JPEG JPEG", false, -1, 0, kIslow},
    {"JpegGrey", "-colorspace Gray JPEG", false, -1, 0, kIslow},
    {"Jpeg420", "-sampling-factor 2x2 -quality 80 JPEG", false, -1, 0, kIslow},
    {"GifTransparent", "GIF", true, -1, 0},
    {"GifInterlaced", "-interlace GIF GIF", true, -1, 0},
    // A frame at (2, 1) on a 10 x 8 screen: the screen outside it is transparent.
    {"GifFrameOnAScreen", "-page 10x8+2+1 GIF", true, -1, 0, "-background none -flatten"},
};
INSTANTIATE_TEST_SUITE_P(Variants, ImageMagickFileTest, ::testing::ValuesIn(kMadeCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace ormi
