#include <gtest/gtest.h>

#include <vector>

#include "alpha/opaque.h"
#include "support/test_image.h"

namespace ormi {
namespace {

using test::LockStateOf;
using test::TestImage;

constexpr uint32_t kAlphaBit = 0x80000000u;

class OpaqueTest : public test::MemoryCheckedTest {
 protected:
  int Opaque(const TestImage& image, int level, uint32_t color) {
    const test::LockState before = LockStateOf(image);
    const int result = ImgOpaque(image.handle(), level, static_cast<int>(color));
    EXPECT_EQ(LockStateOf(image), before);
    return result;
  }
};

std::vector<uint32_t> Alphas(const TestImage& image, int width, int rows) {
  std::vector<uint32_t> alphas;
  for (int r = 0; r < rows; ++r) {
    for (int x = 0; x < width; ++x) alphas.push_back(image.pixel(x, r) >> 24);
  }
  return alphas;
}

std::vector<uint32_t> Colours(const TestImage& image, int width, int rows) {
  std::vector<uint32_t> colours;
  for (int r = 0; r < rows; ++r) {
    for (int x = 0; x < width; ++x) colours.push_back(image.pixel(x, r) & 0xFFFFFF);
  }
  return colours;
}

TEST_F(OpaqueTest, BlackBecomesTransparentAndTheRestTakes255MinusLevel) {
  TestImage image({.depth = 32, .width = 2, .height = 2}, {{0x00000000, 0x7F000000}, {0xFF123456, 0x00000001}});
  const std::vector<uint32_t> colours = Colours(image, 2, 2);
  ASSERT_EQ(Opaque(image, 55, 0), 1);
  EXPECT_EQ(Alphas(image, 2, 2), (std::vector<uint32_t>{0, 0, 200, 200}));
  EXPECT_EQ(Colours(image, 2, 2), colours);
  EXPECT_EQ(image.record().transparency, 1u);
  EXPECT_EQ(image.record().transparentColor, kAlphaBit);
}

TEST_F(OpaqueTest, RecordKeyIsHonouredOnceThenTheAlphaFades) {
  TestImage image({.depth = 32, .width = 3, .height = 1}, {{0x00FF0000, 0x33FF0000, 0x00FE0000}});
  image.setColorKey(0x000000FF);  // red
  ASSERT_EQ(Opaque(image, 0, 0), 1);
  EXPECT_EQ(Alphas(image, 3, 1), (std::vector<uint32_t>{0, 0, 255}));
  EXPECT_EQ(image.record().transparentColor, 0x000000FFu | kAlphaBit);  // the colour bits stay
  // The same call again fades by 0: nothing changes.
  const std::vector<uint8_t> before = image.bytes();
  ASSERT_EQ(Opaque(image, 0, 0), 1);
  EXPECT_EQ(image.bytes(), before);
  // A larger level lowers every alpha, stopping at 0.
  ASSERT_EQ(Opaque(image, 100, 0), 1);
  EXPECT_EQ(Alphas(image, 3, 1), (std::vector<uint32_t>{0, 0, 155}));
  ASSERT_EQ(Opaque(image, 200, 0), 1);
  EXPECT_EQ(Alphas(image, 3, 1), (std::vector<uint32_t>{0, 0, 0}));
}

struct RuleCase {
  const char* name;
  int level;
  uint32_t color;
  bool recordKey;  // the record has a colour key (green) before the call
  std::vector<uint32_t> pixels;
  std::vector<uint32_t> alphas;
};

class OpaqueRuleTest : public OpaqueTest, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(OpaqueRuleTest, GivesTheHandComputedAlphas) {
  const RuleCase& c = GetParam();
  const int width = static_cast<int>(c.pixels.size());
  TestImage image({.depth = 32, .width = width, .height = 1}, {c.pixels});
  if (c.recordKey) image.setColorKey(0x0000FF00);
  ASSERT_EQ(Opaque(image, c.level, c.color), 1);
  EXPECT_EQ(Alphas(image, width, 1), c.alphas);
  for (int x = 0; x < width; ++x) EXPECT_EQ(image.pixel(x, 0) & 0xFFFFFF, c.pixels[x] & 0xFFFFFF);
  EXPECT_EQ(image.record().transparency, 1u);
  EXPECT_TRUE(image.record().transparentColor & kAlphaBit);
}

// Soft key 0x302030 as given (c0 = 0x30, c1 = 0x20, c2 = 0x30) with tol 10: box 0x261626..0x3A2A3A.
// The corner 0x3A2A3A is 30 away: ti = trunc(255 - 10 + 0.5) = 245; q = (-118/64)^3 + 9 =
// 89533/32768, so 245 / q = 89.67 -> 89. At tol 128, q = 9: 245 / 9 -> 27. At tol 0, q = 1.
INSTANTIATE_TEST_SUITE_P(
    Rules, OpaqueRuleTest,
    ::testing::Values(
        RuleCase{"UniformLevel0", 0, 0x800000FF, false, {0x00000000, 0x12345678}, {255, 255}},
        RuleCase{"UniformNegativeLevelKeepsLow8Bits", -1, kAlphaBit, false, {0x00000000}, {0}},
        RuleCase{"SoftKeyAbove250Clears", 252, 0x800000FF, false, {0xFF0000FF, 0xFFFFFFFF}, {0, 0}},
        RuleCase{"HardKeyLevelBeyond255KeepsLow8Bits", 300, 0, false, {0x11000000, 0x00000001}, {0, 211}},
        RuleCase{"NonZeroColourWithoutBit31KeysBlack", 0, 0x000000FF, false, {0x00FF0000, 0x00000000}, {255, 0}},
        RuleCase{"SoftKeyOutsideBecomesOpaque",
                 11,
                 0x80302030,
                 false,
                 {0x10000000, 0x80302030, 0x40302131, 0x40FFFFFF},
                 {255, 0, 0x40, 255}},
        RuleCase{"SoftKeyKeepingScalesDown",
                 11,
                 0x80302030,
                 true,
                 {0x10000000, 0xFF3A2A3A, 0xC8302131, 0x80302030},
                 {0x10, 89, 200, 0}},
        RuleCase{"SoftKeyTol128", 129, 0x80302030, true, {0xFF3A2A3A, 0x05FFFFFF}, {27, 5}},
        RuleCase{"SoftKeyTol0OnlyTheKey", 1, 0x80302030, true, {0x77302030, 0x77302031}, {0, 0x77}},
        // The key's byte 0 is compared with the pixel's blue, as given: 0x302031 is 1 away from
        // 0x302030 (c0 = 0x30 against blue 0x31), so ti = trunc(255 - 1/3 + 0.5) = 255: not below 0xFE.
        RuleCase{"SoftKeyDistanceAgainstBlue", 11, 0x80302030, true, {0xFE302031}, {0xFE}}),
    [](const ::testing::TestParamInfo<RuleCase>& param) { return param.param.name; });

TEST_F(OpaqueTest, TopDownImagesChangeEveryRow) {
  TestImage image({.depth = 32, .width = 1, .height = -2}, {{0x00000000}, {0x00FFFFFF}});
  ASSERT_EQ(Opaque(image, 0, 0), 1);
  EXPECT_EQ(Alphas(image, 1, 2), (std::vector<uint32_t>{0, 255}));
}

TEST_F(OpaqueTest, RefusalsBeforeTheRoutineLeaveTheRecordAlone) {
  EXPECT_EQ(ImgOpaque(nullptr, 0, 0), 0);
  TestImage rgb({.depth = 24, .width = 2, .height = 1}, {{0, 0x102030}});
  const std::vector<uint8_t> before = rgb.bytes();
  EXPECT_EQ(Opaque(rgb, 0, 0), 0);
  EXPECT_EQ(rgb.bytes(), before);
  EXPECT_EQ(rgb.record().transparency, ORMI_NO_TRANSPARENCY);

  TestImage image({.depth = 32, .width = 1, .height = 1}, {{0x00000000}});
  image.edit([](ImageRecord& r) { r.magic[0] = 'X'; });
  EXPECT_EQ(Opaque(image, 0, 0), 0);
  image.edit([](ImageRecord& r) { r.magic[0] = 'I'; });
  const uint32_t bitmap = image.record().bitmap;
  image.edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(Opaque(image, 0, 0), 0);
  image.edit([&](ImageRecord& r) { r.bitmap = bitmap; });
  Win32EmuFailNextLock(1);  // the record
  EXPECT_EQ(ImgOpaque(image.handle(), 0, 0), 0);
  EXPECT_EQ(image.record().transparency, ORMI_NO_TRANSPARENCY);
  EXPECT_EQ(image.pixel(0, 0), 0u);
}

TEST_F(OpaqueTest, RefusalsByTheRoutineStillMarkTheRecord) {
  TestImage image({.depth = 32, .width = 1, .height = 1}, {{0x00FFFFFF}});
  Win32EmuFailNextLock(2);  // the bitmap
  EXPECT_EQ(ImgOpaque(image.handle(), 0, 0), 0);
  EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1}));
  EXPECT_EQ(image.record().transparency, 1u);
  EXPECT_EQ(image.record().transparentColor, kAlphaBit);
  EXPECT_EQ(image.pixel(0, 0), 0x00FFFFFFu);

  // The header copy says 32 bits, the bitmap itself 24.
  TestImage liar({.depth = 32, .width = 1, .height = 1}, {{0x00FFFFFF}});
  std::vector<uint8_t> bytes = liar.bytes();
  bytes[14] = 24;
  test::SetBlockBytes(liar.bitmap(), bytes);
  EXPECT_EQ(Opaque(liar, 0, 0), 0);
  EXPECT_EQ(liar.bytes(), bytes);
  EXPECT_EQ(liar.record().transparency, 1u);
}

