#include <gtest/gtest.h>

#include <cstring>

#include "host/bmp_file.h"
#include "host/effect_check.h"
#include "host/picture_samples.h"

namespace ormi {
namespace {

using test::BitmapSpec;

class BmpFileTest : public test::MemoryCheckedTest {};

// A file laid out by hand: header, optional masks, palette, rows.
std::vector<uint8_t> HandMadeFile(uint32_t infoSize, int width, int height, int depth, uint32_t compression,
                                  const std::vector<uint8_t>& tables, const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> file(14 + std::max<size_t>(infoSize, 40), 0);
  file[0] = 'B';
  file[1] = 'M';
  BITMAPINFOHEADER info{};
  info.biSize = infoSize;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = static_cast<WORD>(depth);
  info.biCompression = compression;
  info.biClrUsed = depth <= 8 ? static_cast<DWORD>(tables.size() / 4) : 0;
  std::memcpy(file.data() + 14, &info, sizeof info);
  file.resize(14 + infoSize);
  if (infoSize > 40) {  // longer headers carry the masks inside, at the same place
    std::memcpy(file.data() + 54, tables.data(), std::min<size_t>(tables.size(), 16));
  } else {
    file.insert(file.end(), tables.begin(), tables.end());
  }
  const uint32_t pixelOffset = static_cast<uint32_t>(file.size());
  std::memcpy(file.data() + 10, &pixelOffset, 4);
  file.insert(file.end(), rows.begin(), rows.end());
  file[2] = static_cast<uint8_t>(file.size());  // small files: other readers check the size
  return file;
}

// A palette of n grey entries, with biClrUsed n when the file is made by HandMadeFile below.
std::vector<uint8_t> Gray(int n) {
  std::vector<uint8_t> table;
  for (int i = 0; i < n; ++i) table.insert(table.end(), {uint8_t(i * 50), uint8_t(i * 50 + 1), uint8_t(i * 50 + 2), 0});
  return table;
}

// An OS/2 file: 12-byte header, 3-byte colour entries.
std::vector<uint8_t> CoreFile(uint16_t width, uint16_t height, uint16_t depth, const std::vector<uint8_t>& colors3,
                              const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0, 0};
  for (const uint16_t v : {width, height, uint16_t{1}, depth}) file.insert(file.end(), {uint8_t(v), uint8_t(v >> 8)});
  file.insert(file.end(), colors3.begin(), colors3.end());
  file[10] = static_cast<uint8_t>(file.size());
  file.insert(file.end(), rows.begin(), rows.end());
  file[2] = static_cast<uint8_t>(file.size());
  return file;
}

// 0xAARRGGBB of the entries of Gray().
std::vector<uint32_t> GrayPixels(std::initializer_list<int> indices) {
  std::vector<uint32_t> argb;
  for (const int i : indices)
    argb.push_back(0xFF000000u | uint32_t(i * 50 + 2) << 16 | uint32_t(i * 50 + 1) << 8 | uint32_t(i * 50));
  return argb;
}

struct ValidCase {
  const char* name;
  std::vector<uint8_t> file;
  std::vector<uint32_t> argb;  // rows from the top
};

std::vector<ValidCase> ValidFiles() {
  return {
      // RLE8 5 x 3, bottom row first: runs into the padding, end of line; padded literal, delta (1, 1); run, end.
      {"Rle8", HandMadeFile(40, 5, 3, 8, 1, Gray(4), {3, 2, 3, 1, 0, 0, 0, 3, 3, 0, 1, 0, 0, 2, 1, 1, 1, 3, 0, 1}),
       GrayPixels({0, 0, 0, 0, 3, 3, 0, 1, 0, 0, 2, 2, 2, 1, 1})},
      // RLE4 5 x 2: a run of alternating indices, end of line; a literal of 5 in 3 bytes padded to 4.
      {"Rle4", HandMadeFile(40, 5, 2, 4, 2, Gray(4), {5, 0x12, 0, 0, 0, 5, 0x31, 0x23, 0x10, 0, 0, 1}),
       GrayPixels({3, 1, 2, 3, 1, 1, 2, 1, 2, 1})},
      // OS/2: 1 bit, two colours of 3 bytes.
      {"Os2OneBit", CoreFile(3, 2, 1, {0, 1, 2, 50, 51, 52}, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}),
       GrayPixels({0, 1, 0, 1, 0, 1})},
      {"Os2TwentyFourBits", CoreFile(2, 1, 24, {}, {1, 2, 3, 4, 5, 6, 0, 0}), {0xFF030201, 0xFF060504}},
      // Top-down rows come back bottom-up; a 124-byte header keeps its masks at 16 bits.
      {"TopDown", HandMadeFile(40, 1, -2, 24, BI_RGB, {}, {1, 2, 3, 0, 4, 5, 6, 0}), {0xFF030201, 0xFF060504}},
      {"V5Rgb565",
       HandMadeFile(124, 3, 1, 16, BI_BITFIELDS, {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0},
                    {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0}),
       {0xFFFF0000, 0xFF00FF00, 0xFF0000FF}},
      // 32 bits in R, G, B order, and a 124-byte header with its own masks and an alpha mask.
      {"RgbMasks",
       HandMadeFile(40, 2, 1, 32, BI_BITFIELDS, {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0},
                    {0x10, 0x20, 0x30, 0xFF, 1, 2, 3, 0xFF}),
       {0xFF102030, 0xFF010203}},
      {"V5AlphaMask",
       HandMadeFile(124, 2, 1, 32, BI_BITFIELDS, {0, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0},
                    {0x80, 0x10, 0x20, 0x30, 0xFF, 1, 2, 3}),
       {0x80102030, 0xFF010203}},
  };
}

