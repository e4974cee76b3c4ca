// Gradient fills: a linear ramp between two colours at an angle, in 8.8 fixed point.
//   theta = degrees * pi / 180;  span = |sin theta| (W - 1) + |cos theta| (H - 1)
//   d = (to - from) / span;  stepX = trunc(sin theta * d * 256);  stepY = trunc(cos theta * d * 256)
//   start = trunc((from * 256 + to * 256) * 0.5 - ((W - 1) * 0.5 * stepX + (H - 1) * 0.5 * stepY))
// Rows are filled from the top of the picture (the last row in memory) down, each left to right;
// every pixel adds stepX, every row starts stepY further on; a channel is bits 8..15 of its
// accumulator, unclamped. Only the painter's bitmap comes from the heap.
#include "decor/gradient.h"

#include <cmath>
#include <limits>

#include "decor/text_fill.h"
#include "image/dib.h"
#include "image/heap_buffer.h"
#include "simd/simd_level.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {
namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
// sin and cos of multiples of 90 degrees leave a residue near 1e-16 where the true value is 0;
// a span that small means the rectangle has no extent along the ramp.
constexpr double kNoSpan = 1e-6;

// Truncation toward zero, saturated for values no pixel ever sees (a step along an axis of
// length 1), so that no out-of-range conversion happens.
int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

// The three accumulators of a walk; they wrap as 32-bit values, which keeps bits 8..15 exact.
struct GradientPen {
  uint32_t red, green, blue;

  static GradientPen At(const std::array<int32_t, 3>& v) {
    return {static_cast<uint32_t>(v[0]), static_cast<uint32_t>(v[1]), static_cast<uint32_t>(v[2])};
  }
  void add(const std::array<int32_t, 3>& step) {
    red += static_cast<uint32_t>(step[0]);
    green += static_cast<uint32_t>(step[1]);
    blue += static_cast<uint32_t>(step[2]);
  }
  uint8_t r() const { return static_cast<uint8_t>(red >> 8); }
  uint8_t g() const { return static_cast<uint8_t>(green >> 8); }
  uint8_t b() const { return static_cast<uint8_t>(blue >> 8); }
};

// Calls row(memoryRow, pen) for each row from the top of the picture down, with the pen at the
// row's first pixel.
template <class RowKernel>
void WalkGradientRows(const GradientSteps& steps, size_t rows, RowKernel&& row) {
  GradientPen rowStart = GradientPen::At(steps.start);
  for (size_t r = rows; r-- > 0;) {
    row(r, rowStart);
    rowStart.add(steps.stepY);
  }
}

void GradientRow24(uint8_t* out, size_t width, GradientPen pen, const GradientSteps& steps) {
  for (size_t x = 0; x < width; ++x, out += 3) {
    out[0] = pen.b();
    out[1] = pen.g();
    out[2] = pen.r();
    pen.add(steps.stepX);
  }
}

// Opaque ramp pixels from pixel `from` on, the pen at that pixel.
void GradientPixels32(uint8_t* out, size_t from, size_t width, GradientPen pen, const GradientSteps& steps) {
  for (size_t x = from; x < width; ++x) {
    StorePixel<uint32_t>(out + 4 * x, 0xFF000000u | uint32_t{pen.r()} << 16 | uint32_t{pen.g()} << 8 | pen.b());
    pen.add(steps.stepX);
  }
}

#if defined(__SSE2__)
// Four pixels a step: lane k holds the accumulators k pixels on, all four move 4 steps at a time;
// 32-bit lanes wrap exactly as the scalar accumulators do.
void GradientPixels32Sse2(uint8_t* out, size_t width, GradientPen pen, const GradientSteps& steps) {
  const auto lanes = [](uint32_t at, int32_t step) {
    const auto s = static_cast<uint32_t>(step);
    return _mm_setr_epi32(static_cast<int>(at), static_cast<int>(at + s), static_cast<int>(at + 2 * s),
                          static_cast<int>(at + 3 * s));
  };
  __m128i red = lanes(pen.red, steps.stepX[0]), green = lanes(pen.green, steps.stepX[1]),
          blue = lanes(pen.blue, steps.stepX[2]);
  const __m128i redStep = _mm_set1_epi32(static_cast<int>(4 * static_cast<uint32_t>(steps.stepX[0])));
  const __m128i greenStep = _mm_set1_epi32(static_cast<int>(4 * static_cast<uint32_t>(steps.stepX[1])));
  const __m128i blueStep = _mm_set1_epi32(static_cast<int>(4 * static_cast<uint32_t>(steps.stepX[2])));
  const __m128i byte1 = _mm_set1_epi32(0xFF00), alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  size_t x = 0;
  for (; x + 4 <= width; x += 4) {
    const __m128i pixels =
        _mm_or_si128(_mm_or_si128(alpha, _mm_slli_epi32(_mm_and_si128(red, byte1), 8)),
                     _mm_or_si128(_mm_and_si128(green, byte1), _mm_srli_epi32(_mm_and_si128(blue, byte1), 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), pixels);
    red = _mm_add_epi32(red, redStep);
    green = _mm_add_epi32(green, greenStep);
    blue = _mm_add_epi32(blue, blueStep);
  }
  const auto lane0 = [](__m128i v) { return static_cast<uint32_t>(_mm_cvtsi128_si32(v)); };
  GradientPixels32(out, x, width, GradientPen{lane0(red), lane0(green), lane0(blue)}, steps);
}
#endif

void GradientTextRow(uint8_t* out, const uint8_t* mask, size_t width, GradientPen pen, const GradientSteps& steps,
                     SimdLevel level) {
  if (HasAvx2(level)) {
    std::array<uint32_t, 3> accumulators{pen.red, pen.green, pen.blue};
    const size_t x = GradientTextPixelsAvx2(out, mask, width, accumulators, steps.stepX);
    const GradientPen rest{accumulators[0], accumulators[1], accumulators[2]};
    GradientPixels32(out, x, width, rest, steps);
    MaskPixelsTail(out, out, mask, x, width);
    return;
  }
#if defined(__SSE2__)
  if (level != SimdLevel::Scalar) {
    GradientPixels32Sse2(out, width, pen, steps);
  } else {
    GradientPixels32(out, 0, width, pen, steps);
  }
#else
  (void)level;
  GradientPixels32(out, 0, width, pen, steps);
#endif
  MaskPixels(out, out, mask, width, level);
}

}  // namespace

