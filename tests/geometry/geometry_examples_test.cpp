// Mirrors, quarter turns and scan rotations at every vector level: hand-computed pictures, and the
// properties that two mirrors and four quarter turns give the source back at every depth.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "support/every_level.h"

namespace ormi {
namespace {

using test::Picture;
using test::PictureOf;
using test::TestImage;

constexpr uint32_t Opaque(uint32_t pixel) { return pixel | 0xFF000000u; }

// Random bytes in every row, padding included, so that movers must not carry padding over.
void FillRandomRows(TestImage& image, unsigned seed) {
  std::vector<uint8_t> bytes = image.bytes();
  const BITMAPINFOHEADER h = image.header();
  std::mt19937 random(seed);
  for (size_t i = test::BitsOffsetOf({.depth = h.biBitCount, .compression = h.biCompression, .clrUsed = h.biClrUsed});
       i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(random());
  test::SetBlockBytes(image.bitmap(), bytes);
}

// The bits of every row behind its last pixel, row by row.
std::vector<std::vector<bool>> PaddingBits(HGLOBAL bitmap) {
  const BITMAPINFOHEADER h = test::HeaderOf(bitmap);
  const std::vector<uint8_t> bytes = test::BlockBytes(bitmap);
  const size_t offset =
      test::BitsOffsetOf({.depth = h.biBitCount, .compression = h.biCompression, .clrUsed = h.biClrUsed});
  const size_t stride = test::StrideOf(h.biWidth, h.biBitCount);
  std::vector<std::vector<bool>> padding(static_cast<size_t>(std::abs(h.biHeight)));
  for (size_t r = 0; r < padding.size(); ++r) {
    for (size_t bit = size_t{1} * h.biWidth * h.biBitCount; bit < 8 * stride; ++bit)
      padding[r].push_back((bytes[offset + r * stride + bit / 8] >> (7 - bit % 8)) & 1);
  }
  return padding;
}

bool PaddingIsZero(HGLOBAL bitmap) {
  for (const std::vector<bool>& row : PaddingBits(bitmap)) {
    if (std::find(row.begin(), row.end(), true) != row.end()) return false;
  }
  return true;
}

// --- mirrors

Picture Mirrored(Picture picture, bool rows, bool columns) {
  if (rows) std::reverse(picture.begin(), picture.end());
  for (std::vector<uint32_t>& row : picture) {
    if (columns) std::reverse(row.begin(), row.end());
  }
  return picture;
}

// Every pixel takes its mirrored place; whole rows travel with their padding, a column reversal
// leaves it where it is; the same mirror again gives the source back.
TEST(MirrorExamples, EveryPixelTakesItsMirroredPlaceAtEveryDepth) {
  const std::pair<int, std::vector<int>> widths[] = {
      {1, {1, 7, 8, 9, 16, 24, 31}}, {4, {1, 3, 5, 8}}, {8, {3, 4}}, {16, {3, 4}}, {24, {2, 5}},
      {32, {1, 3, 8, 17, 37, 70}}};
  test::AtEveryLevel([&] {
    for (const auto& [depth, list] : widths) {
      for (int width : list) {
        for (int height : {1, 2, 5}) {
          TestImage image({.depth = depth, .width = width, .height = height});
          FillRandomRows(image, static_cast<unsigned>(depth * 100 + width * 7 + height));
          const Picture source = PictureOf(image.bitmap());
          const std::vector<std::vector<bool>> padding = PaddingBits(image.bitmap());
          for (auto [rows, columns] : {std::pair{1, 0}, std::pair{0, 1}, std::pair{1, 1}}) {
            SCOPED_TRACE(::testing::Message() << depth << "-bit " << width << "x" << height << " " << rows << columns);
            ASSERT_EQ(ImgMirror(image.handle(), rows, columns), 1);
            EXPECT_EQ(PictureOf(image.bitmap()), Mirrored(source, rows, columns));
            std::vector<std::vector<bool>> expected = padding;
            if (rows) std::reverse(expected.begin(), expected.end());
            EXPECT_EQ(PaddingBits(image.bitmap()), expected);
            ASSERT_EQ(ImgMirror(image.handle(), rows, columns), 1);
            EXPECT_EQ(PictureOf(image.bitmap()), source);
          }
        }
      }
    }
  });
}

TEST(MirrorExamples, HandComputedRows) {
  test::AtEveryLevel([] {
    // Two bits have no pixel layout here but still flip their rows (the library gives them no table).
    TestImage twoBit({.depth = 2, .width = 4, .height = 2});
    std::vector<uint8_t> bytes = twoBit.bytes();
    bytes[40] = 0x1B, bytes[44] = 0xE4;
    test::SetBlockBytes(twoBit.bitmap(), bytes);
    ASSERT_EQ(ImgMirror(twoBit.handle(), 1, 1), 1);
    EXPECT_EQ(twoBit.bytes()[40], 0xE4);
    EXPECT_EQ(twoBit.bytes()[44], 0x1B);
    // Top-down rows are mirrored over their stored rows.
    TestImage topDown({.depth = 8, .width = 2, .height = -3}, {{1, 2}, {3, 4}, {5, 6}});
    ASSERT_EQ(ImgMirror(topDown.handle(), 1, 1), 1);
    EXPECT_EQ(PictureOf(topDown.bitmap()), (Picture{{6, 5}, {4, 3}, {2, 1}}));
    // Nothing asked changes nothing and keeps the GDI object; any value but 0 asks for the flip.
    HGDIOBJ gdi = Win32EmuCreateGdiObject();
    topDown.edit([&](ImageRecord& r) { r.gdiObject = OrmiFieldFromGdiObject(gdi); });
    ASSERT_EQ(ImgMirror(topDown.handle(), 0, 0), 1);
    EXPECT_EQ(PictureOf(topDown.bitmap()), (Picture{{6, 5}, {4, 3}, {2, 1}}));
    EXPECT_FALSE(Win32EmuGdiObjectDeleted(gdi));
    ASSERT_EQ(ImgMirror(topDown.handle(), 0, -7), 1);
    EXPECT_EQ(PictureOf(topDown.bitmap()), (Picture{{5, 6}, {3, 4}, {1, 2}}));
    EXPECT_TRUE(Win32EmuGdiObjectDeleted(gdi));
    EXPECT_EQ(topDown.record().gdiObject, 0u);
  });
}

// --- quarter turns

// What the quarter-turn mapping says: pixel (x, r) lands at (H-1-r, x) by 90.
Picture Turned(const Picture& source, int degrees) {
  const size_t h = source.size(), w = h ? source[0].size() : 0;
  Picture turned(degrees == 180 ? h : w, std::vector<uint32_t>(degrees == 180 ? w : h));
  for (size_t r = 0; r < h; ++r) {
    for (size_t x = 0; x < w; ++x) {
      if (degrees == 90) turned[x][h - 1 - r] = source[r][x];
      if (degrees == 180) turned[h - 1 - r][w - 1 - x] = source[r][x];
      if (degrees == 270) turned[w - 1 - x][r] = source[r][x];
    }
  }
  return turned;
}

// A handed-over image: "IM20", record and bitmap unlocked, its header copy locked once and equal
// to the bitmap's header and tables, the record's size that of the bitmap.
void ExpectHandedOver(const TestImage& image) {
  const ImageRecord record = image.record();
  EXPECT_EQ(std::string(record.magic, 4), ORMI_RECORD_MAGIC);
  EXPECT_EQ(test::LockStateOf(image), (test::LockState{0, 0, 1}));
  const std::vector<uint8_t> copy = image.headerCopyBytes(), bits = image.bytes();
  ASSERT_LE(copy.size(), bits.size());
  EXPECT_TRUE(std::equal(copy.begin(), copy.end(), bits.begin()));
  EXPECT_EQ(record.width, image.header().biWidth);
  EXPECT_EQ(record.height, image.header().biHeight);
}

TEST(QuarterTurnExamples, EveryPixelFollowsTheMappingAndFourTurnsGiveTheSourceBack) {
  const std::pair<int, std::vector<int>> widths[] = {
      {1, {1, 7, 8, 9, 24, 33}}, {4, {1, 3, 8}}, {8, {1, 5}}, {16, {1, 3}}, {24, {1, 5}}, {32, {1, 3, 4, 9, 17}}};
  test::AtEveryLevel([&] {
    for (const auto& [depth, list] : widths) {
      for (int width : list) {
        for (int height : {1, 3, 9, 17}) {
          SCOPED_TRACE(::testing::Message() << depth << "-bit " << width << "x" << height);
          TestImage image({.depth = depth, .width = width, .height = height});
          FillRandomRows(image, static_cast<unsigned>(depth * 1000 + width * 10 + height));
          const Picture source = PictureOf(image.bitmap());
          for (int degrees : {90, 180, 270}) {
            TestImage turned(ImgRotate(image.handle(), degrees, 0));
            ASSERT_NE(turned.handle(), nullptr) << degrees;
            ExpectHandedOver(turned);
            EXPECT_EQ(PictureOf(turned.bitmap()), Turned(source, degrees)) << degrees;
            EXPECT_TRUE(PaddingIsZero(turned.bitmap())) << degrees;
          }
          // Two turns by each export, then two more; two half turns.
          TestImage once(ImgRotate(image.handle(), 90, 0)), twice(ImgRotate(once.handle(), 90, 0));
          TestImage thrice(ImgBlockRotate(twice.handle(), 90, 0, 0)), back(ImgBlockRotate(thrice.handle(), 90, 0, 7));
          TestImage half(ImgRotate(image.handle(), 180, 0)), full(ImgRotate(half.handle(), 180, 0));
          ASSERT_NE(back.handle(), nullptr);
          ASSERT_NE(full.handle(), nullptr);
          EXPECT_EQ(PictureOf(back.bitmap()), source);
          EXPECT_EQ(PictureOf(full.bitmap()), source);
          EXPECT_EQ(back.record().baseWidth, width);  // the host's base size rides along
          EXPECT_EQ(thrice.record().width, height);
        }
      }
    }
    // A picture large enough for the turned rows to be written past the cache.
    TestImage large({.depth = 32, .width = 1029, .height = 1028});
    FillRandomRows(large, 7);
    const Picture source = PictureOf(large.bitmap());
    for (int degrees : {90, 270}) {
      TestImage turned(ImgRotate(large.handle(), degrees, 0));
      ASSERT_NE(turned.handle(), nullptr) << degrees;
      EXPECT_EQ(PictureOf(turned.bitmap()), Turned(source, degrees)) << degrees;
    }
  });
}

TEST(QuarterTurnExamples, HandComputedTurns) {
  test::AtEveryLevel([] {
    // Masks travel with the header.
    TestImage masked(
        {.depth = 16, .width = 3, .height = 2, .compression = BI_BITFIELDS, .masks = {0xF800, 0x07E0, 0x1F}},
        {{1, 2, 3}, {4, 5, 6}});
    TestImage back(ImgRotate(masked.handle(), 270, 0));
    ASSERT_NE(back.handle(), nullptr);
    EXPECT_EQ(PictureOf(back.bitmap()), (Picture{{3, 6}, {2, 5}, {1, 4}}));
    const std::vector<uint8_t> header = masked.bytes(), turnedHeader = back.bytes();
    EXPECT_TRUE(std::equal(header.begin() + 24, header.begin() + 52, turnedHeader.begin() + 24));
    // Other angles need 32 bits; angle 0 gives a copy with the transparency.
    TestImage rgb({.depth = 24, .width = 3, .height = 2}, {{1, 2, 3}, {4, 5, 6}});
    EXPECT_EQ(ImgRotate(rgb.handle(), 30, 0), nullptr);
    TestImage palette({.depth = 4, .width = 5, .height = 2, .clrUsed = 16}, {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
    palette.setColorKey(0x00010203);
    TestImage copy(ImgBlockRotate(palette.handle(), 0, 0, 1));
    ASSERT_NE(copy.handle(), nullptr);
    ExpectHandedOver(copy);
    EXPECT_EQ(PictureOf(copy.bitmap()), PictureOf(palette.bitmap()));
    EXPECT_EQ(copy.record().transparentColor, 0x00010203u);
  });
}

TEST(QuarterTurnExamples, HandOverCarriesHostFieldsAndTransparencyAndDeletesTheGdiObject) {
  TestImage image({.depth = 24, .width = 5, .height = 3});
  FillRandomRows(image, 5);
  HGDIOBJ gdi = Win32EmuCreateGdiObject();
  image.edit([&](ImageRecord& r) {
    r.host84 = 84, r.host88 = 88, r.host92 = 92, r.host96 = 96, r.host100 = 100, r.host101 = 101, r.host112 = 112;
    r.host28 = 28, r.host44 = 44, r.rasterOp = 0x00EE0086, r.baseWidth = 640, r.baseHeight = 480;
    r.transparency = 7, r.transparentColor = 0x80ABCDEF, r.gdiObject = OrmiFieldFromGdiObject(gdi);
  });
  // biSizeImage as a host writes it, in the bitmap and its header copy.
  std::vector<uint8_t> bytes = image.bytes();
  bytes[20] = 48;
  test::SetBlockBytes(image.bitmap(), bytes);
  static_cast<uint8_t*>(OrmiPointerFromField(image.record().header))[20] = 48;
  TestImage turned(ImgRotate(image.handle(), 270, 0));
  ASSERT_NE(turned.handle(), nullptr);
  EXPECT_TRUE(Win32EmuGdiObjectDeleted(gdi));
  EXPECT_EQ(image.record().gdiObject, 0u);
  const ImageRecord r = turned.record();
  EXPECT_EQ((std::vector<uint32_t>{r.host84, r.host88, r.host92, r.host96, r.host100, r.host101, r.host112}),
            (std::vector<uint32_t>{84, 88, 92, 96, 100, 101, 112}));
  EXPECT_EQ((std::vector<int>{r.baseWidth, r.baseHeight, r.width, r.height}), (std::vector<int>{640, 480, 3, 5}));
  EXPECT_EQ(r.transparency, 7u);
  EXPECT_EQ(r.transparentColor, 0x80ABCDEFu);
  // Fields that are not carried over keep the values of a new record.
  EXPECT_EQ((std::vector<uint32_t>{r.host28, r.host44, r.rasterOp, r.flags, r.gdiObject}),
            (std::vector<uint32_t>{0, 0, SRCCOPY, 16, 0}));
  EXPECT_EQ(turned.header().biSizeImage, 48u);
  EXPECT_EQ(turned.bytes().size(), 40 + 5 * 12 + 32u);  // rows of 3 pixels and 3 padding bytes
}

// --- scan rotations

// s(0,0), s(1,0) in stored row 0 and s(0,1), s(1,1) in row 1, alpha bytes of every kind.
const Picture kTwoByTwo{{0x00112233, 0x40445566}, {0x80778899, 0x01AABBCC}};

TEST(ScanRotateTest, TwoByTwoByFortyFiveGivesTheThreeByThreeDiamond) {
  test::AtEveryLevel([] {
    TestImage image({.depth = 32, .width = 2, .height = 2}, kTwoByTwo);
    TestImage rotated(ImgRotate(image.handle(), 45, -12345));  // the reserved argument changes nothing
    ASSERT_NE(rotated.handle(), nullptr);
    ExpectHandedOver(rotated);
    const uint32_t s00 = Opaque(0x00112233), s10 = Opaque(0x40445566), s01 = Opaque(0x80778899),
                   s11 = Opaque(0x01AABBCC);
    EXPECT_EQ(PictureOf(rotated.bitmap()), (Picture{{0, s00, 0}, {s01, s00, s10}, {0, s11, 0}}));
    EXPECT_EQ(rotated.bytes().size(), 40 + 36 + 32u);
    const ImageRecord r = rotated.record();
    EXPECT_EQ((std::vector<uint32_t>{r.transparency, r.transparentColor}), (std::vector<uint32_t>{1, 0x80000000}));
    EXPECT_EQ(r.baseWidth, 2);
    // Alpha transparency passes alpha through.
    image.setAlphaTransparency(0x00123456);
    TestImage alpha(ImgRotate(image.handle(), 45, 0));
    ASSERT_NE(alpha.handle(), nullptr);
    EXPECT_EQ(PictureOf(alpha.bitmap()),
              (Picture{{0, 0x00112233, 0}, {0x80778899, 0x00112233, 0x40445566}, {0, 0x01AABBCC, 0}}));
    EXPECT_EQ(alpha.record().transparentColor, 0x80123456u);
    // Key red: red with alpha 0 (and only that) becomes transparent, the rest opaque.
    TestImage keyed({.depth = 32, .width = 2, .height = 2}, {{0x00FF0000, 0x12FF0000}, {0x8000FF00, 0x00FF0001}});
    keyed.setColorKey(0x000000FF);
    TestImage key(ImgRotate(keyed.handle(), 45, 0));
    ASSERT_NE(key.handle(), nullptr);
    EXPECT_EQ(PictureOf(key.bitmap()), (Picture{{0, 0, 0}, {0xFF00FF00, 0, 0}, {0, 0xFFFF0001, 0}}));
    EXPECT_EQ(key.record().transparentColor, 0x800000FFu);
  });
}

// A picture of cells, each value standing for a solid block of b x b pixels.
Picture Blocks(const Picture& cells, size_t b) {
  Picture picture;
  for (const std::vector<uint32_t>& cellRow : cells) {
    std::vector<uint32_t> row;
    for (uint32_t cell : cellRow) row.insert(row.end(), b, cell);
    picture.insert(picture.end(), b, row);
  }
  return picture;
}

TEST(ScanRotateTest, BlockRotationsSampleTheCellCentres) {
  test::AtEveryLevel([] {
    // The middle cell of a 4 x 4 picture by 45 at level 1 samples the source position (1.5, 1.5).
    TestImage image({.depth = 32, .width = 4, .height = 4});
    for (int r = 0; r < 4; ++r) {
      for (int x = 0; x < 4; ++x) image.setPixel(x, r, static_cast<uint32_t>(0x10 * r + x));
    }
    TestImage rotated(ImgBlockRotate(image.handle(), 45, 99, 1));
    ASSERT_NE(rotated.handle(), nullptr);
    ExpectHandedOver(rotated);
    auto s = [](uint32_t x, uint32_t r) { return Opaque(0x10 * r + x); };
    EXPECT_EQ(PictureOf(rotated.bitmap()), Blocks({{0, s(0, 0), 0}, {s(0, 3), s(1, 1), s(3, 0)}, {0, s(3, 3), 0}}, 2));
    const std::vector<uint8_t> bytes = rotated.bytes();
    ASSERT_EQ(bytes.size(), 40 + 4 * 36 + 32u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 32, bytes.end()), std::vector<uint8_t>(32, 0));  // no stale memory
    // A colour key applies to every cell.
    TestImage green({.depth = 32, .width = 4, .height = 4}, test::Tiled({0x0000FF00}, 4, 4));
    green.setPixel(1, 1, 0x7F00FF01);
    green.setColorKey(0x0000FF00);
    TestImage keyed(ImgBlockRotate(green.handle(), 45, 0, 1));
    ASSERT_NE(keyed.handle(), nullptr);
    EXPECT_EQ(PictureOf(keyed.bitmap()), Blocks({{0, 0, 0}, {0, 0xFF00FF01, 0}, {0, 0, 0}}, 2));
    // Cells of 4 on a 32 x 2 picture: one cell row, from the leftmost corner to the rightmost,
    // sampling columns 3.875 apart.
    TestImage wide({.depth = 32, .width = 32, .height = 2});
    for (uint32_t x = 0; x < 32; ++x)
      wide.setPixel(static_cast<int>(x), 0, x), wide.setPixel(static_cast<int>(x), 1, 0x100 + x);
    TestImage row(ImgBlockRotate(wide.handle(), 360, 0, 2));
    ASSERT_NE(row.handle(), nullptr);
    std::vector<uint32_t> cells;
    for (uint32_t column : {0, 3, 7, 11, 15, 19, 23, 27, 31}) cells.push_back(Opaque(column));
    EXPECT_EQ(PictureOf(row.bitmap()), Blocks({cells}, 4));
    // Levels outside 1..3 refuse angles but not quarter turns; 360 and -90 take the scan.
    EXPECT_EQ(ImgBlockRotate(image.handle(), 45, 0, 4), nullptr);
    TestImage scanned(ImgRotate(image.handle(), -90, 0));
    ASSERT_NE(scanned.handle(), nullptr);
    EXPECT_EQ(scanned.record().transparency, 1u);  // a quarter turn would copy "none"
  });
}

// Every canvas row is one run of samples walking the source along a line: a source column and row
// that move by one of two neighbouring steps from cell to cell, also where the scan's strips meet.
TEST(ScanRotateTest, EveryRowWalksTheSourceAlongOneLine) {
  TestImage image({.depth = 32, .width = 2100, .height = 16});
  for (int r = 0; r < 16; ++r) {
    for (int x = 0; x < 2100; ++x) image.setPixel(x, r, static_cast<uint32_t>(r << 12 | x));
  }
  test::AtEveryLevel([&] {
    TestImage rotated(ImgRotate(image.handle(), 30, 0));
    ASSERT_NE(rotated.handle(), nullptr);
    ASSERT_GT(rotated.header().biWidth, 1100);
    for (const std::vector<uint32_t>& row : PictureOf(rotated.bitmap())) {
      const auto first = std::find_if(row.begin(), row.end(), [](uint32_t p) { return p != 0; });
      const auto last = std::find_if(row.rbegin(), row.rend(), [](uint32_t p) { return p != 0; }).base();
      std::set<int> columnSteps, rowSteps;
      for (auto p = first; p < last; ++p) {
        ASSERT_EQ(*p >> 24, 0xFFu);
        if (p + 1 == last) break;
        columnSteps.insert(static_cast<int>(p[1] & 0xFFF) - static_cast<int>(p[0] & 0xFFF));
        rowSteps.insert(static_cast<int>(p[1] >> 12 & 0xFFF) - static_cast<int>(p[0] >> 12 & 0xFFF));
      }
      for (const std::set<int>& steps : {columnSteps, rowSteps}) {
        ASSERT_TRUE(steps.size() <= 1 || (steps.size() == 2 && *steps.rbegin() - *steps.begin() == 1));
      }
    }
  });
}

// Beyond 32767 pixels 32-bit 16.16 positions would overflow; the scan still walks the source.
TEST(ScanRotateTest, PicturesWiderThanSixteenBitPositionsTurnCorrectly) {
  constexpr int kWidth = 40000;
  TestImage image({.depth = 32, .width = kWidth, .height = 1});
  std::vector<uint8_t> bytes = image.bytes();
  for (uint32_t x = 0; x < kWidth; ++x) std::memcpy(bytes.data() + 40 + 4 * x, &x, 4);
  test::SetBlockBytes(image.bitmap(), bytes);
  test::AtEveryLevel([&] {
    TestImage rotated(ImgRotate(image.handle(), 360, 0));
    ASSERT_NE(rotated.handle(), nullptr);
    EXPECT_EQ(rotated.header().biWidth, kWidth + 1);
    uint32_t highest = 0;
    for (const std::vector<uint32_t>& row : PictureOf(rotated.bitmap())) {
      uint32_t previous = 0;
      for (uint32_t pixel : row) {
        if (pixel == 0) continue;
        ASSERT_EQ(pixel >> 24, 0xFFu);
        ASSERT_LT(pixel & 0xFFFFFF, static_cast<uint32_t>(kWidth));
        ASSERT_GE(pixel & 0xFFFFFF, previous);
        previous = pixel & 0xFFFFFF;
        highest = std::max(highest, previous);
      }
    }
    EXPECT_GE(highest, kWidth - 2u);
  });
}

}  // namespace
}  // namespace ormi
