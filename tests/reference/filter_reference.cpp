// The plain blur, sharpen, emboss, edge and enhance kernels kept as the reference of the vector rows:
// the scalar kernels walked pixel by pixel over the window ring, and enhance over a full copy.
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "filters/filter_frame.h"
#include "filters/filter_math.h"
#include "filters/window_filter.h"
#include "image/record.h"
#include "reference/reference.h"

namespace ormi::reference {
namespace {

struct BlurKernel {
  uint32_t centreWeight;  // c, as the 32-bit multiplier
  int32_t half;           // d >> 1
  ExactDivisor divisor;

  uint32_t operator()(const Window<3>& w) const {
    return ComposeChannels([&](uint32_t c) {
      const uint32_t corners = w.at(0, 0, c) + w.at(0, 2, c) + w.at(2, 0, c) + w.at(2, 2, c);
      const uint32_t edges = w.at(0, 1, c) + w.at(1, 0, c) + w.at(1, 2, c) + w.at(2, 1, c);
      const uint32_t centre = w.at(1, 1, c);
      const int32_t sum = static_cast<int32_t>(corners + 2 * edges + centreWeight * centre);
      const int32_t q = divisor.divide(WrapAdd(sum, half));
      return q >= 0 && q <= 255 ? static_cast<uint32_t>(q) : centre;
    });
  }
};

BlurKernel MakeBlurKernel(double amount) {
  const int32_t c = TruncToInt32((100.0 - amount) / 2.0 - 13.0);
  const int32_t d = std::max(WrapAdd(c, 12), 1);
  return {static_cast<uint32_t>(c), d >> 1, ExactDivisor(static_cast<uint32_t>(d))};
}

struct SharpenKernel {
  uint32_t centreWeight;  // c, as the 32-bit multiplier
  int32_t half;           // d >> 1
  int32_t top;            // 255 d
  ExactDivisor divisor;

  uint32_t operator()(const Window<3>& w) const {
    return ComposeChannels([&](uint32_t c) {
      const uint32_t corners = w.at(0, 0, c) + w.at(0, 2, c) + w.at(2, 0, c) + w.at(2, 2, c);
      const uint32_t edges = w.at(0, 1, c) + w.at(1, 0, c) + w.at(1, 2, c) + w.at(2, 1, c);
      const int32_t sum = static_cast<int32_t>(centreWeight * w.at(1, 1, c) - corners - 2 * edges);
      if (sum < 0) return 0u;
      if (sum > top) return 255u;
      // Cannot leave 0..255 unless an absurd amount wrapped the sums; the clamp keeps the byte.
      return ClampByte(divisor.divide(WrapAdd(sum, half)));
    });
  }
};

SharpenKernel MakeSharpenKernel(double amount) {
  const int32_t c = TruncToInt32((100.0 - amount) / 2.0 + 13.0);
  const int32_t d = std::max(WrapAdd(c, -12), 1);
  const int32_t top = static_cast<int32_t>(255u * static_cast<uint32_t>(d));
  return {static_cast<uint32_t>(c), d >> 1, top, ExactDivisor(static_cast<uint32_t>(d))};
}

struct EmbossKernel {
  uint32_t operator()(const Window<3>& w) const {
    return ComposeChannels([&](uint32_t c) {
      const int32_t rise = static_cast<int32_t>(2 * w.at(1, 2, c) + 2 * w.at(2, 1, c) + w.at(2, 2, c));
      const int32_t fall = static_cast<int32_t>(w.at(0, 0, c) + 2 * w.at(0, 1, c) + 2 * w.at(1, 0, c));
      return ClampByte(rise - fall);
    });
  }
};

// The export's frame around a kernel: the record's transparency, the bitmap locked.
template <class Kernel>
int FilterImage(HGLOBAL image, const Kernel& kernel) {
  auto* record = static_cast<ImageRecord*>(GlobalLock(image));
  const TransparencyArg transparency = TransparencyArgOf(*record);
  GlobalLockGuard bitmap(BitmapOf(*record));
  const int result =
      bitmap ? Filter3x3(bitmap.block(), SelectPixels(transparency, /*offersAlphaKey=*/true), kernel) : 0;
  GlobalUnlock(image);
  return result;
}

}  // namespace

int BlurImage(HGLOBAL image, double amount) { return FilterImage(image, MakeBlurKernel(amount)); }

int SharpenImage(HGLOBAL image, double amount) { return FilterImage(image, MakeSharpenKernel(amount)); }

int EmbossWindowsImage(HGLOBAL image) { return FilterImage(image, EmbossKernel{}); }

}  // namespace ormi::reference

