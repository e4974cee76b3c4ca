// StretchDIBits onto memory DCs: SRCCOPY of DIB_RGB_COLORS sources at 1, 4, 8, 16, 24 and 32 bits
// per pixel, nearest-neighbour stretching, clipped to the surface.
//
// Coordinates follow Windows: for a bottom-up DIB the source rectangle's ySrc counts from the
// bottom row, for a top-down DIB from the top row; either way the source rectangle's top row lands
// on the destination's top row. A negative width or height (destination or source) mirrors along
// that axis, and the destination then covers [xDest + destWidth, xDest).
//
// The answer is the number of destination rows that received a source row; like Windows, clipping
// to the device surface does not reduce it (an image painted off-surface still succeeded).
#include <ormi/win32.h>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>

#include "gdi_surface.h"

namespace ormi::win32emu {
namespace {

constexpr std::size_t kInfoHeaderBytes = sizeof(BITMAPINFOHEADER);

struct Source {
  const std::uint8_t* bits;
  std::int64_t width;
  std::int64_t height;  // rows, positive
  bool bottomUp;
  int bpp;
  std::size_t stride;
  std::array<std::uint32_t, 256> palette;  // 0x00RRGGBB; entries past the table stay black
  std::array<std::uint32_t, 3> masks;      // red, green, blue for 16 and 32 bpp
};

std::uint32_t ReadLe32(const std::uint8_t* p) {
  std::uint32_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// Widens a channel of `width` bits to 8 bits by repeating its bits, so full scale stays full scale.
std::uint32_t Expand(std::uint32_t value, int width) {
  if (width <= 0) return 0;
  if (width >= 8) return (value >> (width - 8)) & 0xFFu;
  std::uint32_t result = 0;
  for (int shift = 8 - width; shift > -width; shift -= width) result |= shift >= 0 ? value << shift : value >> -shift;
  return result & 0xFFu;
}

std::uint32_t Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  return Expand((pixel & mask) >> shift, std::popcount(mask >> shift));
}

bool ReadSource(const void* bits, const BITMAPINFO* info, Source& source) {
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize < kInfoHeaderBytes || header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN)
    return false;
  source.bits = static_cast<const std::uint8_t*>(bits);
  source.width = header.biWidth;
  source.height = header.biHeight > 0 ? header.biHeight : -static_cast<std::int64_t>(header.biHeight);
  source.bottomUp = header.biHeight > 0;
  source.bpp = header.biBitCount;
  source.stride = static_cast<std::size_t>(((source.width * source.bpp + 31) & ~std::int64_t{31}) / 8);
  source.palette.fill(0);

