#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "decor_test_support.h"

namespace ormi {
namespace {

using test::LockCount;
using test::OwnedBitmap;
using test::UniformMask;

class TileFillTest : public test::MemoryCheckedTest {
 protected:
  // TavoTileForText with both inputs' lock counts checked; the result is the caller's.
  HGLOBAL Tile(const RECT& rect, HGLOBAL mask, HGLOBAL tile) {
    const int maskLocks = mask ? LockCount(mask) : 0, tileLocks = tile ? LockCount(tile) : 0;
    const std::vector<uint8_t> tileBytes = tile ? test::BlockBytes(tile) : std::vector<uint8_t>{};
    HGLOBAL result = TavoTileForText(nullptr, &rect, mask, tile);
    if (mask) {
      EXPECT_EQ(LockCount(mask), maskLocks);
    }
    if (tile) {
      EXPECT_EQ(LockCount(tile), tileLocks);
      EXPECT_EQ(test::BlockBytes(tile), tileBytes);
    }
    if (result) {
      EXPECT_EQ(LockCount(result), 0);
    }
    return result;
  }
};

TEST_F(TileFillTest, OnePixelTileGivesItsColourAndAlphaUnderTheText) {
  OwnedBitmap mask({.depth = 1, .width = 3, .height = 2}, {{0, 1, 0}, {1, 0, 0}});
  OwnedBitmap tile({.depth = 32, .width = 1, .height = 1}, {{0x80112233}});
  OwnedBitmap result(Tile(RECT{10, 20, 12, 21}, mask.handle(), tile.handle()));
  ASSERT_NE(result.handle(), nullptr);
  const std::vector<std::vector<uint32_t>> expected{{0x80112233, 0, 0x80112233}, {0, 0x80112233, 0x80112233}};
  for (int r = 0; r < 2; ++r) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(result.pixel(x, r), expected[r][x]) << x << "," << r;
  }
  const BITMAPINFOHEADER h = result.header();
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 3);
  EXPECT_EQ(h.biHeight, 2);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 32);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(GlobalSize(result.handle()), 40u + 4 * 6);
}

TEST_F(TileFillTest, TileOfTheRectanglesSizeGivesAMaskedCopy) {
  OwnedBitmap mask({.depth = 1, .width = 9, .height = 2}, {{0, 0, 1}, {1, 0, 0}});
  OwnedBitmap tile({.depth = 32, .width = 3, .height = 2}, {{1, 2, 3}, {4, 5, 6}});
  OwnedBitmap result(Tile(RECT{0, 0, 2, 1}, mask.handle(), tile.handle()));
  ASSERT_NE(result.handle(), nullptr);
  EXPECT_EQ(result.pixel(0, 0), 1u);
  EXPECT_EQ(result.pixel(1, 0), 2u);
  EXPECT_EQ(result.pixel(2, 0), 0u);
  EXPECT_EQ(result.pixel(0, 1), 0u);
  EXPECT_EQ(result.pixel(1, 1), 5u);
  EXPECT_EQ(result.pixel(2, 1), 6u);
}

TEST_F(TileFillTest, TileRepeatsFromTheFirstStoredRowAndColumnOnEveryRow) {
  // W 5 over a tile 2 wide: columns 0 1 0 1 0 on every row; H 4 over 3 tile rows: 0 1 2 0.
  OwnedBitmap mask = UniformMask(5, 4, 0);
  OwnedBitmap tile({.depth = 32, .width = 2, .height = 3}, {{0xA0, 0xA1}, {0xB0, 0xB1}, {0xC0, 0xC1}});
  OwnedBitmap result(Tile(RECT{0, 0, 4, 3}, mask.handle(), tile.handle()));
  ASSERT_NE(result.handle(), nullptr);
  const uint32_t rowBase[] = {0xA0, 0xB0, 0xC0, 0xA0};
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(result.pixel(x, r), rowBase[r] + x % 2) << x << "," << r;
  }
}