TEST_F(OpaqueTest, HeaderClaimingMoreRowsThanTheBlockHoldsIsRefused) {
  TestImage image({.depth = 32, .width = 2, .height = 50, .sizeOverride = 40 + 8});
  const std::vector<uint8_t> before = image.bytes();
  EXPECT_EQ(Opaque(image, 0, 0), 0);
  EXPECT_EQ(image.bytes(), before);
}

TEST(OpaqueKeyTest, FollowsTheColourAndTheRecordState) {
  ImageRecord record{};
  record.transparency = ORMI_NO_TRANSPARENCY;
  OpaqueKey key = OpaqueKeyOf(record, 0);
  EXPECT_EQ(key.key, 0u);
  EXPECT_FALSE(key.useAsGiven);
  EXPECT_FALSE(key.keepOutside);
  key = OpaqueKeyOf(record, static_cast<int>(0x80ABCDEFu));
  EXPECT_EQ(key.key, 0x00ABCDEFu);
  EXPECT_TRUE(key.useAsGiven);
  EXPECT_FALSE(key.keepOutside);

  record.transparency = 7;
  record.transparentColor = 0x8000FF00u;
  key = OpaqueKeyOf(record, 0);
  EXPECT_EQ(key.key, 0x8000FF00u);  // bit 31 included: the fade
  EXPECT_FALSE(key.useAsGiven);
  EXPECT_TRUE(key.keepOutside);
  key = OpaqueKeyOf(record, static_cast<int>(0x80000001u));
  EXPECT_TRUE(key.useAsGiven);
  EXPECT_TRUE(key.keepOutside);
  key = OpaqueKeyOf(record, 5);
  EXPECT_EQ(key.key, 0u);
  EXPECT_FALSE(key.keepOutside);
}

}  // namespace
}  // namespace ormi
