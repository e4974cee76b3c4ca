// TavoSetAlphaColor, ImgCopyAlpha and ImgInsertAlpha.
#include <gtest/gtest.h>

#include <vector>

#include "support/test_image.h"

namespace ormi {
namespace {

using test::LockState;
using test::LockStateOf;
using test::TestImage;

constexpr uint32_t kAlphaBit = 0x80000000u;

class AlphaOpsTest : public test::MemoryCheckedTest {
 protected:
  int SetAlphaColor(const TestImage& mask, const TestImage& target, uint32_t color) {
    const LockState maskBefore = LockStateOf(mask), targetBefore = LockStateOf(target);
    const int result = TavoSetAlphaColor(mask.handle(), target.handle(), static_cast<int>(color));
    EXPECT_EQ(LockStateOf(mask), maskBefore);
    EXPECT_EQ(LockStateOf(target), targetBefore);
    return result;
  }
  int CopyAlpha(const TestImage& destination, const TestImage& source) {
    const LockState toBefore = LockStateOf(destination), fromBefore = LockStateOf(source);
    const int result = ImgCopyAlpha(destination.handle(), source.handle());
    EXPECT_EQ(LockStateOf(destination), toBefore);
    EXPECT_EQ(LockStateOf(source), fromBefore);
    return result;
  }
  int InsertAlpha(const TestImage& image, int alpha, uint32_t color) {
    const LockState before = LockStateOf(image);
    const int result = ImgInsertAlpha(image.handle(), alpha, static_cast<int>(color));
    EXPECT_EQ(LockStateOf(image), before);
    return result;
  }
};

// --- TavoSetAlphaColor

TEST_F(AlphaOpsTest, SetAlphaColorPaintsUnderAlphaZeroAndKeepsPadding) {
  // Width 3 at 24 bits: rows of 9 pixel bytes and 3 padding bytes.
  TestImage mask({.depth = 32, .width = 3, .height = 2}, {{0x00FFFFFF, 0x01000000, 0x00000000}, {0xFF000000, 0, 0}});
  TestImage target({.depth = 24, .width = 3, .height = 2}, {{0x111111, 0x222222, 0x333333}, {0x444444, 5, 6}});
  std::vector<uint8_t> bytes = target.bytes();
  for (size_t i : {40 + 9, 40 + 10, 40 + 11, 40 + 21, 40 + 22, 40 + 23}) bytes[i] = 0xAB;
  test::SetBlockBytes(target.bitmap(), bytes);
  ASSERT_EQ(SetAlphaColor(mask, target, 0x00FF0000), 1);  // COLORREF blue 255
  EXPECT_EQ(target.pixel(0, 0), 0x0000FFu);               // 0xRRGGBB: blue 255
  EXPECT_EQ(target.pixel(1, 0), 0x222222u);
  EXPECT_EQ(target.pixel(2, 0), 0x0000FFu);
  EXPECT_EQ(target.pixel(0, 1), 0x444444u);
  EXPECT_EQ(target.pixel(1, 1), 0x0000FFu);
  const std::vector<uint8_t> after = target.bytes();
  for (size_t i : {40 + 9, 40 + 10, 40 + 11, 40 + 21, 40 + 22, 40 + 23}) EXPECT_EQ(after[i], 0xAB) << i;
}

TEST_F(AlphaOpsTest, SetAlphaColorKeepsTheTargetsAlpha) {
  TestImage mask({.depth = 32, .width = 2, .height = 1}, {{0x00000000, 0x80000000}});
  TestImage target({.depth = 32, .width = 2, .height = 1}, {{0x7F000000, 0x7F000000}});
  ASSERT_EQ(SetAlphaColor(mask, target, 0x00332211), 1);  // red 0x11, green 0x22, blue 0x33
  EXPECT_EQ(target.pixel(0, 0), 0x7F112233u);
  EXPECT_EQ(target.pixel(1, 0), 0x7F000000u);
  // One image as both mask and target.
  ASSERT_EQ(SetAlphaColor(mask, mask, 0x00332211), 1);
  EXPECT_EQ(mask.pixel(0, 0), 0x00112233u);
}

struct MismatchCase {
  const char* name;
  test::BitmapSpec mask, target;
};

class SetAlphaColorRefusalTest : public AlphaOpsTest, public ::testing::WithParamInterface<MismatchCase> {};

TEST_P(SetAlphaColorRefusalTest, ReturnsZeroAndChangesNothing) {
  TestImage mask(GetParam().mask);
  TestImage target(GetParam().target);
  const std::vector<uint8_t> before = target.bytes();
  EXPECT_EQ(SetAlphaColor(mask, target, 0x00FFFFFF), 0);
  EXPECT_EQ(target.bytes(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Mismatches, SetAlphaColorRefusalTest,
    ::testing::Values(
        MismatchCase{"Widths10And11", {.depth = 32, .width = 10}, {.depth = 32, .width = 11}},
        MismatchCase{"HeightSigns", {.depth = 32, .height = 2}, {.depth = 32, .height = -2}},
        MismatchCase{"MaskNot32", {.depth = 24}, {.depth = 32}}, MismatchCase{"Target16", {.depth = 32}, {.depth = 16}},
        MismatchCase{"Target8", {.depth = 32}, {.depth = 8}},
        MismatchCase{"TargetShortBlock", {.depth = 32, .height = 4}, {.depth = 24, .height = 4, .sizeOverride = 48}},
        MismatchCase{"MaskShortBlock", {.depth = 32, .height = 4, .sizeOverride = 48}, {.depth = 24, .height = 4}}),
    [](const ::testing::TestParamInfo<MismatchCase>& param) { return param.param.name; });

TEST_F(AlphaOpsTest, SetAlphaColorRefusesBadHandlesAndLocks) {
  TestImage mask({.depth = 32, .width = 1, .height = 1});
  TestImage target({.depth = 32, .width = 1, .height = 1});
  EXPECT_EQ(TavoSetAlphaColor(nullptr, target.handle(), 0xFF), 0);
  EXPECT_EQ(TavoSetAlphaColor(mask.handle(), nullptr, 0xFF), 0);
  for (long failing = 1; failing <= 4; ++failing) {  // mask record, target record, mask bitmap, target bitmap
    Win32EmuFailNextLock(failing);
    EXPECT_EQ(TavoSetAlphaColor(mask.handle(), target.handle(), 0xFF), 0) << failing;
    Win32EmuFailNextLock(0);
    EXPECT_EQ(LockStateOf(mask), (LockState{0, 0, 1}));
    EXPECT_EQ(LockStateOf(target), (LockState{0, 0, 1}));
  }
  EXPECT_EQ(target.pixel(0, 0), 0u);
  const uint32_t bitmap = mask.record().bitmap;
  mask.edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(SetAlphaColor(mask, target, 0xFF), 0);
  mask.edit([&](ImageRecord& r) { r.bitmap = bitmap; });
  ASSERT_EQ(SetAlphaColor(mask, target, 0xFF), 1);
  EXPECT_EQ(target.pixel(0, 0), 0x00FF0000u);
}

// --- ImgCopyAlpha

TEST_F(AlphaOpsTest, CopyAlphaTakesTheSourceAlphaAndTransparencyState) {
  TestImage destination({.depth = 32, .width = 2, .height = 2}, {{0x11223344, 0xFF000001}, {0x00ABCDEF, 0x80808080}});
  TestImage source({.depth = 32, .width = 2, .height = 2}, {{0x7F999999, 0x00999999}, {0xFF000000, 0x01FFFFFF}});
  source.edit([](ImageRecord& r) {
    r.transparency = 42;
    r.transparentColor = 0x80123456u;
  });
  ASSERT_EQ(CopyAlpha(destination, source), 1);
  EXPECT_EQ(destination.pixel(0, 0), 0x7F223344u);
  EXPECT_EQ(destination.pixel(1, 0), 0x00000001u);
  EXPECT_EQ(destination.pixel(0, 1), 0xFFABCDEFu);
  EXPECT_EQ(destination.pixel(1, 1), 0x01808080u);
  EXPECT_EQ(destination.record().transparency, 42u);
  EXPECT_EQ(destination.record().transparentColor, 0x80123456u);
  EXPECT_EQ(source.pixel(0, 0), 0x7F999999u);
}

TEST_F(AlphaOpsTest, CopyAlphaOfDifferentHeightsStillCopiesTheFields) {
  TestImage destination({.depth = 32, .width = 2, .height = 2}, {{1, 2}, {3, 4}});
  TestImage source({.depth = 32, .width = 2, .height = 3}, {{0xFF000000, 0xFF000000}});
  source.setColorKey(0x00FF00FF);
  const std::vector<uint8_t> before = destination.bytes();
  EXPECT_EQ(CopyAlpha(destination, source), 0);
  EXPECT_EQ(destination.bytes(), before);
  EXPECT_EQ(destination.record().transparency, source.record().transparency);
  EXPECT_EQ(destination.record().transparentColor, 0x00FF00FFu);
}

TEST_F(AlphaOpsTest, CopyAlphaRefusals) {
  TestImage destination({.depth = 32, .width = 2, .height = 1}, {{1, 2}});
  TestImage rgb({.depth = 24, .width = 2, .height = 1});
  TestImage wide({.depth = 32, .width = 3, .height = 1});
  TestImage shortBlock({.depth = 32, .width = 2, .height = 4, .sizeOverride = 48});
  const std::vector<uint8_t> before = destination.bytes();
  EXPECT_EQ(CopyAlpha(destination, rgb), 0);
  EXPECT_EQ(CopyAlpha(rgb, destination), 0);
  EXPECT_EQ(CopyAlpha(destination, wide), 0);
  EXPECT_EQ(CopyAlpha(destination, shortBlock), 0);
  EXPECT_EQ(ImgCopyAlpha(destination.handle(), nullptr), 0);
  EXPECT_EQ(ImgCopyAlpha(nullptr, destination.handle()), 0);
  TestImage source({.depth = 32, .width = 2, .height = 1}, {{0xFF000000, 0xFF000000}});
  for (long failing = 3; failing <= 4; ++failing) {  // source bitmap, destination bitmap
    Win32EmuFailNextLock(failing);
    EXPECT_EQ(ImgCopyAlpha(destination.handle(), source.handle()), 0) << failing;
    EXPECT_EQ(LockStateOf(destination), (LockState{0, 0, 1}));
    EXPECT_EQ(LockStateOf(source), (LockState{0, 0, 1}));
  }
  EXPECT_EQ(destination.bytes(), before);
  // A record that fails to lock changes nothing at all.
  source.setColorKey(0x123);
  Win32EmuFailNextLock(2);  // the destination record
  EXPECT_EQ(ImgCopyAlpha(destination.handle(), source.handle()), 0);
  EXPECT_EQ(LockStateOf(source), (LockState{0, 0, 1}));
  EXPECT_NE(destination.record().transparentColor, 0x123u);
}

// --- ImgInsertAlpha

TEST_F(AlphaOpsTest, InsertAlphaUsesTheLowByteOnPixelsOfTheColour) {
  TestImage image({.depth = 32, .width = 3, .height = 1}, {{0x00FF8040, 0x7FFF8040, 0x00FF8041}});
  image.setColorKey(0x00000001);                        // a colour key is not alpha transparency: accepted
  ASSERT_EQ(InsertAlpha(image, 0x1FF, 0x004080FF), 1);  // red 0xFF, green 0x80, blue 0x40
  EXPECT_EQ(image.pixel(0, 0), 0xFFFF8040u);
  EXPECT_EQ(image.pixel(1, 0), 0xFFFF8040u);
  EXPECT_EQ(image.pixel(2, 0), 0x00FF8041u);
  EXPECT_EQ(image.record().transparency, 1u);
  EXPECT_EQ(image.record().transparentColor, kAlphaBit);
}

TEST_F(AlphaOpsTest, InsertAlphaRefusesARecordWhoseAlphaCarriesTransparency) {
  TestImage image({.depth = 32, .width = 1, .height = 1}, {{0}});
  image.setAlphaTransparency(0x0000FF);
  const std::vector<uint8_t> before = image.bytes();
  EXPECT_EQ(InsertAlpha(image, 7, 0), 0);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(image.record().transparentColor, 0x0000FFu | kAlphaBit);
  // Bit 31 without transparency in force does not count.
  image.edit([](ImageRecord& r) { r.transparency = ORMI_NO_TRANSPARENCY; });
  EXPECT_EQ(InsertAlpha(image, 7, 0), 1);
  EXPECT_EQ(image.pixel(0, 0), 0x07000000u);
}

TEST_F(AlphaOpsTest, InsertAlphaOnA24BitImageFailsButMarksTheRecord) {
  TestImage image({.depth = 24, .width = 1, .height = 1}, {{0}});
  image.setColorKey(0x00FFFFFF);
  const std::vector<uint8_t> before = image.bytes();
  EXPECT_EQ(InsertAlpha(image, 7, 0), 0);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(image.record().transparency, 1u);
  EXPECT_EQ(image.record().transparentColor, kAlphaBit);
}

TEST_F(AlphaOpsTest, InsertAlphaRefusals) {
  EXPECT_EQ(ImgInsertAlpha(nullptr, 0, 0), 0);
  TestImage image({.depth = 32, .width = 1, .height = 2}, {{0}, {0}});
  Win32EmuFailNextLock(1);  // the record: unchanged
  EXPECT_EQ(ImgInsertAlpha(image.handle(), 9, 0), 0);
  EXPECT_EQ(image.record().transparency, ORMI_NO_TRANSPARENCY);
  Win32EmuFailNextLock(2);  // the bitmap: marked
  EXPECT_EQ(ImgInsertAlpha(image.handle(), 9, 0), 0);
  EXPECT_EQ(LockStateOf(image), (LockState{0, 0, 1}));
  EXPECT_EQ(image.record().transparentColor, kAlphaBit);
  EXPECT_EQ(image.pixel(0, 0), 0u);

  TestImage shortBlock({.depth = 32, .width = 1, .height = 2, .sizeOverride = 44});
  EXPECT_EQ(InsertAlpha(shortBlock, 9, 0), 0);
  EXPECT_EQ(shortBlock.bytes().size(), 44u);
  EXPECT_EQ(shortBlock.bytes()[43], 0);

  TestImage noBitmap({.depth = 32});
  const uint32_t bitmap = noBitmap.record().bitmap;
  noBitmap.edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(InsertAlpha(noBitmap, 9, 0), 0);
  EXPECT_EQ(noBitmap.record().transparency, ORMI_NO_TRANSPARENCY);
  noBitmap.edit([&](ImageRecord& r) { r.bitmap = bitmap; });
}

// Top-down pictures are walked over all their rows, like bottom-up ones.
TEST_F(AlphaOpsTest, TopDownPicturesChangeEveryRow) {
  TestImage mask({.depth = 32, .width = 1, .height = -2}, {{0x00000000}, {0x00000000}});
  TestImage target({.depth = 24, .width = 1, .height = -2});
  ASSERT_EQ(SetAlphaColor(mask, target, 0x000000FF), 1);
  EXPECT_EQ(target.pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(target.pixel(0, 1), 0xFF0000u);

  TestImage source({.depth = 32, .width = 1, .height = -2}, {{0x11000000}, {0x22000000}});
  TestImage destination({.depth = 32, .width = 1, .height = -2});
  ASSERT_EQ(CopyAlpha(destination, source), 1);
  EXPECT_EQ(destination.pixel(0, 0), 0x11000000u);
  EXPECT_EQ(destination.pixel(0, 1), 0x22000000u);

  ASSERT_EQ(InsertAlpha(destination, 0x33, 0), 1);
  EXPECT_EQ(destination.pixel(0, 0), 0x33000000u);
  EXPECT_EQ(destination.pixel(0, 1), 0x33000000u);
}

}  // namespace
}  // namespace ormi
