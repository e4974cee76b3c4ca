#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/test_image.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::LockStateOf;
using test::TestImage;

constexpr uint32_t kWhite = 0x00FFFFFF, kBlack = 0x00000000;

class EmbossIconTest : public test::MemoryCheckedTest {
 protected:
  int Emboss(const TestImage& image, int threshold, uint32_t first = 0x00112233, uint32_t second = 0x00445566) {
    const test::LockState before = LockStateOf(image);
    const int result = TavoEmbossIcon(image.handle(), threshold, static_cast<int>(first), static_cast<int>(second));
    EXPECT_EQ(LockStateOf(image), before);
    return result;
  }
};

std::vector<std::vector<uint32_t>> Indices(const TestImage& image, int width, int rows) {
  std::vector<std::vector<uint32_t>> grid(static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    for (int x = 0; x < width; ++x) grid[r].push_back(image.pixel(x, r));
  }
  return grid;
}

uint32_t Entry(const TestImage& image, int i) {
  const std::vector<uint8_t> bytes = image.bytes();
  uint32_t value;
  std::memcpy(&value, bytes.data() + 40 + 4 * i, 4);
  return value;
}

class EmbossDepthTest : public EmbossIconTest, public ::testing::WithParamInterface<int> {};

// Threshold 255 with a short table: every entry is dark and L (15 or 255) is not.
TEST_P(EmbossDepthTest, Threshold255MarksEverythingButTwoCorners) {
  TestImage image({.depth = GetParam(), .width = 5, .height = 3, .clrUsed = 3, .palette = {kWhite, kWhite, kBlack}},
                  {{0, 1, 2, 0, 1}, {2, 2, 2, 2, 2}, {1, 0, 1, 0, 1}});
  ASSERT_EQ(Emboss(image, 255), 1);
  EXPECT_EQ(Indices(image, 5, 3),
            (std::vector<std::vector<uint32_t>>{{0, 1, 1, 1, 1}, {2, 2, 2, 2, 1}, {2, 2, 2, 2, 0}}));
}

// Dark pixels (index 1) at (0, 1), (3, 2), (4, 1) and (2, 0): each one that is not shifted out
// moves one column right and one row lower in memory (1) and leaves a 2 behind. (4, 1) is
// overwritten by the move of (3, 2); (2, 0) by the move of the light (1, 1).
TEST_P(EmbossDepthTest, DarkPixelsMoveAndLeaveTheirPlaceMarked) {
  TestImage image({.depth = GetParam(), .width = 5, .height = 3, .clrUsed = 3, .palette = {kWhite, kBlack, kWhite}},
                  {{0, 0, 1, 0, 0}, {1, 0, 2, 0, 1}, {2, 0, 0, 1, 0}});
  ASSERT_EQ(Emboss(image, 100), 1);
  EXPECT_EQ(Indices(image, 5, 3),
            (std::vector<std::vector<uint32_t>>{{0, 1, 0, 0, 0}, {2, 0, 0, 0, 1}, {0, 0, 0, 2, 0}}));
}

TEST_P(EmbossDepthTest, OneDarkPixelAtTheTopLeft) {
  // Bottom-up: row 2 is the top of the picture.
  TestImage image({.depth = GetParam(), .width = 4, .height = 3, .clrUsed = 3, .palette = {kWhite, kBlack, kWhite}},
                  {{0, 0, 0, 0}, {0, 0, 0, 0}, {1, 0, 0, 0}});
  ASSERT_EQ(Emboss(image, 0), 1);
  EXPECT_EQ(Indices(image, 4, 3), (std::vector<std::vector<uint32_t>>{{0, 0, 0, 0}, {0, 1, 0, 0}, {2, 0, 0, 0}}));
}

INSTANTIATE_TEST_SUITE_P(Depths, EmbossDepthTest, ::testing::Values(4, 8));

TEST_F(EmbossIconTest, ColourTableTakesGreenAndTheTwoColours) {
  TestImage image(
      {.depth = 8, .width = 2, .height = 2, .clrUsed = 4, .palette = {0xAA000000, 0xBB000000, 0xCC000000, 0x00123456}});
  const std::vector<uint8_t> headerCopy = image.headerCopyBytes();
  ASSERT_EQ(Emboss(image, 10, 0x00332211, 0x00665544), 1);
  EXPECT_EQ(Entry(image, 0), 0xAA00FF00u);  // reserved bytes kept
  EXPECT_EQ(Entry(image, 1), 0xBB112233u);  // blue from bits 16..23
  EXPECT_EQ(Entry(image, 2), 0xCC445566u);
  EXPECT_EQ(Entry(image, 3), 0x00123456u);
  EXPECT_EQ(image.headerCopyBytes(), headerCopy);  // the header copy is not refreshed
}