class ValidBmpTest : public BmpFileTest, public ::testing::WithParamInterface<ValidCase> {};

TEST_P(ValidBmpTest, ReadsAsDrawnAndAsImageMagickShowsIt) {
  const ValidCase& c = GetParam();
  host::BitmapResult decoded = host::DecodeBmp(c.file.data(), c.file.size());
  ASSERT_NE(decoded.bitmap, nullptr) << decoded.error;
  EXPECT_EQ(test::BitmapRgba(decoded.bitmap), test::ArgbToRgba(c.argb));
  EXPECT_FALSE(host::FactsOfBitmap(decoded.bitmap).topDown);
  GlobalFree(decoded.bitmap);
  ORMI_SKIP_WITHOUT_CONVERT();
  const std::string path = test::TempPath(std::string("valid_") + c.name + ".bmp");
  test::WriteBytes(path, c.file);
  EXPECT_EQ(test::ConvertToRgba(path), test::ArgbToRgba(c.argb));
  std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Files, ValidBmpTest, ::testing::ValuesIn(ValidFiles()),
                         [](const auto& param) { return std::string(param.param.name); });

struct MalformedCase {
  const char* name;
  std::vector<uint8_t> file;
};

std::vector<MalformedCase> MalformedFiles() {
  const std::vector<uint8_t> rows(8, 0), rgb = HandMadeFile(40, 1, 1, 24, BI_RGB, {}, rows);
  // A file with the 32-bit field at `at` changed.
  const auto patched = [](std::vector<uint8_t> file, size_t at, uint32_t value) {
    std::memcpy(file.data() + at, &value, 4);
    return file;
  };
  const std::vector<uint8_t> rgb4x2 = HandMadeFile(40, 4, 2, 24, BI_RGB, {}, std::vector<uint8_t>(64));
  std::vector<MalformedCase> cases = {
      {"Empty", {}},
      {"NotBmp", patched(rgb, 0, 0)},
      {"TwoBitDepth", HandMadeFile(40, 1, 1, 2, BI_RGB, {}, rows)},
      {"ZeroWidth", HandMadeFile(40, 0, 1, 24, BI_RGB, {}, rows)},
      {"NegativeWidth", HandMadeFile(40, -1, 1, 24, BI_RGB, {}, rows)},
      {"ZeroHeight", HandMadeFile(40, 1, 0, 24, BI_RGB, {}, rows)},
      {"MinimumHeight", HandMadeFile(40, 1, INT32_MIN, 24, BI_RGB, {}, rows)},
      {"TruncatedRows", HandMadeFile(40, 4, 4, 32, BI_RGB, {}, rows)},
      {"HugePicture", HandMadeFile(40, 1 << 20, 1 << 20, 32, BI_RGB, {}, rows)},
      {"TruncatedPalette", HandMadeFile(40, 1, 1, 8, BI_RGB, std::vector<uint8_t>(100), {})},
      {"HeaderTooShort", HandMadeFile(16, 1, 1, 24, BI_RGB, {}, rows)},
      {"Os2WithoutColours", CoreFile(2, 1, 8, {}, rows)},
      {"Os2SixteenBits", CoreFile(2, 1, 16, {}, rows)},
      {"Rle4RunPastThePadding", HandMadeFile(40, 4, 2, 4, 2, Gray(4), {9, 0x12, 0, 1})},
      {"TopDownRle", HandMadeFile(40, 4, -2, 8, 1, Gray(4), {0, 1})},
      {"PixelOffsetZero", patched(rgb4x2, 10, 0)},
      {"PixelOffsetInHeader", patched(rgb4x2, 10, 20)},
      {"PixelOffsetInTable", patched(HandMadeFile(40, 4, 2, 8, BI_RGB, Gray(4), std::vector<uint8_t>(64)), 10, 62)},
      {"TooManyColors", patched(HandMadeFile(40, 1, 1, 8, BI_RGB, std::vector<uint8_t>(2048), rows), 46, 300)},
      {"PixelOffsetPastTheEnd", patched(rgb, 10, 0xFFFFFFF0)},
      {"InfoSizePastTheEnd", patched(rgb, 14, 0x7FFFFFFF)},
  };
  // RLE data that leaves the picture, or ends before its end-of-bitmap code (width 4, 2 rows).
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> badRuns = {
      {"RleRunPastTheRow", {3, 1, 2, 1, 0, 1}},
      {"RleLiteralPastTheRow", {0, 5, 1, 1, 1, 1, 1, 0, 0, 1}},
      {"RleDeltaPastTheRow", {0, 2, 5, 0, 0, 1}},
      {"RleDeltaAboveThePicture", {0, 2, 0, 3, 0, 1}},
      {"RleRowsAboveThePicture", {0, 0, 0, 0, 1, 1, 0, 1}},
      {"RleWithoutEnd", {4, 1, 0, 0, 4, 1}},
      {"RleTruncatedLiteral", {0, 4, 1, 1}},
      {"RleTruncatedDelta", {0, 2, 1}},
  };
  for (const auto& [name, data] : badRuns) cases.push_back({name, HandMadeFile(40, 4, 2, 8, 1, Gray(4), data)});
  return cases;
}