  const auto* raw = reinterpret_cast<const std::uint8_t*>(info);
  const bool bitfields = header.biCompression == BI_BITFIELDS;
  if (header.biCompression != BI_RGB && !bitfields) return false;
  switch (source.bpp) {
    case 1:
    case 4:
    case 8: {
      if (bitfields) return false;
      std::size_t entries = std::size_t{1} << source.bpp;
      if (header.biClrUsed != 0 && header.biClrUsed < entries) entries = header.biClrUsed;
      const std::uint8_t* table = raw + header.biSize;
      for (std::size_t i = 0; i < entries; ++i) {
        const std::uint8_t* quad = table + i * sizeof(RGBQUAD);
        source.palette[i] = std::uint32_t{quad[2]} << 16 | std::uint32_t{quad[1]} << 8 | quad[0];
      }
      return true;
    }
    case 16:
    case 32:
      if (bitfields) {
        // After a 40-byte header the masks follow it; larger headers hold them at the same offset.
        for (std::size_t i = 0; i < 3; ++i) source.masks[i] = ReadLe32(raw + kInfoHeaderBytes + 4 * i);
      } else if (source.bpp == 16) {
        source.masks = {0x7C00u, 0x03E0u, 0x001Fu};
      } else {
        source.masks = {0xFF0000u, 0x00FF00u, 0x0000FFu};
      }
      return true;
    case 24: return !bitfields;
    default: return false;
  }
}

std::uint32_t ReadPixel(const Source& source, const std::uint8_t* row, std::int64_t x) {
  switch (source.bpp) {
    case 1: return source.palette[(row[x >> 3] >> (7 - (x & 7))) & 1u];
    case 4: return source.palette[(row[x >> 1] >> ((x & 1) != 0 ? 0 : 4)) & 0xFu];
    case 8: return source.palette[row[x]];
    case 16:
    case 32: {
      const std::uint8_t* p = row + x * (source.bpp / 8);
      std::uint32_t pixel = source.bpp == 16 ? static_cast<std::uint32_t>(p[0] | p[1] << 8) : ReadLe32(p);
      return Channel(pixel, source.masks[0]) << 16 | Channel(pixel, source.masks[1]) << 8 |
             Channel(pixel, source.masks[2]);
    }
    default: {  // 24
      const std::uint8_t* p = row + x * 3;
      return std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
    }
  }
}

// Destination index k (0 <= k < count) maps to source offset floor(k * sourceCount / count).
std::int64_t SourceOffset(std::int64_t k, std::int64_t sourceCount, std::int64_t count) {
  return static_cast<std::int64_t>(static_cast<__int128>(k) * sourceCount / count);
}

// How many k in [0, count) map to a source offset in [low, high): an interval, as the map is
// monotonic, found from floor(k * n / count) >= low  <=>  k >= ceil(low * count / n).
std::int64_t CountMapped(std::int64_t sourceCount, std::int64_t count, std::int64_t low, std::int64_t high) {
  auto firstReaching = [&](std::int64_t offset) {
    __int128 scaled = static_cast<__int128>(offset) * count;
    __int128 k = scaled >= 0 ? (scaled + sourceCount - 1) / sourceCount : scaled / sourceCount;
    return static_cast<std::int64_t>(std::clamp<__int128>(k, 0, count));
  };
  return std::max<std::int64_t>(0, firstReaching(high) - firstReaching(low));
}

struct Axis {
  std::int64_t destStart;    // first destination pixel
  std::int64_t destCount;    // destination pixels
  std::int64_t sourceStart;  // first source pixel, counted from the DIB's left or top edge
  std::int64_t sourceCount;
  bool mirrored;
};

Axis MakeAxis(int dest, int destExtent, std::int64_t sourceStart, int sourceExtent) {
  Axis axis{};
  axis.destStart = destExtent < 0 ? std::int64_t{dest} + destExtent : dest;
  axis.destCount = destExtent < 0 ? -std::int64_t{destExtent} : destExtent;
  axis.sourceStart = sourceStart;
  axis.sourceCount = sourceExtent < 0 ? -std::int64_t{sourceExtent} : sourceExtent;
  axis.mirrored = (destExtent < 0) != (sourceExtent < 0);
  return axis;
}

// Source pixel for destination pixel `d`, relative to the DIB edge the axis counts from.
std::int64_t SourceAt(const Axis& axis, std::int64_t d) {
  std::int64_t k = d - axis.destStart;
  if (axis.mirrored) k = axis.destCount - 1 - k;
  return axis.sourceStart + SourceOffset(k, axis.sourceCount, axis.destCount);
}

int Paint(const Source& source, const Axis& xs, const Axis& ys, const Surface& surface) {
  const std::int64_t x0 = std::max<std::int64_t>(xs.destStart, 0);
  const std::int64_t x1 = std::min<std::int64_t>(xs.destStart + xs.destCount, surface.width);
  const std::int64_t y0 = std::max<std::int64_t>(ys.destStart, 0);
  const std::int64_t y1 = std::min<std::int64_t>(ys.destStart + ys.destCount, surface.height);
  for (std::int64_t y = y0; y < y1; ++y) {
    const std::int64_t sourceRow = SourceAt(ys, y);  // from the top
    if (sourceRow < 0 || sourceRow >= source.height) continue;
    const std::int64_t memoryRow = source.bottomUp ? source.height - 1 - sourceRow : sourceRow;
    const std::uint8_t* row = source.bits + static_cast<std::size_t>(memoryRow) * source.stride;
    std::uint32_t* out = surface.pixels + y * surface.width;
    for (std::int64_t x = x0; x < x1; ++x) {
      const std::int64_t sourceColumn = SourceAt(xs, x);
      if (sourceColumn >= 0 && sourceColumn < source.width) out[x] = ReadPixel(source, row, sourceColumn);
    }
  }
  std::int64_t rows = CountMapped(ys.sourceCount, ys.destCount, -ys.sourceStart, source.height - ys.sourceStart);
  return static_cast<int>(std::min<std::int64_t>(rows, INT_MAX));
}

}  // namespace
}  // namespace ormi::win32emu

using namespace ormi::win32emu;

extern "C" int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                             int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                             DWORD rop) {
  if (bits == nullptr || info == nullptr || usage != DIB_RGB_COLORS || rop != SRCCOPY) return 0;
  if (destWidth == 0 || destHeight == 0 || srcWidth == 0 || srcHeight == 0) return 0;
  Source source{};
  if (!ReadSource(bits, info, source)) return 0;

  // The source rectangle in top-down rows: a bottom-up DIB counts ySrc from its bottom row.
  const std::int64_t srcLeft = srcWidth < 0 ? std::int64_t{xSrc} + srcWidth : xSrc;
  const std::int64_t srcLow = srcHeight < 0 ? std::int64_t{ySrc} + srcHeight : ySrc;
  const std::int64_t srcRows = srcHeight < 0 ? -std::int64_t{srcHeight} : srcHeight;
  const std::int64_t srcTop = source.bottomUp ? source.height - srcLow - srcRows : srcLow;

  const Axis xs = MakeAxis(xDest, destWidth, srcLeft, srcWidth);
  const Axis ys = MakeAxis(yDest, destHeight, srcTop, srcHeight);
  return PaintMemoryDC(dc, [&](const Surface& surface) { return Paint(source, xs, ys, surface); });
}