TEST_F(EmbossIconTest, DarknessIsTheTruncatedMeanAgainstTheThresholdsLowByte) {
  // Sums 2 and 3: means 0 and 1. Threshold 0x100 counts as 0.
  TestImage image({.depth = 8, .width = 3, .height = 2, .clrUsed = 3, .palette = {0x00000002, 0x00010101, kWhite}},
                  {{0, 0, 0}, {0, 1, 1}});
  ASSERT_EQ(Emboss(image, 0x100), 1);
  // (0, 1) is dark and moves to (1, 0); the moved (1, 1) (index 1, light) lands on (2, 0).
  EXPECT_EQ(Indices(image, 3, 2), (std::vector<std::vector<uint32_t>>{{0, 1, 0}, {2, 0, 0}}));
}

TEST_F(EmbossIconTest, AllDarkFullTableTakesLZero) {
  // Every one of the 16 entries is black: L = 0, itself dark, so the vacated pixels become 1.
  TestImage image({.depth = 4, .width = 3, .height = 2}, {{5, 6, 7}, {8, 9, 10}});
  ASSERT_EQ(Emboss(image, 0), 1);
  EXPECT_EQ(Indices(image, 3, 2), (std::vector<std::vector<uint32_t>>{{1, 1, 1}, {2, 2, 1}}));
}

struct EmbossRefusal {
  const char* name;
  BitmapSpec bitmapSpec;
};

class EmbossRefusalTest : public EmbossIconTest, public ::testing::WithParamInterface<EmbossRefusal> {};

TEST_P(EmbossRefusalTest, ReturnsZeroAndChangesNothing) {
  TestImage image(GetParam().bitmapSpec);
  const std::vector<uint8_t> before = image.bytes();
  EXPECT_EQ(Emboss(image, 128), 0);
  EXPECT_EQ(image.bytes(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Images, EmbossRefusalTest,
    ::testing::Values(EmbossRefusal{"OneBit", {.depth = 1, .width = 4, .height = 2}},
                      EmbossRefusal{"TwentyFourBits", {.depth = 24, .width = 4, .height = 2}},
                      EmbossRefusal{"EightBitsTwoEntries", {.depth = 8, .width = 4, .height = 2, .clrUsed = 2}},
                      EmbossRefusal{"FourBitsTwoEntries", {.depth = 4, .width = 4, .height = 2, .clrUsed = 2}},
                      EmbossRefusal{"TopDown", {.depth = 8, .width = 4, .height = -2}},
                      EmbossRefusal{"ShortBlock", {.depth = 8, .width = 4, .height = 8, .sizeOverride = 1064 + 8}}),
    [](const ::testing::TestParamInfo<EmbossRefusal>& param) { return param.param.name; });

TEST_F(EmbossIconTest, InvalidHandlesAndLockFailures) {
  EXPECT_EQ(TavoEmbossIcon(nullptr, 0, 0, 0), 0);
  TestImage image({.depth = 8, .width = 2, .height = 2, .clrUsed = 3}, {{1, 2}, {0, 1}});
  const std::vector<uint8_t> before = image.bytes();
  image.edit([](ImageRecord& r) { r.magic[1] = 'm'; });
  EXPECT_EQ(Emboss(image, 0), 0);
  image.edit([](ImageRecord& r) { r.magic[1] = 'M'; });
  const uint32_t bitmap = image.record().bitmap;
  image.edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(Emboss(image, 0), 0);
  image.edit([&](ImageRecord& r) { r.bitmap = bitmap; });
  for (long n = 1; n <= 2; ++n) {
    Win32EmuFailNextLock(n);
    EXPECT_EQ(TavoEmbossIcon(image.handle(), 0, 0, 0), 0) << n;
    Win32EmuFailNextLock(0);
    EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1}));
  }
  EXPECT_EQ(image.bytes(), before);
}

TEST_F(EmbossIconTest, EmptyPicturesOnlyChangeTheTable) {
  TestImage image({.depth = 8, .width = 0, .height = 3, .clrUsed = 3, .extraBytes = 4});
  ASSERT_EQ(Emboss(image, 0), 1);
  const std::vector<uint8_t> bytes = image.bytes();
  EXPECT_EQ(Entry(image, 0), 0x0000FF00u);
  EXPECT_TRUE(std::all_of(bytes.end() - 4, bytes.end(), [](uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace ormi
