#include "host/bmp_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "host/bitmap_convert.h"
#include "image/dib.h"

namespace ormi::host {
namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kCoreHeaderBytes = 12;  // OS/2 BITMAPCOREHEADER
constexpr size_t kV5HeaderBytes = 124;
constexpr uint32_t kRle8 = 1, kRle4 = 2;

uint16_t Le16(const uint8_t* p) { return LoadPixel<uint16_t>(p); }
uint32_t Le32(const uint8_t* p) { return LoadPixel<uint32_t>(p); }

BitmapResult Fail(std::string reason) { return {nullptr, std::move(reason)}; }

bool SupportedDepth(unsigned depth) {
  return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

struct GlobalFreer {
  void operator()(void* h) const { GlobalFree(h); }
};

// Expands RLE8 or RLE4 data into zero-filled bottom-up rows of the same depth. Pixels that a delta
// or an early end of line skips stay index 0. Writers encode whole padded rows, so a run may reach
// into the row's padding (those pixels are dropped); a run past the padding, a delta past the
// picture and data that ends before the end-of-bitmap code are refused.
bool ExpandRle(const uint8_t* p, size_t n, unsigned depth, uint64_t width, uint64_t rows, uint8_t* bits, size_t stride,
               std::string& error) {
  uint64_t x = 0, y = 0;
  const uint64_t capacity = stride * 8 / depth;  // pixels a padded row holds
  auto put = [&](uint32_t value) {
    uint8_t* row = bits + y * stride;
    if (x >= width) {
      // padding: dropped
    } else if (depth == 8) {
      row[x] = static_cast<uint8_t>(value);
    } else {
      uint8_t& pair = row[x / 2];
      pair = static_cast<uint8_t>(x % 2 ? (pair & 0xF0) | value : (pair & 0x0F) | value << 4);
    }
    ++x;
  };
  auto fits = [&](uint64_t count) { return y < rows && x <= capacity && count <= capacity - x; };
  auto refuse = [&](const char* why) {
    error = why;
    return false;
  };
  size_t i = 0;
  for (;;) {
    if (n - i < 2) break;
    const uint32_t count = p[i], value = p[i + 1];
    i += 2;
    if (count > 0) {  // a run of one index (RLE8) or of two alternating indices (RLE4)
      if (!fits(count)) return refuse("RLE run outside the picture");
      for (uint32_t k = 0; k < count; ++k) put(depth == 8 ? value : (k % 2 ? value & 15 : value >> 4));
    } else if (value == 0) {  // end of line
      if (++y > rows) return refuse("RLE rows beyond the picture");
      x = 0;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta: move right and up
      if (n - i < 2) break;
      x += p[i], y += p[i + 1];
      i += 2;
      if (x > width || y > rows) return refuse("RLE delta outside the picture");
    } else {  // `value` literal indices, padded to a 16-bit boundary
      const size_t bytes = depth == 8 ? value : (value + 1) / 2;
      if (!fits(value)) return refuse("RLE run outside the picture");
      if (n - i < bytes) break;
      for (uint32_t k = 0; k < value; ++k) put(depth == 8 ? p[i + k] : (k % 2 ? p[i + k / 2] & 15 : p[i + k / 2] >> 4));
      i += std::min(n - i, (bytes + 1) & ~size_t{1});
    }
  }
  return refuse("truncated RLE data");
}

bool PlainMasks(uint32_t r, uint32_t g, uint32_t b) { return r == 0x00FF0000u && g == 0x0000FF00u && b == 0x000000FFu; }

}  // namespace

BitmapResult DecodeBmp(const uint8_t* data, size_t size, uint64_t maxPixels) {
  if (size < kFileHeaderBytes + kCoreHeaderBytes || data[0] != 'B' || data[1] != 'M') return Fail("not a BMP file");
  const uint32_t pixelOffset = Le32(data + 10);
  const uint32_t infoSize = Le32(data + 14);
  const bool core = infoSize == kCoreHeaderBytes;
  if ((!core && infoSize < kInfoHeaderBytes) || infoSize > size - kFileHeaderBytes) {
    return Fail("unsupported BMP header");
  }
  BITMAPINFOHEADER info{};
  if (core) {
    info.biWidth = Le16(data + 18);
    info.biHeight = Le16(data + 20);
    info.biBitCount = Le16(data + 24);
  } else {
    info = ReadInfoHeader(data + kFileHeaderBytes);
  }
  if (!SupportedDepth(info.biBitCount) || (core && info.biBitCount != 24 && info.biBitCount > 8)) {
    return Fail("unsupported bit depth " + std::to_string(info.biBitCount));
  }
  const bool bitfields = info.biCompression == BI_BITFIELDS && (info.biBitCount == 16 || info.biBitCount == 32);
  const bool rle =
      (info.biCompression == kRle8 && info.biBitCount == 8) || (info.biCompression == kRle4 && info.biBitCount == 4);
  if (info.biCompression != BI_RGB && !bitfields && !rle) {
    return Fail("unsupported BMP compression " + std::to_string(info.biCompression));
  }
  if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == INT32_MIN) return Fail("bad picture size");
  const bool topDown = info.biHeight < 0;
  if (rle && topDown) return Fail("top-down RLE file");
  const uint32_t rows = topDown ? static_cast<uint32_t>(-info.biHeight) : static_cast<uint32_t>(info.biHeight);
  if (uint64_t{rows} * static_cast<uint32_t>(info.biWidth) > maxPixels) {
    return Fail("picture too large: " + std::to_string(info.biWidth) + " x " + std::to_string(rows) + " pixels");
  }
  const uint64_t stride = static_cast<uint64_t>(DibStride(info.biWidth, info.biBitCount));
  const uint64_t pixelBytes = stride * rows;

