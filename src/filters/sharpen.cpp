// Sharpen: the centre weighted by c = trunc((100 - amount) / 2 + 13) minus the 1-2-1 weighted
// eight neighbours; divisor d = c - 12, or 1 when that is below 2. Per channel S < 0 gives 0,
// S > 255 d gives 255, else (S + (d >> 1)) / d truncated toward zero: out-of-range results are
// clamped, never replaced by the unfiltered value. Sums are 32-bit and wrap as such.
#include "filters/sharpen.h"

#include <algorithm>

#include "filters/filter_frame.h"
#include "filters/filter_math.h"
#include "filters/kernel3x3.h"
#include "filters/window_filter.h"

namespace ormi {
namespace {

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

}  // namespace

int ImgSharpenPixels(DibBlock bitmap, double amount, const TransparencyArg& transparency) {
  const SharpenKernel kernel = MakeSharpenKernel(amount);
  const Linear3x3RowStart rowStart{
      SelectLinear3x3Row(ActiveSimdLevel()),
      {Finish3x3::Sharpen, kernel.centreWeight, kernel.half, kernel.divisor.divisor(), kernel.top}};
  return Filter3x3(bitmap, SelectPixels(transparency, /*offersAlphaKey=*/true), kernel, rowStart);
}

int ImgSharpenDib(HGLOBAL bitmap, double amount, const TransparencyArg& transparency) {
  return WithLockedBitmap(bitmap, [&](DibBlock block) { return ImgSharpenPixels(block, amount, transparency); });
}

}  // namespace ormi
