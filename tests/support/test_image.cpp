#include "support/test_image.h"

#include <cstring>

#include "host/image_handle.h"

namespace ormi::test {

size_t ColorCountOf(const BitmapSpec& bitmapSpec) {
  if (bitmapSpec.clrUsed) return bitmapSpec.clrUsed;
  return bitmapSpec.depth <= 8 ? size_t{1} << bitmapSpec.depth : 0;
}

size_t BitsOffsetOf(const BitmapSpec& bitmapSpec) {
  const bool masks = (bitmapSpec.depth == 16 || bitmapSpec.depth == 32) && bitmapSpec.compression == BI_BITFIELDS;
  return 40 + 4 * ColorCountOf(bitmapSpec) + (masks ? 12 : 0);
}

size_t StrideOf(int width, int depth) { return ((static_cast<size_t>(width) * depth + 31) & ~size_t{31}) / 8; }

HGLOBAL MakeBitmap(const BitmapSpec& bitmapSpec) {
  const size_t rows = static_cast<size_t>(bitmapSpec.height < 0 ? -bitmapSpec.height : bitmapSpec.height);
  const size_t size =
      bitmapSpec.sizeOverride >= 0
          ? static_cast<size_t>(bitmapSpec.sizeOverride)
          : BitsOffsetOf(bitmapSpec) + StrideOf(bitmapSpec.width, bitmapSpec.depth) * rows + bitmapSpec.extraBytes;
  HGLOBAL bitmap = GlobalAlloc(GHND, size);
  auto* data = static_cast<uint8_t*>(GlobalLock(bitmap));
  // Only the tables that fit in the block are laid out; a header may claim far more.
  std::vector<uint8_t> full(std::max<size_t>(40, std::min(size, BitsOffsetOf(bitmapSpec))), 0);
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = bitmapSpec.width;
  header.biHeight = bitmapSpec.height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bitmapSpec.depth);
  header.biCompression = bitmapSpec.compression;
  header.biClrUsed = bitmapSpec.clrUsed;
  std::memcpy(full.data(), &header, sizeof header);
  for (size_t i = 0; i < bitmapSpec.palette.size() && i < ColorCountOf(bitmapSpec) && 44 + 4 * i <= full.size(); ++i) {
    std::memcpy(full.data() + 40 + 4 * i, &bitmapSpec.palette[i], 4);
  }
  if (BitsOffsetOf(bitmapSpec) == 40 + 4 * ColorCountOf(bitmapSpec) + 12 && BitsOffsetOf(bitmapSpec) <= full.size()) {
    std::memcpy(full.data() + 40 + 4 * ColorCountOf(bitmapSpec), bitmapSpec.masks.data(), 12);
  }
  std::memcpy(data, full.data(), std::min(size, full.size()));
  GlobalUnlock(bitmap);
  return bitmap;
}

namespace {

struct Located {
  uint8_t* data;
  BITMAPINFOHEADER header;
  uint8_t* row;
};

Located Locate(HGLOBAL bitmap, int row) {
  auto* data = static_cast<uint8_t*>(GlobalLock(bitmap));
  Located at{data, {}, nullptr};
  std::memcpy(&at.header, data, sizeof at.header);
  BitmapSpec bitmapSpec;
  bitmapSpec.depth = at.header.biBitCount;
  bitmapSpec.compression = at.header.biCompression;
  bitmapSpec.clrUsed = at.header.biClrUsed;
  at.row = data + BitsOffsetOf(bitmapSpec) + StrideOf(at.header.biWidth, bitmapSpec.depth) * static_cast<size_t>(row);
  return at;
}

}  // namespace

uint32_t ReadPixel(HGLOBAL bitmap, int x, int row) {
  Located at = Locate(bitmap, row);
  uint32_t value = 0;
  switch (at.header.biBitCount) {
    case 1: value = (at.row[x / 8] >> (7 - x % 8)) & 1; break;
    case 4: value = (at.row[x / 2] >> (x % 2 ? 0 : 4)) & 15; break;
    case 8: value = at.row[x]; break;
    case 16: value = static_cast<uint32_t>(at.row[2 * x] | at.row[2 * x + 1] << 8); break;
    case 24: value = static_cast<uint32_t>(at.row[3 * x] | at.row[3 * x + 1] << 8 | at.row[3 * x + 2] << 16); break;
    case 32: std::memcpy(&value, at.row + 4 * x, 4); break;
  }
  GlobalUnlock(bitmap);
  return value;
}

