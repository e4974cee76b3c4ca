// Plain bitmap handles for the fill tests: built from rows of values, freed at the end of scope.
#pragma once

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
      for (size_t x = 0; x < rows[r].size(); ++x)
        WritePixel(handle_, static_cast<int>(x), static_cast<int>(r), rows[r][x]);
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
    const std::vector<uint8_t> bytes = BlockBytes(handle_);
    BITMAPINFOHEADER h;
    std::memcpy(&h, bytes.data(), sizeof h);
    return h;
  }

 private:
  HGLOBAL handle_;
};

// A 1-bit mask of the given size with every bit set to `bit`.
inline OwnedBitmap UniformMask(int width, int height, uint32_t bit) {
  std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height < 0 ? -height : height),
                                          std::vector<uint32_t>(static_cast<size_t>(width), bit));
  return OwnedBitmap({.depth = 1, .width = width, .height = height}, rows);
}

}  // namespace ormi::test
