// StretchDIBits onto emulated memory DCs: every source depth in both row orders with hand-worked
// colours, clipping, stretching, mirroring, source rectangles, and the calls that must fail.
#include <gtest/gtest.h>
#include <ormi/win32.h>

#include <string>

#include "support/test_image.h"

namespace ormi::test {
namespace {

// A packed DIB locked for a call: the info header and tables, then the rows.
struct Dib {
  explicit Dib(const BitmapSpec& given, const std::vector<uint32_t>& pixels) : layout(given), block(MakeBitmap(given)) {
    for (size_t i = 0; i < pixels.size(); ++i)
      WritePixel(block, static_cast<int>(i) % layout.width, static_cast<int>(i) / layout.width, pixels[i]);
    base = static_cast<uint8_t*>(GlobalLock(block));
  }
  ~Dib() { GlobalFree(block); }
  BITMAPINFO* info() const { return reinterpret_cast<BITMAPINFO*>(base); }
  const void* bits() const { return base + BitsOffsetOf(layout); }
  BitmapSpec layout;
  HGLOBAL block;
  uint8_t* base;
};

struct Surface {
  Surface(int w, int h) : width(w), height(h), dc(Win32EmuCreateMemoryDC(w, h)) {}
  ~Surface() { Win32EmuDeleteMemoryDC(dc); }
  std::vector<uint32_t> pixels() const {
    const uint32_t* p = Win32EmuMemoryDCPixels(dc);
    return {p, p + width * height};
  }
  int width, height;
  HDC dc;
};

const auto ByName = [](const auto& param) { return std::string(param.param.name); };

// Pixels as WritePixel takes them (stored rows, row 0 first) and the colours they show (0xRRGGBB).
struct DepthCase {
  const char* name;
  BitmapSpec layout;  // 3 x 2
  std::vector<uint32_t> pixels, colours;
};

// clang-format off
const DepthCase kDepthCases[] = {
    {"OneBit", {.depth = 1, .width = 3, .height = 2, .palette = {0xFF8800, 0x0022CC}},
     {0, 1, 1, 1, 0, 0}, {0xFF8800, 0x0022CC, 0x0022CC, 0x0022CC, 0xFF8800, 0xFF8800}},
    // Indices past a short colour table show black.
    {"FourBits", {.depth = 4, .width = 3, .height = 2, .clrUsed = 3, .palette = {0x112233, 0x445566, 0x778899}},
     {0, 1, 2, 15, 1, 0}, {0x112233, 0x445566, 0x778899, 0, 0x445566, 0x112233}},
    {"EightBits", {.depth = 8, .width = 3, .height = 2, .clrUsed = 2, .palette = {0xABCDEF, 0x010203}},
     {1, 0, 200, 0, 1, 1}, {0x010203, 0xABCDEF, 0, 0xABCDEF, 0x010203, 0x010203}},
    // 5-bit fields widen by repeating their bits: 16 gives 0x84, 1 gives 0x08.
    {"Rgb555", {.depth = 16, .width = 3, .height = 2},
     {0x7FFF, 0x0421, 0x4000, 0x0200, 0x0010, 0}, {0xFFFFFF, 0x080808, 0x840000, 0x008400, 0x000084, 0}},
    {"Rgb565", {.depth = 16, .width = 3, .height = 2, .compression = BI_BITFIELDS, .masks = {0xF800, 0x07E0, 0x001F}},
     {0xFFFF, 0x0020, 0x8410, 0x07E0, 0xF800, 0x001F}, {0xFFFFFF, 0x000400, 0x848284, 0x00FF00, 0xFF0000, 0x0000FF}},
    {"TwentyFourBits", {.depth = 24, .width = 3, .height = 2},
     {0x123456, 0xABCDEF, 1, 0xFF0000, 0x00FF00, 0x0000FF}, {0x123456, 0xABCDEF, 1, 0xFF0000, 0x00FF00, 0x0000FF}},
    // The fourth byte is not a colour.
    {"ThirtyTwoBits", {.depth = 32, .width = 3, .height = 2},
     {0xAB123456, 0x00ABCDEF, 0xFF000001, 7, 8, 9}, {0x123456, 0xABCDEF, 1, 7, 8, 9}},
    {"ThirtyTwoBitsBgrMasks", {.depth = 32, .width = 3, .height = 2, .compression = BI_BITFIELDS, .masks = {0xFF, 0xFF00, 0xFF0000}},
     {0x123456, 0xABCDEF, 1, 0xFF, 0xFF00, 0xFF0000}, {0x563412, 0xEFCDAB, 0x010000, 0xFF0000, 0x00FF00, 0x0000FF}},
};
// clang-format on

class StretchDepthTest : public testing::TestWithParam<DepthCase> {};

TEST_P(StretchDepthTest, PaintsEachPixelAtItsPlaceInBothRowOrders) {
  for (int sign : {1, -1}) {
    BitmapSpec layout = GetParam().layout;
    layout.height *= sign;
    Dib dib(layout, GetParam().pixels);
    Surface surface(6, 4);
    EXPECT_EQ(StretchDIBits(surface.dc, 2, 1, 3, 2, 0, 0, 3, 2, dib.bits(), dib.info(), DIB_RGB_COLORS, SRCCOPY), 2);
    std::vector<uint32_t> expected(24, 0);
    for (int i = 0; i < 6; ++i) {
      const int storedRow = i / 3, shownRow = sign > 0 ? 1 - storedRow : storedRow;
      expected[(1 + shownRow) * 6 + 2 + i % 3] = GetParam().colours[i];
    }
    EXPECT_EQ(surface.pixels(), expected) << (sign > 0 ? "bottom-up" : "top-down");
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, StretchDepthTest, testing::ValuesIn(kDepthCases), ByName);

// A 4 x 3 bottom-up 24-bit picture whose pixel at (x, y from the top) is 0x10 * (y + 1) + x + 1.
uint32_t Shown(int x, int y) { return static_cast<uint32_t>(0x10 * (y + 1) + x + 1); }
std::vector<uint32_t> StoredRows(bool topDown) {
  std::vector<uint32_t> pixels;
  for (int r = 0; r < 3; ++r)
    for (int x = 0; x < 4; ++x) pixels.push_back(Shown(x, topDown ? r : 2 - r));
  return pixels;
}

// Where each destination pixel comes from: picture pixel (sx * x / scale + ox, sy * y / scale + oy)
// where the destination covers it, nothing when `shown` is false.
struct GeometryCase {
  const char* name;
  int xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight;
  bool topDown;
  int sx, ox, sy, oy, scale = 1;
  bool shown = true;
};

// ySrc counts from the bottom row of a bottom-up picture, from the top of a top-down one.
const GeometryCase kGeometryCases[] = {
    {"ClippedTopLeft", -2, -1, 4, 3, 0, 0, 4, 3, false, 1, 2, 1, 1},
    {"ClippedBottomRight", 4, 4, 4, 3, 0, 0, 4, 3, false, 1, -4, 1, -4},
    {"FarOff", -1000000, -1000000, 4, 3, 0, 0, 4, 3, false, 1, 0, 1, 0, 1, false},
    {"Doubled", 0, 0, 8, 6, 0, 0, 4, 3, false, 1, 0, 1, 0, 2},
    {"MirroredColumns", 4, 0, -4, 3, 0, 0, 4, 3, false, -1, 3, 1, 0},
    {"MirroredRows", 0, 3, 4, -3, 0, 0, 4, 3, true, 1, 0, -1, 2},
    {"BottomRowsOfBottomUp", 0, 0, 3, 2, 1, 0, 3, 2, false, 1, 1, 1, 1},
    {"TopRowsOfTopDown", 0, 0, 3, 2, 1, 0, 3, 2, true, 1, 1, 1, 0},
    // Source columns past the picture's right edge paint nothing.
    {"SourcePastTheRightEdge", 0, 0, 4, 3, 2, 0, 4, 3, false, 1, 2, 1, 0},
};

class StretchGeometryTest : public testing::TestWithParam<GeometryCase> {};

TEST_P(StretchGeometryTest, PaintsWhatTheRectanglesSay) {
  const GeometryCase& c = GetParam();
  Dib dib({.depth = 24, .width = 4, .height = c.topDown ? -3 : 3}, StoredRows(c.topDown));
  Surface surface(8, 7);
  EXPECT_EQ(StretchDIBits(surface.dc, c.xDest, c.yDest, c.destWidth, c.destHeight, c.xSrc, c.ySrc, c.srcWidth,
                          c.srcHeight, dib.bits(), dib.info(), DIB_RGB_COLORS, SRCCOPY),
            std::abs(c.destHeight))
      << "clipping by the surface does not make the call fail";
  std::vector<uint32_t> expected(56, 0);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int left = std::min(c.xDest, c.xDest + c.destWidth), top = std::min(c.yDest, c.yDest + c.destHeight);
      const bool covered =
          x >= left && x < left + std::abs(c.destWidth) && y >= top && y < top + std::abs(c.destHeight);
      const int sx = c.sx * x / c.scale + c.ox, sy = c.sy * y / c.scale + c.oy;
      if (covered && c.shown && sx >= 0 && sx < 4 && sy >= 0 && sy < 3) expected[y * 8 + x] = Shown(sx, sy);
    }
  }
  EXPECT_EQ(surface.pixels(), expected);
}

INSTANTIATE_TEST_SUITE_P(Rectangles, StretchGeometryTest, testing::ValuesIn(kGeometryCases), ByName);

// Calls that must fail: 0 rows, nothing painted.
struct StretchCall {
  HDC dc;
  int destWidth = 4, srcHeight = 3;
  const void* bits;
  BITMAPINFO* info;
  UINT usage = DIB_RGB_COLORS;
  DWORD rop = SRCCOPY;
};

struct FailureCase {
  const char* name;
  void (*spoil)(StretchCall&);
};

const FailureCase kFailureCases[] = {
    {"NullDC", [](StretchCall& c) { c.dc = nullptr; }},
    {"UnknownDC", [](StretchCall& c) { c.dc = reinterpret_cast<HDC>(std::uintptr_t{0x4321}); }},
    {"DeletedDC", [](StretchCall& c) { Win32EmuDeleteMemoryDC(c.dc = Win32EmuCreateMemoryDC(4, 3)); }},
    {"NullBits", [](StretchCall& c) { c.bits = nullptr; }},
    {"NullInfo", [](StretchCall& c) { c.info = nullptr; }},
    {"TwoBitsPerPixel", [](StretchCall& c) { c.info->bmiHeader.biBitCount = 2; }},
    {"ZeroBitsPerPixel", [](StretchCall& c) { c.info->bmiHeader.biBitCount = 0; }},
    {"Rle8", [](StretchCall& c) { c.info->bmiHeader.biBitCount = 8, c.info->bmiHeader.biCompression = 1; }},
    {"BitfieldsAt24", [](StretchCall& c) { c.info->bmiHeader.biCompression = BI_BITFIELDS; }},
    {"CoreHeaderSize", [](StretchCall& c) { c.info->bmiHeader.biSize = 12; }},
    {"ZeroWidth", [](StretchCall& c) { c.info->bmiHeader.biWidth = 0; }},
    {"NegativeWidth", [](StretchCall& c) { c.info->bmiHeader.biWidth = -4; }},
    {"ZeroHeight", [](StretchCall& c) { c.info->bmiHeader.biHeight = 0; }},
    {"SrcPaint", [](StretchCall& c) { c.rop = 0x00EE0086u; }},
    {"PaletteIndices", [](StretchCall& c) { c.usage = DIB_PAL_COLORS; }},
    {"ZeroDestinationWidth", [](StretchCall& c) { c.destWidth = 0; }},
    {"ZeroSourceHeight", [](StretchCall& c) { c.srcHeight = 0; }},
};

class StretchFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(StretchFailureTest, ReturnsZeroAndPaintsNothing) {
  Dib dib({.depth = 24, .width = 4, .height = 3}, StoredRows(false));
  Surface surface(4, 3);
  StretchCall c{.dc = surface.dc, .bits = dib.bits(), .info = dib.info()};
  GetParam().spoil(c);
  EXPECT_EQ(StretchDIBits(c.dc, 0, 0, c.destWidth, 3, 0, 0, 4, c.srcHeight, c.bits, c.info, c.usage, c.rop), 0);
  EXPECT_EQ(surface.pixels(), std::vector<uint32_t>(12, 0));
}

INSTANTIATE_TEST_SUITE_P(Calls, StretchFailureTest, testing::ValuesIn(kFailureCases), ByName);

}  // namespace
}  // namespace ormi::test
