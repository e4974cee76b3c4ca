#include "support/test_image.h"

#include <algorithm>
#include <cstring>

#include "host/image_handle.h"

namespace ormi::test {
namespace {

size_t ColorCountOf(const BitmapSpec& layout) {
  if (layout.clrUsed) return layout.clrUsed;
  return layout.depth <= 8 ? size_t{1} << layout.depth : 0;
}

size_t BitsOffsetOfHeader(const BITMAPINFOHEADER& h) {
  return BitsOffsetOf({.depth = h.biBitCount, .compression = h.biCompression, .clrUsed = h.biClrUsed});
}

// The locked pixel row `row` (stored order) of a bitmap, and its depth; unlock with GlobalUnlock.
uint8_t* LockRow(HGLOBAL bitmap, int row, int& depth) {
  const BITMAPINFOHEADER h = HeaderOf(bitmap);
  depth = h.biBitCount;
  return static_cast<uint8_t*>(GlobalLock(bitmap)) + BitsOffsetOfHeader(h) +
         StrideOf(h.biWidth, depth) * static_cast<size_t>(row);
}

}  // namespace

size_t BitsOffsetOf(const BitmapSpec& layout) {
  const bool masks = (layout.depth == 16 || layout.depth == 32) && layout.compression == BI_BITFIELDS;
  return 40 + 4 * ColorCountOf(layout) + (masks ? 12 : 0);
}

BITMAPINFOHEADER HeaderOf(HGLOBAL bitmap) {
  BITMAPINFOHEADER header{};
  if (GlobalSize(bitmap) == 0) return header;
  std::memcpy(&header, GlobalLock(bitmap), std::min<size_t>(sizeof header, GlobalSize(bitmap)));
  GlobalUnlock(bitmap);
  return header;
}

size_t StrideOf(int width, int depth) { return ((static_cast<size_t>(width) * depth + 31) & ~size_t{31}) / 8; }

HGLOBAL MakeBitmap(const BitmapSpec& layout) {
  const size_t rows = static_cast<size_t>(layout.height < 0 ? -layout.height : layout.height);
  const size_t size = layout.sizeOverride >= 0
                          ? static_cast<size_t>(layout.sizeOverride)
                          : BitsOffsetOf(layout) + StrideOf(layout.width, layout.depth) * rows + layout.extraBytes;
  // Only the tables that fit in the block are laid out; a header may claim far more.
  std::vector<uint8_t> full(std::max<size_t>(40, BitsOffsetOf(layout)), 0);
  BITMAPINFOHEADER header{.biSize = 40, .biWidth = layout.width, .biHeight = layout.height, .biPlanes = 1};
  header.biBitCount = static_cast<WORD>(layout.depth), header.biCompression = layout.compression;
  header.biClrUsed = layout.clrUsed;
  std::memcpy(full.data(), &header, sizeof header);
  const size_t colors = ColorCountOf(layout);
  if (!layout.palette.empty())
    std::memcpy(full.data() + 40, layout.palette.data(), 4 * std::min(layout.palette.size(), colors));
  if (BitsOffsetOf(layout) == 40 + 4 * colors + 12) std::memcpy(full.data() + 40 + 4 * colors, layout.masks.data(), 12);
  HGLOBAL bitmap = GlobalAlloc(GHND, size);
  std::memcpy(GlobalLock(bitmap), full.data(), std::min(size, full.size()));
  GlobalUnlock(bitmap);
  return bitmap;
}

uint32_t ReadPixel(HGLOBAL bitmap, int x, int row) {
  int depth = 0;
  const uint8_t* at = LockRow(bitmap, row, depth);
  uint32_t value = 0;
  if (depth < 8) {
    value = (at[x * depth / 8] >> (8 - depth - x * depth % 8)) & ((1u << depth) - 1);
  } else {
    std::memcpy(&value, at + depth / 8 * x, depth / 8u);
  }
  GlobalUnlock(bitmap);
  return value;
}

void WritePixel(HGLOBAL bitmap, int x, int row, uint32_t value) {
  int depth = 0;
  uint8_t* at = LockRow(bitmap, row, depth);
  if (depth < 8) {
    const int shift = 8 - depth - x * depth % 8;
    const unsigned mask = ((1u << depth) - 1) << shift;
    at[x * depth / 8] = static_cast<uint8_t>((at[x * depth / 8] & ~mask) | ((value << shift) & mask));
  } else {
    std::memcpy(at + depth / 8 * x, &value, depth / 8u);
  }
  GlobalUnlock(bitmap);
}

std::vector<uint8_t> BlockBytes(HGLOBAL block) {
  auto* data = static_cast<uint8_t*>(GlobalLock(block));
  std::vector<uint8_t> bytes(data, data + GlobalSize(block));
  GlobalUnlock(block);
  return bytes;
}

void SetBlockBytes(HGLOBAL block, const std::vector<uint8_t>& bytes) {
  std::memcpy(GlobalLock(block), bytes.data(), std::min<size_t>(bytes.size(), GlobalSize(block)));
  GlobalUnlock(block);
}

int LockCount(HGLOBAL handle) { return static_cast<int>(GlobalFlags(handle) & GMEM_LOCKCOUNT); }

HGLOBAL MakeImage(HGLOBAL bitmap) {
  // Built here rather than by the host's wrapper so that malformed bitmaps get records too.
  const BITMAPINFOHEADER info = HeaderOf(bitmap);
  const size_t copyBytes = std::min<size_t>(GlobalSize(bitmap), BitsOffsetOfHeader(info));
  HGLOBAL headerBlock = GlobalAlloc(GHND, std::max<size_t>(copyBytes, 40));
  auto* header = static_cast<uint8_t*>(GlobalLock(headerBlock));
  std::memcpy(header, BlockBytes(bitmap).data(), copyBytes);

  HGLOBAL image = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, sizeof(ImageRecord));
  auto* r = static_cast<ImageRecord*>(GlobalLock(image));
  std::memcpy(r->magic, ORMI_RECORD_MAGIC, 4);
  r->header = OrmiFieldFromPointer(header);
  r->flags = 16;
  r->width = r->baseWidth = info.biWidth;
  r->height = r->baseHeight = info.biHeight < 0 ? -info.biHeight : info.biHeight;
  r->host32 = 0xFFFFFFFF;
  r->bitmap = OrmiFieldFromHandle(bitmap);
  r->rasterOp = SRCCOPY;
  r->host84 = r->host92 = 1;
  r->transparency = ORMI_NO_TRANSPARENCY;
  GlobalUnlock(image);
  return image;
}

