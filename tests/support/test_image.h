// Builders for test bitmaps and images, and the accounting that every export test checks.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>
#include <ormi/effects.h>
#include <ormi/win32emu_testing.h>

namespace ormi::test {

struct BitmapSpec {
  int depth = 32;
  int width = 1;
  int height = 1;  // negative: top-down
  uint32_t compression = BI_RGB;
  uint32_t clrUsed = 0;
  std::vector<uint32_t> palette;    // RGBQUAD values; padded with zeros to the colour count
  std::array<uint32_t, 3> masks{};  // red, green, blue, for BI_BITFIELDS
  size_t extraBytes = 0;            // block bytes beyond the last row
  long sizeOverride = -1;           // block size to use instead (>= 0)
};

size_t BitsOffsetOf(const BitmapSpec& bitmapSpec);
size_t StrideOf(int width, int depth);

// A GHND packed bitmap with zero pixels, laid out as the bitmapSpec says.
HGLOBAL MakeBitmap(const BitmapSpec& bitmapSpec);

// Pixel values at any depth: index bits at 1/4/8, the 16-bit word, 0xRRGGBB at 24, the 32-bit value.
uint32_t ReadPixel(HGLOBAL bitmap, int x, int row);
void WritePixel(HGLOBAL bitmap, int x, int row, uint32_t value);

// The info header at the start of a bitmap block (zeros where the block is shorter).
BITMAPINFOHEADER HeaderOf(HGLOBAL bitmap);

// Every byte of a global block.
std::vector<uint8_t> BlockBytes(HGLOBAL block);
void SetBlockBytes(HGLOBAL block, const std::vector<uint8_t>& bytes);

int LockCount(HGLOBAL handle);

// A record for a bitmap, with its header copy, whatever the bitmap's header says.
HGLOBAL MakeImage(HGLOBAL bitmap);

// An image handle as a host makes it, freed with everything it owns at the end of the scope.
class TestImage {
 public:
  explicit TestImage(const BitmapSpec& bitmapSpec);
  // rows in stored order (row 0 first), one value per pixel as ReadPixel gives it
  TestImage(const BitmapSpec& bitmapSpec, const std::vector<std::vector<uint32_t>>& rows);
  explicit TestImage(HGLOBAL adoptedImage);
  TestImage(const TestImage&) = delete;
  TestImage& operator=(const TestImage&) = delete;
  ~TestImage();

  HGLOBAL handle() const { return image_; }
  HGLOBAL bitmap() const;
  uint32_t pixel(int x, int row) const { return ReadPixel(bitmap(), x, row); }
  void setPixel(int x, int row, uint32_t value) { WritePixel(bitmap(), x, row, value); }
  std::vector<uint8_t> bytes() const { return BlockBytes(bitmap()); }
  std::vector<uint8_t> headerCopyBytes() const;
  BITMAPINFOHEADER header() const;

  // The record, read and changed under a lock that is released at once.
  ImageRecord record() const;
  template <class Change>
  void edit(Change change) {
    auto* r = static_cast<ImageRecord*>(GlobalLock(image_));
    change(*r);
    GlobalUnlock(image_);
  }
  void setColorKey(uint32_t colorref);
  void setAlphaTransparency(uint32_t colorref = 0);

 private:
  HGLOBAL image_ = nullptr;
};

// Lock counts of an image's record, bitmap and header copy, to compare before and after a call.
struct LockState {
  int record, bitmap, header;
  bool operator==(const LockState&) const = default;
};
LockState LockStateOf(const TestImage& image);

// Base fixture: no block may be left live and no injected failure may linger after a test.
class MemoryCheckedTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  size_t liveBlocks_ = 0;
  size_t liveHeapBlocks_ = 0;
};

}  // namespace ormi::test
