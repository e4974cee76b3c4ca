// The plain blur, sharpen and emboss kernels kept as the reference of the vector rows: the scalar kernels walked
// pixel by pixel over the window ring.
#include <algorithm>

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