namespace ormi::reference {
namespace {

// The plain 5x5 enhance on a locked bitmap: a full unfiltered copy, every window visited in order,
// the squares multiplied and the mean divided directly.
int EnhancePixels(DibBlock bitmap, const TransparencyArg& transparency) {
  const std::optional<DibView> view = ViewFilterRows(bitmap, 5);
  if (!view) return 0;
  const PixelSelection selection = SelectPixels(transparency, /*offersAlphaKey=*/false);
  const uint32_t width = static_cast<uint32_t>(view->width), rows = view->rows;
  std::vector<uint32_t> source(size_t{width} * rows);
  for (uint32_t y = 0; y < rows; ++y) std::memcpy(&source[size_t{y} * width], view->row(y), 4 * size_t{width});
  static constexpr int32_t kWeights[5][5] = {
      {5, 8, 10, 8, 5}, {8, 20, 40, 20, 8}, {10, 40, 80, 40, 10}, {8, 20, 40, 20, 8}, {5, 8, 10, 8, 5}};
  auto channel = [](uint32_t pixel, int shift) { return static_cast<int32_t>((pixel >> shift) & 0xFF); };
  for (uint32_t y = 2; y + 2 < rows; ++y) {
    for (uint32_t x = 2; x + 2 < width; ++x) {
      const uint32_t centre = source[size_t{y} * width + x];
      if (selection.mode == Selection::ColorKey && centre == selection.key) continue;
      int32_t sums[3] = {0, 0, 0}, weights = 0;
      for (uint32_t i = 0; i < 5; ++i) {
        for (uint32_t j = 0; j < 5; ++j) {
          const uint32_t n = source[size_t{y + i - 2} * width + (x + j - 2)];
          int32_t distance = 0;
          for (int shift : {0, 8, 16}) {
            const int32_t d = channel(n, shift) - channel(centre, shift);
            distance += d * d;
          }
          if (distance >= 2500) continue;
          for (int c = 0; c < 3; ++c) sums[c] += kWeights[i][j] * channel(n, 8 * c);
          weights += kWeights[i][j];
        }
      }
      uint32_t rgb = 0;
      for (int c = 0; c < 3; ++c)
        rgb |= static_cast<uint32_t>(std::min((sums[c] + (weights >> 1) - 1) / weights, 255)) << (8 * c);
      const uint32_t alpha = selection.mode == Selection::ColorKey ? 0 : centre & 0xFF000000u;
      StorePixel<uint32_t>(view->row(y) + 4 * size_t{x}, rgb | alpha);
    }
  }
  return 1;
}

// Edge's kernel as first written: five double products per channel, each truncated on its own.
struct EdgeKernel {
  double gain;

  uint32_t operator()(const Window<3>& w) const {
    return ComposeChannels([&](uint32_t c) {
      uint32_t sum = static_cast<uint32_t>(TruncToInt32(w.at(1, 1, c) * gain));
      for (uint32_t i : {0u, 2u}) {
        for (uint32_t j : {0u, 2u}) sum += static_cast<uint32_t>(TruncToInt32((-gain / 4.0) * w.at(i, j, c)));
      }
      return ClampByte(static_cast<int32_t>(sum));
    });
  }
};

template <class Pixels>
int WithImage(HGLOBAL image, Pixels&& pixels) {
  auto* record = static_cast<ImageRecord*>(GlobalLock(image));
  const TransparencyArg transparency = TransparencyArgOf(*record);
  GlobalLockGuard bitmap(BitmapOf(*record));
  const int result = bitmap ? pixels(bitmap.block(), transparency) : 0;
  GlobalUnlock(image);
  return result;
}

}  // namespace

int EnhanceImage(HGLOBAL image) { return WithImage(image, EnhancePixels); }

int EdgeWindowsImage(HGLOBAL image, double amount) {
  return WithImage(image, [&](DibBlock bitmap, const TransparencyArg& transparency) {
    const EdgeKernel kernel{(100.0 - amount) / 20.0 + 1.5};
    return Filter3x3(bitmap, SelectPixels(transparency, /*offersAlphaKey=*/false), kernel);
  });
}

}  // namespace ormi::reference
