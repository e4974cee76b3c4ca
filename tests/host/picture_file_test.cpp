#include <gtest/gtest.h>
#include <png.h>

#include <cstring>

#include "host/bitmap_convert.h"
#include "host/picture_file.h"
#include "support/test_image.h"

namespace ormi {
namespace {

using host::PictureFormat;

class PictureFileTest : public test::MemoryCheckedTest {};

std::vector<uint8_t> Encode(PictureFormat format, HGLOBAL bitmap, bool alpha) {
  std::vector<uint8_t> file;
  std::string error;
  HGLOBAL bitmap32 = host::ConvertBitmapDepth(bitmap, 32);
  const bool ok = format == PictureFormat::Png ? host::EncodePng(bitmap32, alpha, file, error)
                                               : host::EncodeJpeg(bitmap32, 95, file, error);
  GlobalFree(bitmap32);
  EXPECT_TRUE(ok) << error;
  return file;
}

TEST(PictureFormatTest, FollowsTheNameOrExtension) {
  EXPECT_EQ(host::FormatFromPath("a/b.PNG"), PictureFormat::Png);
  EXPECT_EQ(host::FormatFromPath("x.jpeg"), PictureFormat::Jpeg);
  EXPECT_EQ(host::FormatFromPath("x.jpg"), PictureFormat::Jpeg);
  EXPECT_EQ(host::FormatFromPath("x.bmp"), PictureFormat::Bmp);
  EXPECT_EQ(host::FormatFromPath("dir.png/file"), std::nullopt);
  EXPECT_EQ(host::FormatFromPath("noext"), std::nullopt);
  EXPECT_EQ(host::FormatFromName("xcf"), std::nullopt);
}

TEST_F(PictureFileTest, PngKeepsAlphaAndPixelsExactly) {
  HGLOBAL bitmap = test::MakeBitmap({.depth = 32, .width = 3, .height = 2});
  const uint32_t pixels[2][3] = {{0x80102030, 0x00FFFFFF, 0xFF000000}, {0x01020304, 0xFEDCBA98, 0x7F7F7F7F}};
  for (int r = 0; r < 2; ++r) {
    for (int x = 0; x < 3; ++x) test::WritePixel(bitmap, x, r, pixels[r][x]);
  }
  const std::vector<uint8_t> file = Encode(PictureFormat::Png, bitmap, true);
  host::Picture picture = host::DecodePicture(file.data(), file.size());
  ASSERT_NE(picture.bitmap, nullptr) << picture.error;
  EXPECT_TRUE(picture.hasAlpha);
  for (int r = 0; r < 2; ++r) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(test::ReadPixel(picture.bitmap, x, r), pixels[r][x]);
  }
  GlobalFree(picture.bitmap);

  // Without alpha the pixels read back opaque.
  const std::vector<uint8_t> opaque = Encode(PictureFormat::Png, bitmap, false);
  picture = host::DecodePicture(opaque.data(), opaque.size());
  ASSERT_NE(picture.bitmap, nullptr) << picture.error;
  EXPECT_FALSE(picture.hasAlpha);
  EXPECT_EQ(test::ReadPixel(picture.bitmap, 0, 0), 0xFF102030u);
  GlobalFree(picture.bitmap);
  GlobalFree(bitmap);
}

TEST_F(PictureFileTest, GreyAndPalettePngsLoadAsThirtyTwoBits) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 2;
  image.height = 1;
  image.format = PNG_FORMAT_GRAY;
  const uint8_t grey[2] = {10, 250};
  png_alloc_size_t bytes = 0;
  ASSERT_TRUE(png_image_write_get_memory_size(image, bytes, 0, grey, 0, nullptr));
  std::vector<uint8_t> file(bytes);
  ASSERT_TRUE(png_image_write_to_memory(&image, file.data(), &bytes, 0, grey, 0, nullptr));
  host::Picture picture = host::DecodePicture(file.data(), bytes);
  ASSERT_NE(picture.bitmap, nullptr) << picture.error;
  EXPECT_FALSE(picture.hasAlpha);
  EXPECT_EQ(test::ReadPixel(picture.bitmap, 0, 0), 0xFF0A0A0Au);
  EXPECT_EQ(test::ReadPixel(picture.bitmap, 1, 0), 0xFFFAFAFAu);
  GlobalFree(picture.bitmap);

