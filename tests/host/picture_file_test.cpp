#include "host/picture_file.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <functional>

#include "host/image_handle.h"
#include "host/picture_samples.h"

namespace ormi {
namespace {

using host::PictureFormat;

class PictureFileTest : public test::MemoryCheckedTest {};

std::vector<uint8_t> Encode(PictureFormat format, HGLOBAL bitmap, bool alpha, const host::WriteOptions& options = {}) {
  std::vector<uint8_t> file;
  std::string error;
  HGLOBAL bitmap32 = host::ConvertBitmapDepth(bitmap, 32);
  const bool ok = format == PictureFormat::Png
                      ? host::EncodePng(bitmap32, alpha, file, error, options.compression)
                      : host::EncodeJpeg(bitmap32, options.quality, file, error, options.fullChroma);
  GlobalFree(bitmap32);
  EXPECT_TRUE(ok) << error;
  return file;
}

// Every pixel of a decoded picture against the expected 0xAARRGGBB, colours within `tolerance`;
// `margin` pixels at each edge of an 8x8 block are left out (where 4:2:0 chroma blends blocks).
void ExpectPixels(HGLOBAL bitmap, int width, int height, const std::function<uint32_t(int, int)>& expected,
                  int tolerance = 0, int margin = 0) {
  ASSERT_NE(bitmap, nullptr);
  for (int r = 0; r < height; ++r) {
    for (int x = 0; x < width; ++x) {
      if (std::min({x % 8, 7 - x % 8, r % 8, 7 - r % 8}) < margin) continue;
      const uint32_t got = test::ReadPixel(bitmap, x, r), want = expected(x, r);
      bool near = (got >> 24) == (want >> 24);
      for (int s = 0; s < 24; s += 8) near = near && std::abs(int(got >> s & 255) - int(want >> s & 255)) <= tolerance;
      ASSERT_TRUE(near) << "pixel " << x << ", row " << r << ": " << std::hex << got << " != " << want;
    }
  }
}

TEST(PictureFormatTest, FollowsTheNameOrExtension) {
  EXPECT_TRUE(host::FormatFromPath("a/b.PNG") == PictureFormat::Png &&
              host::FormatFromPath("x.jpeg") == PictureFormat::Jpeg);
  EXPECT_TRUE(host::HasExtension("x.xcf") && !host::FormatFromPath("x.xcf"));
  for (const char* none : {"dir.png/file", "noext", "-", "dir/.hidden", "trailing."}) {
    EXPECT_FALSE(host::HasExtension(none)) << none;
    EXPECT_EQ(host::FormatFromPath(none), std::nullopt) << none;
  }
  EXPECT_EQ(host::FormatFromName("xcf"), std::nullopt);
}

// Round trips through each encoder and its settings: PNG keeps every byte, JPEG at quality 100
// keeps flat blocks close (and 4:4:4 sampling when asked, which the reader reports).
TEST_F(PictureFileTest, RoundTripsKeepThePixels) {
  struct Case {
    PictureFormat format;
    bool alpha;
    host::WriteOptions options;
    int tolerance, margin = 0;
  };
  const Case cases[] = {{PictureFormat::Png, true, {.compression = 0}, 0},
                        {PictureFormat::Png, true, {.compression = 9}, 0},
                        {PictureFormat::Png, false, {}, 0},
                        {PictureFormat::Jpeg, false, {.quality = 100, .fullChroma = true}, 3},
                        {PictureFormat::Jpeg, false, {.quality = 100}, 3, 1}};
  HGLOBAL bitmap = test::MakeBitmap({.depth = 32, .width = 16, .height = 24});
  auto original = [](int x, int r) {
    const std::array<uint8_t, 4> p = test::BlockPixel(x, 23 - r);
    return static_cast<uint32_t>((x * 37 + r * 11) % 256) << 24 | p[0] << 16 | p[1] << 8 | p[2];
  };
  for (int i = 0; i < 16 * 24; ++i) test::WritePixel(bitmap, i % 16, i / 16, original(i % 16, i / 16));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    const std::vector<uint8_t> file = Encode(c.format, bitmap, c.alpha, c.options);
    host::Picture picture = host::DecodePicture(file.data(), file.size());
    EXPECT_EQ(picture.hasAlpha, c.alpha);
    EXPECT_EQ(picture.fullChroma, c.format == PictureFormat::Jpeg && c.options.fullChroma);
    ExpectPixels(
        picture.bitmap, 16, 24, [&](int x, int r) { return c.alpha ? original(x, r) : original(x, r) | 0xFF000000; },
        c.tolerance, c.margin);
    GlobalFree(picture.bitmap);
  }
  GlobalFree(bitmap);
}

TEST_F(PictureFileTest, SixteenBitPngSamplesAreRoundedToEightBits) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 4;
  image.height = 1;
  image.format = PNG_FORMAT_LINEAR_Y;                         // 16-bit grey, written as it is
  const uint16_t grey[4] = {0xFF00, 0x01F0, 0x0081, 0x0080};  // 254.0, 1.93, 0.502, 0.498 in 8 bits
  png_alloc_size_t bytes = 0;
  ASSERT_TRUE(png_image_write_get_memory_size(image, bytes, 0, grey, 0, nullptr));
  std::vector<uint8_t> file(bytes);
  ASSERT_TRUE(png_image_write_to_memory(&image, file.data(), &bytes, 0, grey, 0, nullptr));
  host::Picture picture = host::DecodePicture(file.data(), bytes);
  const uint32_t want[4] = {254, 2, 1, 0};
  ExpectPixels(picture.bitmap, 4, 1, [&](int x, int) { return 0xFF000000u | want[x] * 0x010101u; });
  GlobalFree(picture.bitmap);
}

