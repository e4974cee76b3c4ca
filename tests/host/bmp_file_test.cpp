#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "host/bmp_file.h"
#include "support/test_image.h"

namespace ormi {
namespace {

using test::BitmapSpec;

class BmpFileTest : public test::MemoryCheckedTest {};

HGLOBAL RandomBitmap(BitmapSpec bitmapSpec, unsigned seed) {
  HGLOBAL bitmap = test::MakeBitmap(bitmapSpec);
  std::vector<uint8_t> bytes = test::BlockBytes(bitmap);
  std::mt19937 random(seed);
  const size_t offset = test::BitsOffsetOf(bitmapSpec);
  for (size_t i = 40; i < offset - (bitmapSpec.compression == BI_BITFIELDS ? 12 : 0); ++i) {
    bytes[i] = static_cast<uint8_t>(random());
  }
  for (size_t i = offset; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random());
  const uint32_t rows = static_cast<uint32_t>(bitmapSpec.height < 0 ? -bitmapSpec.height : bitmapSpec.height);
  const uint32_t imageSize = static_cast<uint32_t>(test::StrideOf(bitmapSpec.width, bitmapSpec.depth) * rows);
  std::memcpy(bytes.data() + 20, &imageSize, 4);
  test::SetBlockBytes(bitmap, bytes);
  return bitmap;
}

class BmpRoundTripTest : public BmpFileTest, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(BmpRoundTripTest, EncodeThenDecodeGivesTheSameBitmap) {
  const auto [depth, width] = GetParam();
  BitmapSpec bitmapSpec{.depth = depth, .width = width, .height = 3};
  if (depth == 16) {
    bitmapSpec.compression = BI_BITFIELDS;
    bitmapSpec.masks = {0xF800, 0x07E0, 0x001F};
  }
  HGLOBAL bitmap = RandomBitmap(bitmapSpec, static_cast<unsigned>(depth * 31 + width));
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(host::EncodeBmp(bitmap, file, error)) << error;
  ASSERT_GE(file.size(), 54u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  host::BitmapResult decoded = host::DecodeBmp(file.data(), file.size());
  ASSERT_NE(decoded.bitmap, nullptr) << decoded.error;
  EXPECT_EQ(test::BlockBytes(decoded.bitmap), test::BlockBytes(bitmap));
  GlobalFree(decoded.bitmap);
  GlobalFree(bitmap);
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpRoundTripTest,
                         ::testing::Combine(::testing::Values(1, 4, 8, 16, 24, 32), ::testing::Values(1, 3, 8, 9)));

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
  std::memcpy(file.data() + 14, &info, sizeof info);
  file.resize(14 + infoSize);
  if (infoSize > 40) {  // longer headers carry the masks inside, at the same place
    std::memcpy(file.data() + 54, tables.data(), std::min<size_t>(tables.size(), 12));
  } else {
    file.insert(file.end(), tables.begin(), tables.end());
  }
  const uint32_t pixelOffset = static_cast<uint32_t>(file.size());
  std::memcpy(file.data() + 10, &pixelOffset, 4);
  file.insert(file.end(), rows.begin(), rows.end());
  return file;
}

TEST_F(BmpFileTest, TopDownFilesComeBackBottomUp) {
  const std::vector<uint8_t> rows = {1, 2, 3, 0, 4, 5, 6, 0};  // two 24-bit rows of one pixel, top row first
  const std::vector<uint8_t> file = HandMadeFile(40, 1, -2, 24, BI_RGB, {}, rows);
  host::BitmapResult decoded = host::DecodeBmp(file.data(), file.size());
  ASSERT_NE(decoded.bitmap, nullptr) << decoded.error;
  const std::vector<uint8_t> bytes = test::BlockBytes(decoded.bitmap);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bytes.data(), sizeof header);
  EXPECT_EQ(header.biHeight, 2);
  EXPECT_EQ(test::ReadPixel(decoded.bitmap, 0, 0), 0x060504u);  // stored row 0 is the bottom row
  EXPECT_EQ(test::ReadPixel(decoded.bitmap, 0, 1), 0x030201u);
  GlobalFree(decoded.bitmap);
}

TEST_F(BmpFileTest, LongerHeadersKeepTheirMasks) {
  const std::vector<uint8_t> masks = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
  const std::vector<uint8_t> file = HandMadeFile(124, 2, 1, 16, BI_BITFIELDS, masks, {0x34, 0x12, 0x78, 0x56});
  host::BitmapResult decoded = host::DecodeBmp(file.data(), file.size());
  ASSERT_NE(decoded.bitmap, nullptr) << decoded.error;
  const std::vector<uint8_t> bytes = test::BlockBytes(decoded.bitmap);
  ASSERT_EQ(bytes.size(), 40u + 12u + 4u);
  EXPECT_EQ(bytes[0], 40);  // the header becomes a 40-byte one
  EXPECT_TRUE(std::equal(masks.begin(), masks.end(), bytes.begin() + 40));
  EXPECT_EQ(test::ReadPixel(decoded.bitmap, 1, 0), 0x5678u);
  GlobalFree(decoded.bitmap);
}

struct MalformedCase {
  const char* name;
  std::vector<uint8_t> file;
};

std::vector<MalformedCase> MalformedFiles() {
  const std::vector<uint8_t> rows(8, 0);
  std::vector<MalformedCase> cases = {
      {"Empty", {}},
      {"NotBmp", HandMadeFile(40, 1, 1, 24, BI_RGB, {}, rows)},
      {"TwoBitDepth", HandMadeFile(40, 1, 1, 2, BI_RGB, {}, rows)},
      {"Rle8", HandMadeFile(40, 1, 1, 8, 1, std::vector<uint8_t>(1024), rows)},
      {"ZeroWidth", HandMadeFile(40, 0, 1, 24, BI_RGB, {}, rows)},
      {"NegativeWidth", HandMadeFile(40, -1, 1, 24, BI_RGB, {}, rows)},
      {"ZeroHeight", HandMadeFile(40, 1, 0, 24, BI_RGB, {}, rows)},
      {"MinimumHeight", HandMadeFile(40, 1, INT32_MIN, 24, BI_RGB, {}, rows)},
      {"TruncatedRows", HandMadeFile(40, 4, 4, 32, BI_RGB, {}, rows)},
      {"HugePicture", HandMadeFile(40, 1 << 20, 1 << 20, 32, BI_RGB, {}, rows)},
      {"TruncatedPalette", HandMadeFile(40, 1, 1, 8, BI_RGB, std::vector<uint8_t>(100), {})},
      {"HeaderTooShort", HandMadeFile(12, 1, 1, 24, BI_RGB, {}, rows)},
  };
  cases[1].file[0] = 'X';
  std::vector<uint8_t> manyColors = HandMadeFile(40, 1, 1, 8, BI_RGB, std::vector<uint8_t>(2048), rows);
  const uint32_t tooMany = 300;
  std::memcpy(manyColors.data() + 14 + 32, &tooMany, 4);
  cases.push_back({"TooManyColors", manyColors});
  std::vector<uint8_t> farPixels = HandMadeFile(40, 1, 1, 24, BI_RGB, {}, rows);
  const uint32_t far = 0xFFFFFFF0;
  std::memcpy(farPixels.data() + 10, &far, 4);
  cases.push_back({"PixelOffsetPastTheEnd", farPixels});
  std::vector<uint8_t> hugeInfo = HandMadeFile(40, 1, 1, 24, BI_RGB, {}, rows);
  const uint32_t hugeSize = 0x7FFFFFFF;
  std::memcpy(hugeInfo.data() + 14, &hugeSize, 4);
  cases.push_back({"InfoSizePastTheEnd", hugeInfo});
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
  const std::string path = ::testing::TempDir() + "/ormi_bmp_file_test.bmp";
  HGLOBAL bitmap = RandomBitmap({.depth = 24, .width = 5, .height = 2}, 7);
  std::string error;
  ASSERT_TRUE(host::WriteBmpFile(path, bitmap, error)) << error;
  host::BitmapResult read = host::ReadBmpFile(path);
  ASSERT_NE(read.bitmap, nullptr) << read.error;
  EXPECT_EQ(test::BlockBytes(read.bitmap), test::BlockBytes(bitmap));
  GlobalFree(read.bitmap);
  GlobalFree(bitmap);
  std::remove(path.c_str());

  host::BitmapResult missing = host::ReadBmpFile(path);
  EXPECT_EQ(missing.bitmap, nullptr);
  EXPECT_NE(missing.error.find("No such file"), std::string::npos) << missing.error;
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
