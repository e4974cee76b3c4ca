// Plain bitmap handles for the fill tests: built from rows of values, freed at the end of scope.
#pragma once

#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/test_image.h"

namespace ormi::test {

class OwnedBitmap {
 public:
  explicit OwnedBitmap(HGLOBAL handle) : handle_(handle) {}
  OwnedBitmap(const BitmapSpec& bitmapSpec, const std::vector<std::vector<uint32_t>>& rows = {})
      : handle_(MakeBitmap(bitmapSpec)) {
    for (size_t r = 0; r < rows.size(); ++r) {
      for (size_t x = 0; x < rows[r].size(); ++x) WritePixel(handle_, int(x), int(r), rows[r][x]);
    }
  }
  OwnedBitmap(const OwnedBitmap&) = delete;
  OwnedBitmap& operator=(const OwnedBitmap&) = delete;
  ~OwnedBitmap() {
    if (handle_) GlobalFree(handle_);
  }
  HGLOBAL handle() const { return handle_; }
  uint32_t pixel(int x, int row) const { return ReadPixel(handle_, x, row); }
  BITMAPINFOHEADER header() const {
    BITMAPINFOHEADER h;
    std::memcpy(&h, BlockBytes(handle_).data(), sizeof h);
    return h;
  }

 private:
  HGLOBAL handle_;
};

// A 1-bit mask of the given size with every bit set to `bit`.
inline OwnedBitmap UniformMask(int width, int height, uint32_t bit) {
  return OwnedBitmap(
      {.depth = 1, .width = width, .height = height},
      std::vector<std::vector<uint32_t>>(size_t(std::abs(height)), std::vector<uint32_t>(size_t(width), bit)));
}

}  // namespace ormi::test
