// Blur: a 3x3 weighted mean with corners 1, edges 2 and a centre weight c = trunc((100 - amount)
// / 2 - 13) set by the amount; divisor d = c + 12, or 1 when that is below 2. Per channel the
// value is (S + (d >> 1)) / d, a signed division truncated toward zero; a quotient outside
// 0..255 leaves the channel at its unfiltered value. Sums are 32-bit and wrap as such.
#include "filters/blur.h"

#include <algorithm>

#include "filters/filter_frame.h"
#include "filters/filter_math.h"
#include "filters/kernel3x3.h"
#include "filters/window_filter.h"

namespace ormi {
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

}  // namespace

int ImgBlurPixels(DibBlock bitmap, double amount, const TransparencyArg& transparency) {
  const BlurKernel kernel = MakeBlurKernel(amount);
  const Linear3x3RowStart rowStart{SelectLinear3x3Row(ActiveSimdLevel()),
                                   {Finish3x3::Blur, kernel.centreWeight, kernel.half, kernel.divisor.divisor(), 0}};
  return Filter3x3(bitmap, SelectPixels(transparency, /*offersAlphaKey=*/true), kernel, rowStart);
}

int ImgBlurDib(HGLOBAL bitmap, double amount, const TransparencyArg& transparency) {
  return WithLockedBitmap(bitmap, [&](DibBlock block) { return ImgBlurPixels(block, amount, transparency); });
}

}  // namespace ormi
