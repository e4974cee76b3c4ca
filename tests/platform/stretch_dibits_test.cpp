// StretchDIBits onto emulated memory DCs: every source depth, both row orders, clipping, stretching.
// Test images are encoded here from a top-down array of 0x00RRGGBB colours, and the expected
// surface is painted by a plain per-pixel reference.
#include <gtest/gtest.h>
#include <ormi/win32.h>
#include <ormi/win32emu_testing.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSrcPaint = 0x00EE0086u;
constexpr DWORD kBiRle8 = 1u;

struct Image {
  int width;
  int height;
  std::vector<uint32_t> pixels;  // top row first, 0x00RRGGBB
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

struct Dib {
  std::vector<uint8_t> info;  // header, then colour table or masks
  std::vector<uint8_t> bits;
  BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(info.data()); }
  BITMAPINFOHEADER& Header() { return Info()->bmiHeader; }
};

struct Format {
  std::string name;
  int bpp;
  DWORD compression;
  std::vector<uint32_t> colours;  // what test images are made of (the palette for indexed depths)
  std::array<uint32_t, 3> masks;  // red, green, blue for 16 and 32 bits
};

int MaskShift(uint32_t mask) { return mask == 0 ? 0 : __builtin_ctz(mask); }
int MaskWidth(uint32_t mask) { return __builtin_popcount(mask); }

// Stores the top bits of each 8-bit channel in its mask's field.
uint32_t PackMasked(uint32_t colour, const std::array<uint32_t, 3>& masks) {
  uint32_t packed = 0;
  for (int c = 0; c < 3; ++c) {
    uint32_t channel = (colour >> (16 - 8 * c)) & 0xFFu;
    packed |= (channel >> (8 - MaskWidth(masks[c]))) << MaskShift(masks[c]);
  }
  return packed;
}