GradientSteps GradientRamp(int64_t width, int64_t height, uint32_t from, uint32_t to, int degrees) {
  const double theta = degrees * kRadiansPerDegree;
  const double sine = std::sin(theta), cosine = std::cos(theta);
  const double span =
      std::fabs(sine) * static_cast<double>(width - 1) + std::fabs(cosine) * static_cast<double>(height - 1);
  GradientSteps steps;
  for (int c = 0; c < 3; ++c) {
    const int fromC = static_cast<int>((from >> (8 * c)) & 0xFF), toC = static_cast<int>((to >> (8 * c)) & 0xFF);
    if (span < kNoSpan) {
      steps.start[c] = fromC * 256;
      continue;
    }
    const double d = (toC - fromC) / span;
    steps.stepX[c] = TruncateToInt32(sine * d * 256.0);
    steps.stepY[c] = TruncateToInt32(cosine * d * 256.0);
    const double offset =
        static_cast<double>(width - 1) * 0.5 * steps.stepX[c] + static_cast<double>(height - 1) * 0.5 * steps.stepY[c];
    steps.start[c] = TruncateToInt32((fromC * 256 + toC * 256) * 0.5 - offset);
  }
  return steps;
}

int PaintGradient(HDC dc, const RECT* rect, uint32_t from, uint32_t to, int degrees) {
  const std::optional<FillSize> size = FillSizeOf(rect);
  if (!size) return 0;
  const size_t width = static_cast<uint32_t>(size->width), stride = static_cast<size_t>(DibStride(size->width, 24));
  HeapBytes bitmap = AllocateHeapBytes(kInfoHeaderBytes + stride * static_cast<uint32_t>(size->height));
  if (!bitmap) return 0;
  WritePlainInfoHeader(bitmap.get(), size->width, size->height, 24);
  uint8_t* bits = bitmap.get() + kInfoHeaderBytes;
  const GradientSteps steps = GradientRamp(size->width, size->height, from, to, degrees);
  WalkGradientRows(steps, static_cast<uint32_t>(size->height),
                   [&](size_t r, GradientPen pen) { GradientRow24(bits + r * stride, width, pen, steps); });
  StretchDIBits(dc, rect->left, rect->top, size->width, size->height, 0, 0, size->width, size->height, bits,
                reinterpret_cast<const BITMAPINFO*>(bitmap.get()), DIB_RGB_COLORS, SRCCOPY);
  return 1;
}

HGLOBAL GradientForText(const RECT* rect, uint32_t from, uint32_t to, int degrees, HGLOBAL mask) {
  GlobalLockGuard maskLock(mask);
  if (!maskLock) return nullptr;
  const std::optional<FillSize> size = FillSizeOf(rect);
  if (!size) return nullptr;
  const std::optional<DibView> maskView = ViewTextMask(maskLock.block(), *size);
  if (!maskView) return nullptr;
  TextFillBitmap result(*size);
  if (!result) return nullptr;
  const size_t width = static_cast<uint32_t>(size->width);
  const GradientSteps steps = GradientRamp(size->width, size->height, from, to, degrees);
  const SimdLevel level = ActiveSimdLevel();
  WalkGradientRows(steps, static_cast<uint32_t>(size->height), [&](size_t r, GradientPen pen) {
    GradientTextRow(result.row(r), maskView->row(r), width, pen, steps, level);
  });
  return result.release();
}

}  // namespace ormi