  png_image mapped{};
  mapped.version = PNG_IMAGE_VERSION;
  mapped.width = 2;
  mapped.height = 1;
  mapped.format = PNG_FORMAT_RGB_COLORMAP;
  mapped.colormap_entries = 2;
  const uint8_t colormap[6] = {255, 0, 0, 0, 0, 255};
  const uint8_t indices[2] = {1, 0};
  ASSERT_TRUE(png_image_write_get_memory_size(mapped, bytes, 0, indices, 0, colormap));
  file.assign(bytes, 0);
  ASSERT_TRUE(png_image_write_to_memory(&mapped, file.data(), &bytes, 0, indices, 0, colormap));
  picture = host::DecodePicture(file.data(), bytes);
  ASSERT_NE(picture.bitmap, nullptr) << picture.error;
  EXPECT_EQ(test::ReadPixel(picture.bitmap, 0, 0), 0xFF0000FFu);
  EXPECT_EQ(test::ReadPixel(picture.bitmap, 1, 0), 0xFFFF0000u);
  GlobalFree(picture.bitmap);
}

TEST_F(PictureFileTest, JpegRoundTripIsCloseOnFlatColour) {
  HGLOBAL bitmap = test::MakeBitmap({.depth = 24, .width = 16, .height = 16});
  for (int r = 0; r < 16; ++r) {
    for (int x = 0; x < 16; ++x) test::WritePixel(bitmap, x, r, 0x3060C0);
  }
  const std::vector<uint8_t> file = Encode(PictureFormat::Jpeg, bitmap, false);
  host::Picture picture = host::DecodePicture(file.data(), file.size());
  ASSERT_NE(picture.bitmap, nullptr) << picture.error;
  EXPECT_FALSE(picture.hasAlpha);
  const uint32_t pixel = test::ReadPixel(picture.bitmap, 7, 7);
  EXPECT_EQ(pixel >> 24, 0xFFu);
  EXPECT_NEAR(static_cast<int>((pixel >> 16) & 255), 0x30, 3);
  EXPECT_NEAR(static_cast<int>((pixel >> 8) & 255), 0x60, 3);
  EXPECT_NEAR(static_cast<int>(pixel & 255), 0xC0, 3);
  GlobalFree(picture.bitmap);
  GlobalFree(bitmap);
}

TEST_F(PictureFileTest, MalformedFilesAreRefusedWithAReason) {
  HGLOBAL bitmap = test::MakeBitmap({.depth = 24, .width = 8, .height = 8});
  for (PictureFormat format : {PictureFormat::Png, PictureFormat::Jpeg}) {
    std::vector<uint8_t> file = Encode(format, bitmap, false);
    for (size_t keep : {file.size() / 2, size_t{12}, size_t{3}}) {
      host::Picture picture = host::DecodePicture(file.data(), keep);
      EXPECT_EQ(picture.bitmap, nullptr) << "kept " << keep;
      EXPECT_FALSE(picture.error.empty());
    }
    for (size_t i = 20; i < file.size(); i += 7) file[i] ^= 0x5A;  // corrupt the body
    host::Picture picture = host::DecodePicture(file.data(), file.size());
    if (picture.bitmap) GlobalFree(picture.bitmap);  // a damaged JPEG body may still decode
  }
  GlobalFree(bitmap);
  const uint8_t junk[] = "GIF89a";
  EXPECT_EQ(host::DecodePicture(junk, sizeof junk).bitmap, nullptr);
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
  EXPECT_FALSE(host::HasNonZeroAlpha(transparent));
  for (HGLOBAL h : {palette, wide, rgb565, fromWords, cube, transparent}) GlobalFree(h);
}

}  // namespace
}  // namespace ormi