// EXIF orientations 1..8 of blocks A B / C D / E F: where each block is shown, by the tag's
// definition (6: the stored top row becomes the right column).
TEST_F(PictureFileTest, JpegOrientationIsAppliedUnlessTurnedOff) {
  const char* shown[9] = {"",        "AB/CD/EF", "BA/DC/FE", "FE/DC/BA", "EF/CD/AB",
                          "ACE/BDF", "ECA/FDB",  "FDB/ECA",  "BDF/ACE"};
  const std::vector<uint8_t> plain = test::JpegOf({.width = 16, .height = 24, .pixel = test::BlockPixel});
  for (uint8_t orientation = 1; orientation <= 8; ++orientation) {
    const std::vector<uint8_t> file = test::WithOrientation(plain, orientation, orientation % 2 == 0);
    for (const bool autoOrient : {true, false}) {
      SCOPED_TRACE(testing::Message() << "orientation " << int{orientation} << (autoOrient ? "" : ", kept"));
      const std::string layout = autoOrient ? shown[orientation] : shown[1];
      const int across = static_cast<int>(layout.find('/')),
                down = (static_cast<int>(layout.size()) + 1) / (across + 1);
      host::Picture picture = host::DecodePicture(file.data(), file.size(), {.autoOrient = autoOrient});
      ExpectPixels(
          picture.bitmap, across * 8, down * 8,
          [&](int x, int r) {
            const char block = layout[static_cast<size_t>((down - 1 - r / 8) * (across + 1) + x / 8)];
            return 0xFF000000u | test::kBlockColours[static_cast<size_t>(block - 'A')];
          },
          3);
      EXPECT_EQ(test::ReadPixel(picture.bitmap, across * 8 - 1, down * 8 - 1) >> 24, 0xFFu);  // the size fits
      GlobalFree(picture.bitmap);
    }
  }
}

// Inks as their colours show: stored inverted with Adobe's marker, as they are without it, and
// through YCCK. C, M, Y, K ink -> RGB.
TEST_F(PictureFileTest, CmykAndYcckJpegsShowTheirInks) {
  const std::array<std::array<uint8_t, 4>, 4> inks = {{{0, 255, 255, 0}, {0, 0, 0, 128}, {255, 0, 0, 0}, {0, 0, 0, 0}}};
  const uint32_t colours[4] = {0xFF0000, 0x7F7F7F, 0x00FFFF, 0xFFFFFF};
  // YCCK exists only with the marker.
  for (const auto& [stored, adobe] : {std::pair{JCS_CMYK, true}, {JCS_CMYK, false}, {JCS_YCCK, true}}) {
    const auto ink = [&](int x, int) {
      std::array<uint8_t, 4> p = inks[static_cast<size_t>(x / 8)];
      for (uint8_t& v : p) v = adobe ? uint8_t(255 - v) : v;
      return p;
    };
    const std::vector<uint8_t> file =
        test::JpegOf({.width = 32, .height = 8, .input = JCS_CMYK, .stored = stored, .pixel = ink, .adobe = adobe});
    host::Picture picture = host::DecodePicture(file.data(), file.size());
    SCOPED_TRACE(testing::Message() << "YCCK " << (stored == JCS_YCCK) << ", Adobe " << adobe << " " << picture.error);
    ExpectPixels(
        picture.bitmap, 32, 8, [&](int x, int) { return 0xFF000000u | colours[x / 8]; }, 3);
    GlobalFree(picture.bitmap);
  }
}

