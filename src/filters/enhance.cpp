// Enhance: an edge-keeping smoothing. Each pixel becomes the weighted mean of those pixels of its
// 5x5 window whose colour distance D = dR^2 + dG^2 + dB^2 to it is below 2500 (the centre always
// takes part). Per channel the value is (S + (SW >> 1) - 1) / SW, so an exact half rounds down.
// The squares come from a table in working memory; the border of two pixels is not written.
// A vector row (enhance_*.cpp) filters what it can of each row; this kernel does the rest.
#include "filters/enhance.h"

#include <algorithm>
#include <array>
#include <optional>

#include "filters/enhance_kernels.h"
#include "filters/filter_frame.h"
#include "filters/filter_math.h"
#include "filters/window_filter.h"

namespace ormi {
namespace {

constexpr uint32_t kWindowWeights[5][5] = {
    {5, 8, 10, 8, 5}, {8, 20, 40, 20, 8}, {10, 40, 80, 40, 10}, {8, 20, 40, 20, 8}, {5, 8, 10, 8, 5},
};
constexpr uint32_t kMaxWeightSum = 444;
constexpr int32_t kDistanceLimit = 2500;  // a Euclidean distance below 50
constexpr int kSquareEntries = 511;       // i * i for i = -255..255

// Weight sums are at most 444, so their divisors fit a table made at compile time.
constexpr std::array<ExactDivisor, kMaxWeightSum + 1> kWeightDivisors = [] {
  std::array<ExactDivisor, kMaxWeightSum + 1> divisors{ExactDivisor(1)};
  for (uint32_t i = 1; i <= kMaxWeightSum; ++i) divisors[i] = ExactDivisor(i);
  return divisors;
}();

struct EnhanceKernel {
  const uint8_t* squares;  // entry 0 of the table, with 255 entries on either side

  int32_t square(int32_t difference) const { return LoadPixel<int32_t>(squares + 4 * difference); }

  uint32_t operator()(const Window<5>& w) const {
    const int32_t blue = static_cast<int32_t>(w.at(2, 2, 0)), green = static_cast<int32_t>(w.at(2, 2, 1)),
                  red = static_cast<int32_t>(w.at(2, 2, 2));
    uint32_t sumBlue = 0, sumGreen = 0, sumRed = 0, sumWeights = 0;
    for (uint32_t i = 0; i < 5; ++i) {
      for (uint32_t j = 0; j < 5; ++j) {
        const uint32_t b = w.at(i, j, 0), g = w.at(i, j, 1), r = w.at(i, j, 2);
        const int32_t distance = square(static_cast<int32_t>(r) - red) + square(static_cast<int32_t>(g) - green) +
                                 square(static_cast<int32_t>(b) - blue);
        if (distance >= kDistanceLimit) continue;
        const uint32_t weight = kWindowWeights[i][j];
        sumBlue += weight * b;
        sumGreen += weight * g;
        sumRed += weight * r;
        sumWeights += weight;
      }
    }
    const ExactDivisor& divisor = kWeightDivisors[sumWeights];
    const uint32_t rounding = (sumWeights >> 1) - 1;
    auto mean = [&](uint32_t sum) { return std::min(divisor.divideUnsigned(sum + rounding), 255u); };
    return mean(sumRed) << 16 | mean(sumGreen) << 8 | mean(sumBlue);
  }
};

void FillSquares(uint8_t* table) {
  for (int32_t i = -255; i <= 255; ++i) StorePixel<int32_t>(table + 4 * (i + 255), i * i);
}

}  // namespace

EnhanceRowFunction SelectEnhanceRow(SimdLevel level) {
  switch (level) {
    case SimdLevel::Scalar: return nullptr;
    case SimdLevel::Sse2: return EnhanceRowSse2;
    case SimdLevel::Avx512:
    case SimdLevel::Avx2: return EnhanceRowAvx2;
  }
  return nullptr;
}

bool UsesEnhanceRowAvx512(SimdLevel level) {
#if defined(__x86_64__) || defined(__i386__)
  return level == SimdLevel::Avx512 && __builtin_cpu_supports("avx512vnni") && __builtin_cpu_supports("avx512vl");
#else
  return false;
#endif
}

int ImgEnhancePixels(DibBlock bitmap, const TransparencyArg& transparency) {
  const std::optional<DibView> view = ViewFilterRows(bitmap, 5);
  if (!view) return 0;
  RowRing<5> ring(view->stride);
  if (!ring) return 0;
  WorkingBlock squares(kWorkingMemoryFlags, 4 * kSquareEntries);
  if (!squares) return 0;
  FillSquares(squares.data());
  const EnhanceKernel kernel{squares.data() + 4 * 255};
  const SimdLevel level = ActiveSimdLevel();
  const auto width = static_cast<uint32_t>(view->width);
  std::optional<WorkingBlock> bitBlock;
  EnhanceNearBits bits{nullptr, 0, 0};
  if (UsesEnhanceRowAvx512(level)) {
    const size_t pitch = EnhanceMaskPitch(width);
    if (!bitBlock.emplace(kWorkingMemoryFlags, kEnhanceMaskRows * pitch * sizeof(uint16_t))) return 0;
    bits = {reinterpret_cast<uint16_t*>(bitBlock->data()), pitch, 0};
  }
  FilterWindows(*view, SelectPixels(transparency, /*offersAlphaKey=*/false), ring, kernel,
                EnhanceRowStart{SelectEnhanceRow(level), bits.masks ? &bits : nullptr});
  return 1;
}

int ImgEnhanceDib(HGLOBAL bitmap, const TransparencyArg& transparency) {
  return WithLockedBitmap(bitmap, [&](DibBlock block) { return ImgEnhancePixels(block, transparency); });
}

}  // namespace ormi
