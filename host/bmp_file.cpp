#include "host/bmp_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "image/dib.h"

namespace ormi::host {
namespace {

constexpr size_t kFileHeaderBytes = 14;
// Pictures larger than this are refused rather than allocated.
constexpr uint64_t kMaxPixelBytes = uint64_t{1} << 30;

uint32_t Le32(const uint8_t* p) { return LoadPixel<uint32_t>(p); }

BitmapResult Fail(std::string reason) { return {nullptr, std::move(reason)}; }

bool SupportedDepth(unsigned depth) {
  return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

struct GlobalFreer {
  void operator()(void* h) const { GlobalFree(h); }
};

}  // namespace

BitmapResult DecodeBmp(const uint8_t* data, size_t size) {
  if (size < kFileHeaderBytes + kInfoHeaderBytes || data[0] != 'B' || data[1] != 'M') {
    return Fail("not a BMP file");
  }
  const uint32_t pixelOffset = Le32(data + 10);
  const uint32_t infoSize = Le32(data + 14);
  if (infoSize < kInfoHeaderBytes || infoSize > size - kFileHeaderBytes) return Fail("unsupported BMP header");
  BITMAPINFOHEADER info = ReadInfoHeader(data + kFileHeaderBytes);
  if (!SupportedDepth(info.biBitCount)) return Fail("unsupported bit depth " + std::to_string(info.biBitCount));
  const bool bitfields = info.biCompression == BI_BITFIELDS && (info.biBitCount == 16 || info.biBitCount == 32);
  if (info.biCompression != BI_RGB && !bitfields) return Fail("compressed BMP files are not supported");
  if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == INT32_MIN) return Fail("bad picture size");
  if (info.biBitCount <= 8 && info.biClrUsed > (1u << info.biBitCount)) return Fail("bad colour table size");
  if (info.biClrUsed > 256) return Fail("bad colour table size");

  const bool topDown = info.biHeight < 0;
  const uint32_t rows = topDown ? static_cast<uint32_t>(-info.biHeight) : static_cast<uint32_t>(info.biHeight);
  const uint64_t stride = static_cast<uint64_t>(DibStride(info.biWidth, info.biBitCount));
  const uint64_t pixelBytes = stride * rows;
  if (pixelBytes > kMaxPixelBytes) return Fail("picture too large");

  // In the file the masks of a 40-byte header follow it; longer headers hold them inside.
  const size_t masksAt = kFileHeaderBytes + kInfoHeaderBytes;
  const size_t colorsAt = kFileHeaderBytes + infoSize + (bitfields && infoSize == kInfoHeaderBytes ? 12 : 0);
  info.biSize = kInfoHeaderBytes;
  info.biHeight = static_cast<LONG>(rows);
  info.biSizeImage = static_cast<DWORD>(pixelBytes);
  const uint64_t colorBytes = 4 * DibColorCount(info);
  if (colorsAt + colorBytes > size || (bitfields && masksAt + 12 > size)) return Fail("truncated BMP file");
  if (pixelOffset > size || size - pixelOffset < pixelBytes) return Fail("truncated BMP file");

  const uint64_t bitsOffset = DibBitsOffset(info);
  std::unique_ptr<void, GlobalFreer> block(GlobalAlloc(GHND, static_cast<size_t>(bitsOffset + pixelBytes)));
  auto* out = static_cast<uint8_t*>(block ? GlobalLock(block.get()) : nullptr);
  if (!out) return Fail("out of memory");
  std::memcpy(out, &info, sizeof info);
  std::memcpy(out + kInfoHeaderBytes, data + colorsAt, colorBytes);
  if (bitfields) std::memcpy(out + kInfoHeaderBytes + colorBytes, data + masksAt, 12);
  for (uint32_t r = 0; r < rows; ++r) {
    const uint32_t from = topDown ? rows - 1 - r : r;
    std::memcpy(out + bitsOffset + r * stride, data + pixelOffset + from * stride, stride);
  }
  GlobalUnlock(block.get());
  return {block.release(), {}};
}

bool EncodeBmp(HGLOBAL bitmap, std::vector<uint8_t>& file, std::string& error) {
  auto* data = static_cast<uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  if (!data) {
    error = "no bitmap";
    return false;
  }
  const std::optional<DibView> view = ViewDib(DibBlock{data, GlobalSize(bitmap)});
  if (!view || !SupportedDepth(view->bitCount)) {
    GlobalUnlock(bitmap);
    error = "malformed bitmap";
    return false;
  }
  const size_t pixelBytes = view->stride * view->rows;
  const size_t packedBytes = view->bitsOffset + pixelBytes;
  file.assign(kFileHeaderBytes + packedBytes, 0);
  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = 0x4D42;
  fileHeader.bfSize = static_cast<DWORD>(file.size());
  fileHeader.bfOffBits = static_cast<DWORD>(kFileHeaderBytes + view->bitsOffset);
  std::memcpy(file.data(), &fileHeader, kFileHeaderBytes);
  std::memcpy(file.data() + kFileHeaderBytes, data, packedBytes);
  BITMAPINFOHEADER info = ReadInfoHeader(data);
  info.biSize = kInfoHeaderBytes;
  info.biSizeImage = static_cast<DWORD>(pixelBytes);
  std::memcpy(file.data() + kFileHeaderBytes, &info, sizeof info);
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
