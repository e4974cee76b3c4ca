// Emboss and edge detection: 3x3 kernels whose weights sum to zero, clamped to 0..255 per
// channel, then the histogram normalisation stretches the whole bitmap, border included.
//   emboss: S = -v(x-1,y-1) - 2 v(x,y-1) - 2 v(x-1,y) + 2 v(x+1,y) + 2 v(x,y+1) + v(x+1,y+1), rows
//           in stored order; integer throughout.
//   edge:   k = (100 - amount) / 20 + 1.5; S = trunc(k v(x,y)) + the sum over the four diagonal
//           neighbours of trunc((-k / 4) v), each product truncated on its own. The products of
//           the 256 levels are tabled once per call; sums are 32-bit and wrap as such. Vector rows
//           compute the products in fixed point where the tables allow it (edge_kernels.h).
#include "filters/emboss_edge.h"

#include <array>

#include "filters/edge_kernels.h"
#include "filters/filter_frame.h"
#include "filters/filter_math.h"
#include "filters/kernel3x3.h"
#include "filters/window_filter.h"
#include "tone/histogram.h"

namespace ormi {
namespace {

struct EmbossKernel {
  uint32_t operator()(const Window<3>& w) const {
    return ComposeChannels([&](uint32_t c) {
      const int32_t rise = static_cast<int32_t>(2 * w.at(1, 2, c) + 2 * w.at(2, 1, c) + w.at(2, 2, c));
      const int32_t fall = static_cast<int32_t>(w.at(0, 0, c) + 2 * w.at(0, 1, c) + 2 * w.at(1, 0, c));
      return ClampByte(rise - fall);
    });
  }
};

struct EdgeKernel {
  std::array<int32_t, 256> diagonal;  // trunc((-k / 4) v)
  std::array<int32_t, 256> centre;    // trunc(v k)

  uint32_t operator()(const Window<3>& w) const {
    return ComposeChannels([&](uint32_t c) {
      const uint32_t sum =
          static_cast<uint32_t>(centre[w.at(1, 1, c)]) + static_cast<uint32_t>(diagonal[w.at(0, 0, c)]) +
          static_cast<uint32_t>(diagonal[w.at(0, 2, c)]) + static_cast<uint32_t>(diagonal[w.at(2, 0, c)]) +
          static_cast<uint32_t>(diagonal[w.at(2, 2, c)]);
      return ClampByte(static_cast<int32_t>(sum));
    });
  }
};

EdgeKernel MakeEdgeKernel(double amount) {
  const double gain = (100.0 - amount) / 20.0 + 1.5;
  const double diagonalGain = -gain / 4.0;
  EdgeKernel kernel;
  for (int v = 0; v < 256; ++v) {
    kernel.diagonal[v] = TruncToInt32(diagonalGain * v);
    kernel.centre[v] = TruncToInt32(v * gain);
  }
  return kernel;
}

// Normalises only after a pass that ran; its own result is not looked at.
int Normalised(DibBlock bitmap, const TransparencyArg& transparency, int filtered) {
  if (filtered) ImgNormalisePixels(bitmap, transparency);
  return filtered;
}

}  // namespace

int EmbossWindows(DibBlock bitmap, const TransparencyArg& transparency) {
  const Linear3x3RowStart rowStart{SelectEmboss3x3Row(ActiveSimdLevel()), {}};
  return Filter3x3(bitmap, SelectPixels(transparency, /*offersAlphaKey=*/true), EmbossKernel{}, rowStart);
}

int EdgeWindows(DibBlock bitmap, double amount, const TransparencyArg& transparency) {
  const EdgeKernel kernel = MakeEdgeKernel(amount);
  const EdgeRowStart rowStart{SelectEdgeRow(ActiveSimdLevel()), EdgeFixedPointOf(kernel.centre, kernel.diagonal)};
  return Filter3x3(bitmap, SelectPixels(transparency, /*offersAlphaKey=*/false), kernel, rowStart);
}

int ImgEmbossPixels(DibBlock bitmap, const TransparencyArg& transparency) {
  return Normalised(bitmap, transparency, EmbossWindows(bitmap, transparency));
}

int ImgEdgePixels(DibBlock bitmap, double amount, const TransparencyArg& transparency) {
  return Normalised(bitmap, transparency, EdgeWindows(bitmap, amount, transparency));
}

int ImgEmbossDib(HGLOBAL bitmap, const TransparencyArg& transparency) {
  return WithLockedBitmap(bitmap, [&](DibBlock block) { return ImgEmbossPixels(block, transparency); });
}

int ImgEdgeDib(HGLOBAL bitmap, double amount, const TransparencyArg& transparency) {
  return WithLockedBitmap(bitmap, [&](DibBlock block) { return ImgEdgePixels(block, amount, transparency); });
}

}  // namespace ormi