  // In the file the masks of a 40-byte header follow it; longer headers hold them inside.
  const size_t masksAt = kFileHeaderBytes + kInfoHeaderBytes;
  const size_t colorsAt = kFileHeaderBytes + infoSize + (bitfields && infoSize == kInfoHeaderBytes ? 12 : 0);
  if (colorsAt > size) return Fail("truncated BMP file");
  const size_t entryBytes = core ? 3 : 4;
  if (core) {
    // OS/2 files do not count their colours: the table runs to the pixels, at most 2^depth.
    const uint64_t room = pixelOffset > colorsAt ? (pixelOffset - colorsAt) / 3 : 0;
    info.biClrUsed = info.biBitCount <= 8 ? static_cast<DWORD>(std::min<uint64_t>(room, 1u << info.biBitCount)) : 0;
    if (info.biBitCount <= 8 && info.biClrUsed == 0) return Fail("no colour table");
  }
  if ((info.biBitCount <= 8 && info.biClrUsed > (1u << info.biBitCount)) || info.biClrUsed > 256) {
    return Fail("bad colour table size");
  }
  info.biSize = kInfoHeaderBytes;
  info.biHeight = static_cast<LONG>(rows);
  info.biCompression = bitfields ? BI_BITFIELDS : BI_RGB;
  info.biSizeImage = static_cast<DWORD>(pixelBytes);
  const uint64_t colorCount = DibColorCount(info);
  if (colorsAt + entryBytes * colorCount > pixelOffset)
    return Fail("pixel offset points into the headers or colour table");
  if (colorsAt + entryBytes * colorCount > size || (bitfields && masksAt + 12 > size))
    return Fail("truncated BMP file");
  if (pixelOffset > size || (!rle && size - pixelOffset < pixelBytes)) return Fail("truncated BMP file");

