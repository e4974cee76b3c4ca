#include "sample.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace ormi::fx {
namespace {

uint32_t Rgb(int r, int g, int b) {
  auto clamp = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  return 0xFF000000u | clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

// x from the left, y from the top of the picture.
uint32_t SamplePixel(int x, int y, int width, int height) {
  const double fx = static_cast<double>(x) / width, fy = static_cast<double>(y) / height;
  const double sunDx = fx - 0.72, sunDy = fy - 0.28;
  if (sunDx * sunDx + sunDy * sunDy < 0.012) return Rgb(255, 214, 64);
  const double hill = 0.62 + 0.08 * std::sin(fx * 9.0) + 0.04 * std::sin(fx * 23.0);
  if (fy > hill) {
    const bool stripe = ((x / 6 + y / 6) % 2) == 0;
    return Rgb(40 + static_cast<int>(60 * fy), 120 + (stripe ? 30 : 0), 50);
  }
  if (x > width / 8 && x < width / 3 && y > height / 3 && y < height * 2 / 3) {
    const bool check = ((x / 4) + (y / 4)) % 2 == 0;
    return check ? Rgb(230, 40, 40) : Rgb(250, 250, 250);
  }
  return Rgb(60 + static_cast<int>(120 * fy), 110 + static_cast<int>(100 * fy), 230 - static_cast<int>(40 * fy));
}

}  // namespace

HGLOBAL MakeSampleBitmap(int width, int height) {
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  HGLOBAL bitmap = GlobalAlloc(GHND, 40 + rowBytes * static_cast<size_t>(height));
  auto* data = static_cast<uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  if (!data) return bitmap ? GlobalFree(bitmap) : nullptr;
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biSizeImage = static_cast<DWORD>(rowBytes * static_cast<size_t>(height));
  std::memcpy(data, &header, sizeof header);
  for (int r = 0; r < height; ++r) {
    uint8_t* row = data + 40 + rowBytes * static_cast<size_t>(r);
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = SamplePixel(x, height - 1 - r, width, height);  // rows are stored bottom-up
      std::memcpy(row + 4 * x, &pixel, 4);
    }
  }
  GlobalUnlock(bitmap);
  return bitmap;
}

}  // namespace ormi::fx