class MalformedBmpTest : public BmpFileTest, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedBmpTest, IsRefusedWithAReason) {
  const std::vector<uint8_t>& file = GetParam().file;
  host::BitmapResult decoded = host::DecodeBmp(file.data(), file.size());
  EXPECT_EQ(decoded.bitmap, nullptr);
  EXPECT_FALSE(decoded.error.empty());
}

INSTANTIATE_TEST_SUITE_P(Files, MalformedBmpTest, ::testing::ValuesIn(MalformedFiles()),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(BmpFileTest, FilesAreWrittenAndReadBack) {
  const std::string path = test::TempPath("bmp_file_test.bmp");
  HGLOBAL bitmap = test::MakeBitmap({.depth = 24, .width = 5, .height = 2});
  test::WritePixel(bitmap, 4, 1, 0x123456);
  std::string error;
  ASSERT_TRUE(host::WriteBmpFile(path, bitmap, error)) << error;
  host::BitmapResult read = host::ReadBmpFile(path);
  EXPECT_EQ(test::BitmapRgba(read.bitmap), test::BitmapRgba(bitmap)) << read.error;
  for (HGLOBAL h : {read.bitmap, bitmap}) GlobalFree(h);
  std::remove(path.c_str());
  EXPECT_NE(host::ReadBmpFile(path).error.find("No such file"), std::string::npos);
}

TEST_F(BmpFileTest, MalformedBitmapsAreNotEncoded) {
  HGLOBAL bitmap = test::MakeBitmap({.depth = 32, .width = 4, .height = 4, .sizeOverride = 50});
  std::vector<uint8_t> file;
  std::string error;
  EXPECT_FALSE(host::EncodeBmp(bitmap, file, error));
  EXPECT_FALSE(error.empty());
  GlobalFree(bitmap);
  EXPECT_FALSE(host::EncodeBmp(nullptr, file, error));
}

}  // namespace
}  // namespace ormi