  const uint64_t bitsOffset = DibBitsOffset(info);
  std::unique_ptr<void, GlobalFreer> block(GlobalAlloc(GHND, static_cast<size_t>(bitsOffset + pixelBytes)));
  auto* out = static_cast<uint8_t*>(block ? GlobalLock(block.get()) : nullptr);
  if (!out) return Fail("out of memory");
  std::memcpy(out, &info, sizeof info);
  if (core) {
    for (size_t c = 0; c < colorCount; ++c) std::memcpy(out + kInfoHeaderBytes + 4 * c, data + colorsAt + 3 * c, 3);
  } else {
    std::memcpy(out + kInfoHeaderBytes, data + colorsAt, 4 * colorCount);
  }
  if (bitfields) std::memcpy(out + kInfoHeaderBytes + 4 * colorCount, data + masksAt, 12);
  std::string error;
  if (rle) {
    if (!ExpandRle(data + pixelOffset, size - pixelOffset, info.biBitCount, static_cast<uint32_t>(info.biWidth), rows,
                   out + bitsOffset, stride, error)) {
      GlobalUnlock(block.get());
      return Fail(error);
    }
  } else {
    for (uint32_t r = 0; r < rows; ++r) {
      const uint32_t from = topDown ? rows - 1 - r : r;
      std::memcpy(out + bitsOffset + r * stride, data + pixelOffset + from * stride, stride);
    }
  }
  GlobalUnlock(block.get());
  // The library takes every 32-bit pixel as B, G, R, A: other masks, and the masks of the longer
  // headers, are applied here so that the pixels have that order.
  if (bitfields && info.biBitCount == 32 &&
      (infoSize != kInfoHeaderBytes ||
       !PlainMasks(Le32(data + masksAt), Le32(data + masksAt + 4), Le32(data + masksAt + 8)))) {
    HGLOBAL plain = ConvertBitmapDepth(block.get(), 32);
    if (!plain) return Fail("out of memory");
    return {plain, {}};
  }
  return {block.release(), {}};
}

bool EncodeBmp(HGLOBAL bitmap, std::vector<uint8_t>& file, std::string& error, bool withAlpha) {
  auto* data = static_cast<uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  if (!data) {
    error = "no bitmap";
    return false;
  }
  const std::optional<DibView> view = ViewDib(DibBlock{data, GlobalSize(bitmap)});
  const bool bitfields = view && view->maskBytes == 12;
  if (!view || !SupportedDepth(view->bitCount) || (view->compression != BI_RGB && !bitfields)) {
    GlobalUnlock(bitmap);
    error = "malformed bitmap";
    return false;
  }
  const bool v5 = withAlpha && view->bitCount == 32;
  const size_t infoBytes = v5 ? kV5HeaderBytes : kInfoHeaderBytes;
  const size_t colorBytes = 4 * view->colorCount;
  const size_t maskBytes = v5 ? 0 : view->maskBytes;  // a 124-byte header holds its masks
  const size_t pixelBytes = view->stride * view->rows;
  const size_t bitsAt = kFileHeaderBytes + infoBytes + maskBytes + colorBytes;
  file.assign(bitsAt + pixelBytes, 0);
  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = 0x4D42;
  fileHeader.bfSize = static_cast<DWORD>(file.size());
  fileHeader.bfOffBits = static_cast<DWORD>(bitsAt);
  std::memcpy(file.data(), &fileHeader, kFileHeaderBytes);
  BITMAPINFOHEADER info = ReadInfoHeader(data);
  info.biSize = static_cast<DWORD>(infoBytes);
  info.biSizeImage = static_cast<DWORD>(pixelBytes);
  uint8_t* header = file.data() + kFileHeaderBytes;
  uint32_t masks[3] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
  if (bitfields) std::memcpy(masks, view->bits() - 12, 12);
  if (v5) {
    info.biCompression = BI_BITFIELDS;
    const uint32_t alphaMask = ~(masks[0] | masks[1] | masks[2]);
    std::memcpy(header + 40, masks, 12);
    StorePixel<uint32_t>(header + 52, alphaMask);
    StorePixel<uint32_t>(header + 56, 0x73524742u);  // colour space "sRGB"
    StorePixel<uint32_t>(header + 108, 4);           // rendering intent: pictures
  } else if (bitfields) {
    std::memcpy(header + infoBytes, masks, 12);
  }
  std::memcpy(header, &info, sizeof info);
  std::memcpy(header + infoBytes + maskBytes, view->colorTable(), colorBytes);
  std::memcpy(file.data() + bitsAt, view->bits(), pixelBytes);
  GlobalUnlock(bitmap);
  return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  bytes.clear();
  uint8_t chunk[1 << 16];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  if (std::ferror(file.get())) {
    error = "read error";
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() || std::fflush(file.get()) != 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

BitmapResult ReadBmpFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) return Fail(error);
  return DecodeBmp(bytes.data(), bytes.size());
}

bool WriteBmpFile(const std::string& path, HGLOBAL bitmap, std::string& error) {
  std::vector<uint8_t> bytes;
  return EncodeBmp(bitmap, bytes, error) && WriteWholeFile(path, bytes, error);
}

}  // namespace ormi::host