// Damaged data is an error; a lenient read keeps what decoded and says so.
TEST_F(PictureFileTest, DamagedFilesAreErrorsUnlessLenient) {
  HGLOBAL bitmap = test::MakeBitmap({.depth = 24, .width = 64, .height = 64});
  for (int i = 0; i < 64 * 64; ++i) test::WritePixel(bitmap, i % 64, i / 64, static_cast<uint32_t>(i * 4099));
  for (PictureFormat format : {PictureFormat::Png, PictureFormat::Jpeg}) {
    const char* kind = format == PictureFormat::Png ? "bad PNG file: " : "bad JPEG file: ";
    std::vector<uint8_t> file = Encode(format, bitmap, false);
    std::vector<uint8_t> corrupt = file;
    for (size_t i = corrupt.size() / 2; i < corrupt.size() - 2; i += 5) corrupt[i] ^= 0x5A;
    const std::vector<std::vector<uint8_t>> damaged = {
        {file.begin(), file.end() - file.size() / 3}, {file.begin(), file.end() - 2}, corrupt};
    for (const std::vector<uint8_t>& bytes : damaged) {
      SCOPED_TRACE(testing::Message() << kind << bytes.size() << " of " << file.size() << " bytes");
      host::Picture strict = host::DecodePicture(bytes.data(), bytes.size());
      EXPECT_EQ(strict.bitmap, nullptr);
      EXPECT_EQ(strict.error.rfind(kind, 0), 0u) << strict.error;
      host::Picture lenient = host::DecodePicture(bytes.data(), bytes.size(), {.lenient = true});
      EXPECT_NE(lenient.bitmap, nullptr) << lenient.error;
      EXPECT_NE(lenient.warning.find("kept"), std::string::npos) << lenient.warning;
      GlobalFree(lenient.bitmap);
    }
  }
  // Each decoder refuses a picture over the limit by itself, and takes one at the limit (64 x 64).
  const std::vector<uint8_t> png = Encode(PictureFormat::Png, bitmap, false),
                             jpeg = Encode(PictureFormat::Jpeg, bitmap, false);
  for (const uint64_t limit : {uint64_t{4095}, uint64_t{4096}}) {
    for (host::Picture picture : {host::DecodePng(png.data(), png.size(), {.maxPixels = limit}),
                                  host::DecodeJpeg(jpeg.data(), jpeg.size(), {.maxPixels = limit})}) {
      EXPECT_EQ(picture.bitmap != nullptr, limit == 4096) << picture.error;
      EXPECT_EQ(picture.error, limit == 4096 ? "" : host::TooManyPixels(64, 64, 4095));
      GlobalFree(picture.bitmap);
    }
  }
  GlobalFree(bitmap);
  const uint8_t junk[] = "XCF v";
  EXPECT_EQ(host::DecodePicture(junk, sizeof junk).error, "not a BMP, PNG, JPEG, TIFF, WebP or GIF file");
}