TEST_F(TileFillTest, AllSetMaskGivesAFullyTransparentResult) {
  OwnedBitmap mask = UniformMask(6, 2, 1);
  OwnedBitmap tile({.depth = 32, .width = 1, .height = 1}, {{0xFFFFFFFF}});
  OwnedBitmap result(Tile(RECT{0, 0, 5, 1}, mask.handle(), tile.handle()));
  ASSERT_NE(result.handle(), nullptr);
  const std::vector<uint8_t> bytes = test::BlockBytes(result.handle());
  EXPECT_TRUE(std::all_of(bytes.begin() + 40, bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(TileFillTest, NoRowsGiveAHeaderOnlyBitmap) {
  OwnedBitmap mask = UniformMask(2, 1, 0);
  OwnedBitmap tile({.depth = 32, .width = 1, .height = 1});
  OwnedBitmap result(Tile(RECT{0, 0, 1, -1}, mask.handle(), tile.handle()));
  ASSERT_NE(result.handle(), nullptr);
  EXPECT_EQ(GlobalSize(result.handle()), 40u);
  EXPECT_EQ(result.header().biHeight, 0);
}

struct TileRefusal {
  const char* name;
  test::BitmapSpec mask, tile;
  RECT rect;
};

class TileFillRefusalTest : public TileFillTest, public ::testing::WithParamInterface<TileRefusal> {};

TEST_P(TileFillRefusalTest, ReturnsNullLeavingBothInputsUnlocked) {
  const TileRefusal& c = GetParam();
  OwnedBitmap mask(c.mask);
  OwnedBitmap tile(c.tile);
  const size_t live = Win32EmuLiveBlocks();
  EXPECT_EQ(Tile(c.rect, mask.handle(), tile.handle()), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), live);
}

constexpr test::BitmapSpec kMask4x4{.depth = 1, .width = 4, .height = 4};
constexpr RECT kRect4x4{0, 0, 3, 3};

INSTANTIATE_TEST_SUITE_P(
    Inputs, TileFillRefusalTest,
    ::testing::Values(
        TileRefusal{"TwentyFourBitTile", kMask4x4, {.depth = 24, .width = 2, .height = 2}, kRect4x4},
        TileRefusal{"EightBitMask", {.depth = 8, .width = 4, .height = 4}, {.depth = 32}, kRect4x4},
        TileRefusal{"TileHeight0", kMask4x4, {.depth = 32, .width = 2, .height = 0}, kRect4x4},
        TileRefusal{"TileTopDown", kMask4x4, {.depth = 32, .width = 2, .height = -2}, kRect4x4},
        TileRefusal{"TileWidth0", kMask4x4, {.depth = 32, .width = 0, .height = 2}, kRect4x4},
        TileRefusal{"TileBlockShort", kMask4x4, {.depth = 32, .width = 2, .height = 2, .sizeOverride = 44}, kRect4x4},
        TileRefusal{"MaskNarrower", {.depth = 1, .width = 3, .height = 4}, {.depth = 32}, kRect4x4},
        TileRefusal{"MaskShorter", {.depth = 1, .width = 4, .height = 3}, {.depth = 32}, kRect4x4},
        TileRefusal{"InvertedRectangle", kMask4x4, {.depth = 32}, {0, 3, 3, 0}},
        TileRefusal{"HeightBeyond32Bits", kMask4x4, {.depth = 32}, {0, INT_MIN, 3, INT_MAX}}),
    [](const ::testing::TestParamInfo<TileRefusal>& param) { return param.param.name; });

TEST_F(TileFillTest, MissingArgumentsAndFailuresReleaseEverything) {
  OwnedBitmap mask = UniformMask(4, 4, 0);
  OwnedBitmap tile({.depth = 32, .width = 2, .height = 2});
  const RECT rect = kRect4x4;
  EXPECT_EQ(Tile(rect, nullptr, tile.handle()), nullptr);
  EXPECT_EQ(Tile(rect, mask.handle(), nullptr), nullptr);
  EXPECT_EQ(TavoTileForText(nullptr, nullptr, mask.handle(), tile.handle()), nullptr);
  const size_t live = Win32EmuLiveBlocks();
  for (long n = 1; n <= 3; ++n) {  // the mask, the tile, the result
    Win32EmuFailNextLock(n);
    EXPECT_EQ(TavoTileForText(nullptr, &rect, mask.handle(), tile.handle()), nullptr) << n;
    Win32EmuFailNextLock(0);
    EXPECT_EQ(LockCount(mask.handle()), 0);
    EXPECT_EQ(LockCount(tile.handle()), 0);
    EXPECT_EQ(Win32EmuLiveBlocks(), live);
  }
  Win32EmuFailNextAlloc(1);
  EXPECT_EQ(Tile(rect, mask.handle(), tile.handle()), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), live);
}

}  // namespace
}  // namespace ormi