TestImage::TestImage(const BitmapSpec& layout) : image_(MakeImage(MakeBitmap(layout))) {}

// The header copy was taken before the pixels; it holds no pixel so it still matches.
TestImage::TestImage(const BitmapSpec& layout, const std::vector<std::vector<uint32_t>>& rows) : TestImage(layout) {
  for (size_t r = 0; r < rows.size(); ++r)
    for (size_t x = 0; x < rows[r].size(); ++x) setPixel(static_cast<int>(x), static_cast<int>(r), rows[r][x]);
}

TestImage::TestImage(HGLOBAL adoptedImage) : image_(adoptedImage) {}

TestImage::~TestImage() { host::FreeImageHandle(image_); }

HGLOBAL TestImage::bitmap() const { return host::BitmapOfImage(image_); }

ImageRecord TestImage::record() const {
  ImageRecord r;
  std::memcpy(&r, GlobalLock(image_), sizeof r);
  GlobalUnlock(image_);
  return r;
}

std::vector<uint8_t> TestImage::headerCopyBytes() const {
  const auto* header = static_cast<const uint8_t*>(OrmiPointerFromField(record().header));
  return std::vector<uint8_t>(header, header + GlobalSize(GlobalHandle(header)));
}

BITMAPINFOHEADER TestImage::header() const { return HeaderOf(bitmap()); }

void TestImage::setColorKey(uint32_t colorref) { host::SetColorKey(image_, colorref); }

void TestImage::setAlphaTransparency(uint32_t colorref) {
  edit([&](ImageRecord& r) { r.transparency = 1, r.transparentColor = colorref | ORMI_ALPHA_TRANSPARENCY; });
}

LockState LockStateOf(const TestImage& image) {
  return {LockCount(image.handle()), LockCount(image.bitmap()),
          LockCount(GlobalHandle(OrmiPointerFromField(image.record().header)))};
}

void MemoryCheckedTest::SetUp() { liveBlocks_ = Win32EmuLiveBlocks(), liveHeapBlocks_ = Win32EmuLiveHeapBlocks(); }

void MemoryCheckedTest::TearDown() {
  Win32EmuFailNextAlloc(0);
  Win32EmuFailNextLock(0);
  Win32EmuFailNextHeapAlloc(0);
  EXPECT_EQ(Win32EmuLiveBlocks(), liveBlocks_) << "a test or the library left a block allocated";
  EXPECT_EQ(Win32EmuLiveHeapBlocks(), liveHeapBlocks_) << "a heap block was left allocated";
}

}  // namespace ormi::test