void PutLe(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

Dib Encode(const Image& image, const Format& format, bool topDown) {
  const bool indexed = format.bpp <= 8;
  Dib dib;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = image.width;
  header.biHeight = topDown ? -image.height : image.height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(format.bpp);
  header.biCompression = format.compression;
  if (indexed && format.colours.size() < (size_t{1} << format.bpp))
    header.biClrUsed = static_cast<DWORD>(format.colours.size());
  dib.info.resize(sizeof header);
  std::memcpy(dib.info.data(), &header, sizeof header);
  if (indexed) {
    for (uint32_t colour : format.colours) {
      dib.info.push_back(static_cast<uint8_t>(colour));
      dib.info.push_back(static_cast<uint8_t>(colour >> 8));
      dib.info.push_back(static_cast<uint8_t>(colour >> 16));
      dib.info.push_back(0);
    }
  } else if (format.compression == BI_BITFIELDS) {
    for (uint32_t mask : format.masks) {
      dib.info.resize(dib.info.size() + 4);
      PutLe(dib.info, dib.info.size() - 4, mask, 4);
    }
  }
  dib.info.resize(std::max(dib.info.size(), sizeof(BITMAPINFO)));

  const size_t stride = static_cast<size_t>((image.width * format.bpp + 31) / 32 * 4);
  dib.bits.assign(stride * static_cast<size_t>(image.height), 0xEE);  // padding holds junk
  for (int y = 0; y < image.height; ++y) {
    const size_t row = stride * static_cast<size_t>(topDown ? y : image.height - 1 - y);
    for (int x = 0; x < image.width; ++x) {
      const uint32_t colour = image.At(x, y);
      if (indexed) {
        auto found = std::find(format.colours.begin(), format.colours.end(), colour);
        const auto index = static_cast<unsigned>(found - format.colours.begin());
        const size_t bit = static_cast<size_t>(x * format.bpp);
        uint8_t& byte = dib.bits[row + bit / 8];
        const int shift = 8 - format.bpp - static_cast<int>(bit % 8);
        const auto fieldMask = static_cast<unsigned>(((1 << format.bpp) - 1) << shift);
        byte = static_cast<uint8_t>((byte & ~fieldMask) | (index << shift));
      } else if (format.bpp == 24) {
        PutLe(dib.bits, row + static_cast<size_t>(x) * 3, colour, 3);
      } else if (format.bpp == 32 && format.compression == BI_RGB) {
        PutLe(dib.bits, row + static_cast<size_t>(x) * 4, colour | 0xAB000000u, 4);  // 4th byte is ignored
      } else {
        PutLe(dib.bits, row + static_cast<size_t>(x) * static_cast<size_t>(format.bpp / 8),
              PackMasked(colour, format.masks), format.bpp / 8);
      }
    }
  }
  return dib;
}

Image MakeImage(int width, int height, const std::vector<uint32_t>& colours) {
  Image image{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.pixels.push_back(colours[static_cast<size_t>(x * 5 + y * 3 + x * y) % colours.size()]);
  return image;
}

std::vector<uint32_t> ArbitraryColours(size_t count) {
  std::vector<uint32_t> colours;
  uint32_t state = 0x2545F491u;
  while (colours.size() < count) {
    state = state * 1664525u + 1013904223u;
    const uint32_t colour = state >> 8;
    if (std::find(colours.begin(), colours.end(), colour) == colours.end()) colours.push_back(colour);
  }
  return colours;
}

// Colours a 5/6-bit channel shows exactly: the field value's bits repeated to fill 8 bits.
std::vector<uint32_t> ChannelColours(const std::vector<uint32_t>& red, const std::vector<uint32_t>& green,
                                     const std::vector<uint32_t>& blue) {
  std::vector<uint32_t> colours;
  for (uint32_t r : red)
    for (uint32_t g : green)
      for (uint32_t b : blue) colours.push_back(r << 16 | g << 8 | b);
  return colours;
}

const std::vector<uint32_t> kFiveBit = {0x00, 0x08, 0x84, 0xFF};  // fields 0, 1, 16, 31
const std::vector<uint32_t> kSixBit = {0x00, 0x04, 0x82, 0xFF};   // fields 0, 1, 32, 63

std::vector<Format> Formats() {
  return {
      {"bpp1", 1, BI_RGB, {0x00FF8800u, 0x000022CCu}, {}},
      {"bpp4", 4, BI_RGB, ArbitraryColours(16), {}},
      {"bpp8_40colours", 8, BI_RGB, ArbitraryColours(40), {}},
      {"bpp16_555", 16, BI_RGB, ChannelColours(kFiveBit, kFiveBit, kFiveBit), {0x7C00u, 0x03E0u, 0x001Fu}},
      {"bpp16_565", 16, BI_BITFIELDS, ChannelColours(kFiveBit, kSixBit, kFiveBit), {0xF800u, 0x07E0u, 0x001Fu}},
      {"bpp24", 24, BI_RGB, ArbitraryColours(50), {}},
      {"bpp32", 32, BI_RGB, ArbitraryColours(50), {}},
      {"bpp32_bgr_fields", 32, BI_BITFIELDS, ArbitraryColours(50), {0x000000FFu, 0x0000FF00u, 0x00FF0000u}},
  };
}

const Format& Find(const std::string& name) {
  static const std::vector<Format> formats = Formats();
  return *std::find_if(formats.begin(), formats.end(), [&](const Format& f) { return f.name == name; });
}

// The surface expected after painting `image` 1:1 with its top-left at (left, top).
std::vector<uint32_t> Reference(int width, int height, const Image& image, int left, int top) {
  std::vector<uint32_t> surface(static_cast<size_t>(width * height), 0u);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (x >= left && x < left + image.width && y >= top && y < top + image.height)
        surface[static_cast<size_t>(y * width + x)] = image.At(x - left, y - top);
  return surface;
}

class MemoryDC {
 public:
  MemoryDC(int width, int height) : width_(width), height_(height), dc_(Win32EmuCreateMemoryDC(width, height)) {}
  ~MemoryDC() { Win32EmuDeleteMemoryDC(dc_); }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;

  HDC dc() const { return dc_; }
  std::vector<uint32_t> Pixels() const {
    const uint32_t* p = Win32EmuMemoryDCPixels(dc_);
    return p == nullptr ? std::vector<uint32_t>{} : std::vector<uint32_t>(p, p + width_ * height_);
  }
  bool AllBlack() const {
    std::vector<uint32_t> pixels = Pixels();
    return std::all_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p == 0; });
  }

 private:
  int width_;
  int height_;
  HDC dc_;
};