// Every allocation of a read or write failing in turn: the call reports "out of memory" or gives
// the same result, and leaves no block allocated and no bitmap locked. Encoders that refuse a
// bitmap unlock it too.
TEST_F(PictureFileTest, AllocationFailuresAreReportedAndLeaveNothingLocked) {
  HGLOBAL bitmap = test::MakeBitmap({.depth = 32, .width = 9, .height = 5});
  for (int i = 0; i < 45; ++i) test::WritePixel(bitmap, i % 9, i / 9, 0x80000000u | static_cast<uint32_t>(i * 999));
  const std::string path = (std::filesystem::path(testing::TempDir()) / "ormi_alloc_failure.png").string();
  const std::vector<uint8_t> png = Encode(PictureFormat::Png, bitmap, true);
  const std::vector<uint8_t> jpeg = test::WithOrientation(Encode(PictureFormat::Jpeg, bitmap, false), 6);
  // Each call's result as bytes: the decoded bitmap, the file written, the copy made.
  using Call = std::function<std::string(std::vector<uint8_t>&)>;
  const auto kept = [](HGLOBAL made, std::vector<uint8_t>& out, const std::string& error) {
    return made ? (out = test::BlockBytes(made), GlobalFree(made), "") : error;
  };
  const auto decode = [&](const std::vector<uint8_t>& file) {
    return [&](auto& out) {
      const auto p = host::DecodePicture(file.data(), file.size());
      return kept(p.bitmap, out, p.error);
    };
  };
  const Call calls[] = {decode(png), decode(jpeg),
                        [&](auto& out) { return kept(host::BitmapWithoutAlpha(bitmap), out, "out of memory"); },
                        [&](auto& out) {
                          std::string error;
                          for (PictureFormat format : {PictureFormat::Png, PictureFormat::Jpeg, PictureFormat::Bmp}) {
                            if (!host::WritePicture(path, format, bitmap, true, error)) return error;
                            out.push_back(static_cast<uint8_t>(std::filesystem::file_size(path)));
                          }
                          return error;
                        }};
  for (const auto& call : calls) {
    std::vector<uint8_t> reference, scratch;
    ASSERT_EQ(call(reference), "");
    const long before = Win32EmuAllocCalls();
    call(scratch);
    const long allocations = Win32EmuAllocCalls() - before;
    for (long n = 1; n <= allocations; ++n) {
      const size_t live = Win32EmuLiveBlocks();
      Win32EmuFailNextAlloc(n);
      std::vector<uint8_t> result;
      const std::string error = call(result);
      Win32EmuFailNextAlloc(0);
      EXPECT_TRUE(error == "out of memory" || (error.empty() && result == reference))
          << "allocation " << n << ": " << error;
      EXPECT_EQ(Win32EmuLiveBlocks(), live);
      EXPECT_EQ(test::LockCount(bitmap), 0);
    }
  }
  HGLOBAL rgb = host::ConvertBitmapDepth(bitmap, 24);
  HGLOBAL wide = test::MakeBitmap({.depth = 32, .width = 65501, .height = 1});
  std::vector<uint8_t> file;
  std::string error;
  EXPECT_FALSE(host::EncodePng(rgb, false, file, error) || host::EncodeJpeg(rgb, 92, file, error) ||
               host::EncodeJpeg(wide, 92, file, error));
  for (HGLOBAL h : {bitmap, rgb, wide}) {
    EXPECT_EQ(test::LockCount(h), 0);
    GlobalFree(h);
  }
  std::filesystem::remove(path);
}

TEST_F(PictureFileTest, DepthConversionsReadEveryLayout) {
  HGLOBAL palette =
      test::MakeBitmap({.depth = 4, .width = 3, .height = -2, .clrUsed = 2, .palette = {0x00112233, 0x00445566}});
  test::WritePixel(palette, 1, 0, 1);  // top-down: stored row 0 is the top row
  HGLOBAL wide = host::ConvertBitmapDepth(palette, 32);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(test::ReadPixel(wide, 1, 1), 0xFF445566u);  // now bottom-up: the top row is row 1
  EXPECT_EQ(test::ReadPixel(wide, 0, 0), 0xFF112233u);

  HGLOBAL rgb565 = test::MakeBitmap(
      {.depth = 16, .width = 1, .height = 1, .compression = BI_BITFIELDS, .masks = {0xF800, 0x07E0, 0x001F}});
  test::WritePixel(rgb565, 0, 0, 0xF81F);  // full red and blue
  HGLOBAL fromWords = host::ConvertBitmapDepth(rgb565, 24);
  EXPECT_EQ(test::ReadPixel(fromWords, 0, 0), 0xFF00FFu);

  HGLOBAL cube = host::ConvertBitmapDepth(wide, 8);
  ASSERT_NE(cube, nullptr);
  const uint32_t index = test::ReadPixel(cube, 1, 1);  // 0x44, 0x55, 0x66 -> levels 1, 2, 2
  EXPECT_EQ(index, 1u * 36 + 2 * 6 + 2);
  EXPECT_EQ(host::ConvertBitmapDepth(wide, 16), nullptr);
  EXPECT_TRUE(host::HasNonZeroAlpha(wide));  // converted pixels are opaque
  HGLOBAL transparent = test::MakeBitmap({.depth = 32, .width = 2, .height = 1});
  HGLOBAL masked =
      test::MakeBitmap({.depth = 32, .width = 1, .compression = BI_BITFIELDS, .masks = {0xFF, 0xFF00, 0xFF0000}});
  test::WritePixel(masked, 0, 0, 0x80302010);  // red 0x10, green 0x20, blue 0x30, alpha 0x80
  EXPECT_EQ(test::BitmapRgba(masked), (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x80}));
  EXPECT_FALSE(host::HasNonZeroAlpha(transparent));
  for (HGLOBAL h : {palette, wide, rgb565, fromWords, cube, transparent, masked}) GlobalFree(h);
}

}  // namespace
}  // namespace ormi