void WritePixel(HGLOBAL bitmap, int x, int row, uint32_t value) {
  Located at = Locate(bitmap, row);
  switch (at.header.biBitCount) {
    case 1: {
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
      at.row[x / 8] = static_cast<uint8_t>(value & 1 ? at.row[x / 8] | bit : at.row[x / 8] & ~bit);
      break;
    }
    case 4: {
      const int shift = x % 2 ? 0 : 4;
      at.row[x / 2] = static_cast<uint8_t>((at.row[x / 2] & ~(15 << shift)) | (value & 15) << shift);
      break;
    }
    case 8: at.row[x] = static_cast<uint8_t>(value); break;
    case 16:
    case 24:
    case 32: std::memcpy(at.row + at.header.biBitCount / 8 * x, &value, at.header.biBitCount / 8u); break;
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
  auto* data = static_cast<uint8_t*>(GlobalLock(block));
  std::memcpy(data, bytes.data(), std::min<size_t>(bytes.size(), GlobalSize(block)));
  GlobalUnlock(block);
}

int LockCount(HGLOBAL handle) { return static_cast<int>(GlobalFlags(handle) & GMEM_LOCKCOUNT); }

HGLOBAL MakeImage(HGLOBAL bitmap) {
  // Built here rather than by the host's wrapper so that malformed bitmaps get records too.
  const std::vector<uint8_t> bits = BlockBytes(bitmap);
  BITMAPINFOHEADER info{};
  std::memcpy(&info, bits.data(), std::min(bits.size(), sizeof info));
  BitmapSpec bitmapSpec{.depth = info.biBitCount, .compression = info.biCompression, .clrUsed = info.biClrUsed};
  const size_t copyBytes = std::min(bits.size(), BitsOffsetOf(bitmapSpec));
  HGLOBAL headerBlock = GlobalAlloc(GHND, std::max<size_t>(copyBytes, 40));
  auto* header = static_cast<uint8_t*>(GlobalLock(headerBlock));
  std::memcpy(header, bits.data(), copyBytes);

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

TestImage::TestImage(const BitmapSpec& bitmapSpec) : image_(MakeImage(MakeBitmap(bitmapSpec))) {}

TestImage::TestImage(const BitmapSpec& bitmapSpec, const std::vector<std::vector<uint32_t>>& rows)
    : TestImage(bitmapSpec) {
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t x = 0; x < rows[r].size(); ++x) setPixel(static_cast<int>(x), static_cast<int>(r), rows[r][x]);
  }
  // The header copy was taken before the pixels; it holds no pixel so it still matches.
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
  const void* header = OrmiPointerFromField(record().header);
  HGLOBAL block = GlobalHandle(header);
  const auto* bytes = static_cast<const uint8_t*>(header);
  return std::vector<uint8_t>(bytes, bytes + GlobalSize(block));
}

BITMAPINFOHEADER TestImage::header() const {
  const std::vector<uint8_t> bytes = this->bytes();
  BITMAPINFOHEADER h;
  std::memcpy(&h, bytes.data(), sizeof h);
  return h;
}

void TestImage::setColorKey(uint32_t colorref) { host::SetColorKey(image_, colorref); }

void TestImage::setAlphaTransparency(uint32_t colorref) {
  edit([&](ImageRecord& r) {
    r.transparency = 1;
    r.transparentColor = colorref | ORMI_ALPHA_TRANSPARENCY;
  });
}

LockState LockStateOf(const TestImage& image) {
  const ImageRecord r = image.record();
  return {LockCount(image.handle()), LockCount(image.bitmap()),
          LockCount(GlobalHandle(OrmiPointerFromField(r.header)))};
}

void MemoryCheckedTest::SetUp() {
  liveBlocks_ = Win32EmuLiveBlocks();
  liveHeapBlocks_ = Win32EmuLiveHeapBlocks();
}

void MemoryCheckedTest::TearDown() {
  Win32EmuFailNextAlloc(0);
  Win32EmuFailNextLock(0);
  Win32EmuFailNextHeapAlloc(0);
  EXPECT_EQ(Win32EmuLiveBlocks(), liveBlocks_) << "a test or the library left a block allocated";
  EXPECT_EQ(Win32EmuLiveHeapBlocks(), liveHeapBlocks_) << "a heap block was left allocated";
}

}  // namespace ormi::test