// Each depth and row order, painted 1:1 at an offset inside the surface.
struct DepthCase {
  std::string format;
  bool topDown;
};

void PrintTo(const DepthCase& c, std::ostream* os) { *os << c.format << (c.topDown ? " top-down" : " bottom-up"); }

class Win32EmuStretchDepth : public testing::TestWithParam<DepthCase> {};

TEST_P(Win32EmuStretchDepth, PaintsTheImageAtItsOffset) {
  const Format& format = Find(GetParam().format);
  const Image image = MakeImage(7, 5, format.colours);
  Dib dib = Encode(image, format, GetParam().topDown);
  MemoryDC surface(12, 10);
  ASSERT_NE(surface.dc(), nullptr);
  const int rows =
      StretchDIBits(surface.dc(), 2, 3, 7, 5, 0, 0, 7, 5, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(rows, 5);
  EXPECT_EQ(surface.Pixels(), Reference(12, 10, image, 2, 3));
}

std::vector<DepthCase> DepthCases() {
  std::vector<DepthCase> cases;
  for (const Format& format : Formats())
    for (bool topDown : {false, true}) cases.push_back({format.name, topDown});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Formats, Win32EmuStretchDepth, testing::ValuesIn(DepthCases()),
                         [](const testing::TestParamInfo<DepthCase>& param) {
                           return param.param.format + (param.param.topDown ? "_topdown" : "_bottomup");
                         });

TEST(Win32EmuStretchDIBits, BottomUpTopRowIsTheLastRowInMemory) {
  // 2x2, 24 bits, bottom-up: memory holds the bottom row (blue) first, then the top row (red).
  const uint8_t bits[] = {0xFF, 0, 0,    0xFF, 0, 0,    0, 0,   // bottom: blue blue, padding
                          0,    0, 0xFF, 0,    0, 0xFF, 0, 0};  // top: red red, padding
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 2;
  info.bmiHeader.biHeight = 2;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  MemoryDC surface(4, 4);
  EXPECT_EQ(StretchDIBits(surface.dc(), 1, 1, 2, 2, 0, 0, 2, 2, bits, &info, DIB_RGB_COLORS, SRCCOPY), 2);
  const std::vector<uint32_t> expected = {0, 0,         0,         0,  //
                                          0, 0xFF0000u, 0xFF0000u, 0,  //
                                          0, 0x0000FFu, 0x0000FFu, 0,  //
                                          0, 0,         0,         0};
  EXPECT_EQ(surface.Pixels(), expected);
}

// 24-bit bottom-up images partly or wholly off the surface: only the visible part is painted.
struct ClipCase {
  int left;
  int top;
};

void PrintTo(const ClipCase& c, std::ostream* os) { *os << "at (" << c.left << ", " << c.top << ")"; }

class Win32EmuStretchClip : public testing::TestWithParam<ClipCase> {};

TEST_P(Win32EmuStretchClip, PaintsOnlyInsideTheSurface) {
  const Format& format = Find("bpp24");
  const Image image = MakeImage(5, 3, format.colours);
  Dib dib = Encode(image, format, false);
  MemoryDC surface(6, 4);
  const ClipCase c = GetParam();
  const int rows = StretchDIBits(surface.dc(), c.left, c.top, 5, 3, 0, 0, 5, 3, dib.bits.data(), dib.Info(),
                                 DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(rows, 3) << "clipping by the surface does not make the call fail";
  EXPECT_EQ(surface.Pixels(), Reference(6, 4, image, c.left, c.top));
}

INSTANTIATE_TEST_SUITE_P(Offsets, Win32EmuStretchClip,
                         testing::Values(ClipCase{3, 2}, ClipCase{-2, -1}, ClipCase{1, 3}, ClipCase{-4, 2},
                                         ClipCase{-10, 0}, ClipCase{0, 40}, ClipCase{-1000000, -1000000}));

TEST(Win32EmuStretchDIBits, StretchesWithNearestNeighbour) {
  const Format& format = Find("bpp24");
  const Image image = MakeImage(3, 2, format.colours);
  Dib dib = Encode(image, format, false);

  MemoryDC doubled(6, 4);
  EXPECT_EQ(StretchDIBits(doubled.dc(), 0, 0, 6, 4, 0, 0, 3, 2, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY),
            4);
  std::vector<uint32_t> pixels = doubled.Pixels();
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(pixels[static_cast<size_t>(y * 6 + x)], image.At(x / 2, y / 2)) << x << "," << y;

  MemoryDC tall(3, 6);
  StretchDIBits(tall.dc(), 0, 0, 3, 6, 0, 0, 3, 2, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
  pixels = tall.Pixels();
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(pixels[static_cast<size_t>(y * 3 + x)], image.At(x, y / 3)) << x << "," << y;
}

TEST(Win32EmuStretchDIBits, ShrinksUniformBlocksToOnePixelEach) {
  const Format& format = Find("bpp32");
  const Image blocks = MakeImage(3, 2, format.colours);
  Image image{6, 4, {}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) image.pixels.push_back(blocks.At(x / 2, y / 2));
  for (bool topDown : {false, true}) {
    Dib dib = Encode(image, format, topDown);
    MemoryDC surface(4, 3);
    EXPECT_EQ(StretchDIBits(surface.dc(), 1, 1, 3, 2, 0, 0, 6, 4, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY),
              2);
    EXPECT_EQ(surface.Pixels(), Reference(4, 3, blocks, 1, 1)) << (topDown ? "top-down" : "bottom-up");
  }
}

// A source rectangle's ySrc counts from the bottom row of a bottom-up DIB, from the top of a top-down one.
TEST(Win32EmuStretchDIBits, SourceRectangleFollowsTheRowOrder) {
  const Format& format = Find("bpp24");
  const Image image = MakeImage(5, 4, format.colours);
  for (bool topDown : {false, true}) {
    Dib dib = Encode(image, format, topDown);
    MemoryDC surface(3, 2);
    EXPECT_EQ(StretchDIBits(surface.dc(), 0, 0, 3, 2, 1, 0, 3, 2, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY),
              2);
    const int firstRow = topDown ? 0 : 2;  // the bottom two rows of a bottom-up DIB
    std::vector<uint32_t> expected;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) expected.push_back(image.At(1 + x, firstRow + y));
    EXPECT_EQ(surface.Pixels(), expected) << (topDown ? "top-down" : "bottom-up");
  }
}

TEST(Win32EmuStretchDIBits, NegativeDestinationExtentMirrors) {
  const Format& format = Find("bpp24");
  const Image image = MakeImage(4, 3, format.colours);
  Dib dib = Encode(image, format, false);
  MemoryDC surface(4, 3);
  // The destination spans [xDest + destWidth, xDest): here columns 0..3, right to left.
  EXPECT_EQ(StretchDIBits(surface.dc(), 4, 0, -4, 3, 0, 0, 4, 3, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY),
            3);
  std::vector<uint32_t> pixels = surface.Pixels();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(pixels[static_cast<size_t>(y * 4 + x)], image.At(3 - x, y)) << x << "," << y;

  MemoryDC flipped(4, 3);
  StretchDIBits(flipped.dc(), 0, 3, 4, -3, 0, 0, 4, 3, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY);
  pixels = flipped.Pixels();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(pixels[static_cast<size_t>(y * 4 + x)], image.At(x, 2 - y)) << x << "," << y;
}

TEST(Win32EmuStretchDIBits, PaletteIndexPastTheTableIsBlack) {
  Format format{"bpp4_three", 4, BI_RGB, {0x00112233u, 0x00445566u, 0x00778899u}, {}};
  const Image image = MakeImage(2, 1, format.colours);
  Dib dib = Encode(image, format, true);
  dib.bits[0] = 0x1F;  // index 1, then index 15 beyond the 3-entry table
  MemoryDC surface(2, 1);
  EXPECT_EQ(StretchDIBits(surface.dc(), 0, 0, 2, 1, 0, 0, 2, 1, dib.bits.data(), dib.Info(), DIB_RGB_COLORS, SRCCOPY),
            1);
  EXPECT_EQ(surface.Pixels(), (std::vector<uint32_t>{0x00445566u, 0u}));
}

// Calls that must fail: 0 rows, nothing painted.
struct FailureCase {
  std::string name;
  std::function<void(Dib&, HDC&, const void*&, DWORD&, UINT&, int&, int&)> spoil;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class Win32EmuStretchFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(Win32EmuStretchFailure, ReturnsZeroAndPaintsNothing) {
  const Image image = MakeImage(4, 3, Find("bpp24").colours);
  Dib dib = Encode(image, Find("bpp24"), false);
  MemoryDC surface(4, 3);
  HDC dc = surface.dc();
  const void* bits = dib.bits.data();
  DWORD rop = SRCCOPY;
  UINT usage = DIB_RGB_COLORS;
  int destWidth = 4;
  int srcHeight = 3;
  GetParam().spoil(dib, dc, bits, rop, usage, destWidth, srcHeight);
  const BITMAPINFO* info = dib.info.empty() ? nullptr : dib.Info();
  EXPECT_EQ(StretchDIBits(dc, 0, 0, destWidth, 3, 0, 0, 4, srcHeight, bits, info, usage, rop), 0);
  EXPECT_TRUE(surface.AllBlack());
}

std::vector<FailureCase> FailureCases() {
  using D = Dib&;
  using H = HDC&;
  using B = const void*&;
  using R = DWORD&;
  using U = UINT&;
  using I = int&;
  return {
      {"NullDC", [](D, H dc, B, R, U, I, I) { dc = nullptr; }},
      {"UnknownDC", [](D, H dc, B, R, U, I, I) { dc = reinterpret_cast<HDC>(std::uintptr_t{0x4321}); }},
      {"DeletedDC",
       [](D, H dc, B, R, U, I, I) {
         dc = Win32EmuCreateMemoryDC(4, 3);
         Win32EmuDeleteMemoryDC(dc);
       }},
      {"NullBits", [](D, H, B bits, R, U, I, I) { bits = nullptr; }},
      {"NullInfo", [](D dib, H, B, R, U, I, I) { dib.info.clear(); }},
      {"TwoBitsPerPixel", [](D dib, H, B, R, U, I, I) { dib.Header().biBitCount = 2; }},
      {"ZeroBitsPerPixel", [](D dib, H, B, R, U, I, I) { dib.Header().biBitCount = 0; }},
      {"Rle8",
       [](D dib, H, B, R, U, I, I) {
         dib.Header().biBitCount = 8;
         dib.Header().biCompression = kBiRle8;
       }},
      {"BitfieldsAt24", [](D dib, H, B, R, U, I, I) { dib.Header().biCompression = BI_BITFIELDS; }},
      {"CoreHeaderSize", [](D dib, H, B, R, U, I, I) { dib.Header().biSize = 12; }},
      {"ZeroWidthDib", [](D dib, H, B, R, U, I, I) { dib.Header().biWidth = 0; }},
      {"NegativeWidthDib", [](D dib, H, B, R, U, I, I) { dib.Header().biWidth = -4; }},
      {"ZeroHeightDib", [](D dib, H, B, R, U, I, I) { dib.Header().biHeight = 0; }},
      {"SrcPaint", [](D, H, B, R rop, U, I, I) { rop = kSrcPaint; }},
      {"PaletteIndices", [](D, H, B, R, U usage, I, I) { usage = DIB_PAL_COLORS; }},
      {"ZeroDestinationWidth", [](D, H, B, R, U, I destWidth, I) { destWidth = 0; }},
      {"ZeroSourceHeight", [](D, H, B, R, U, I, I srcHeight) { srcHeight = 0; }},
  };
}

INSTANTIATE_TEST_SUITE_P(Cases, Win32EmuStretchFailure, testing::ValuesIn(FailureCases()),
                         [](const testing::TestParamInfo<FailureCase>& param) { return param.param.name; });

}  // namespace
