#include "decor/text_fill.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <limits>

namespace ormi {
namespace {

uint64_t PixelCount(int64_t width, int64_t height) {
  return static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
}

}  // namespace

size_t TextFillBytes(FillSize size) {
  return static_cast<size_t>(kInfoHeaderBytes + 4 * PixelCount(size.width, size.height));
}

std::optional<FillSize> FillSizeOf(const RECT* rect) {
  if (!rect) return std::nullopt;
  const int64_t width = int64_t{rect->right} - rect->left + 1, height = int64_t{rect->bottom} - rect->top + 1;
  constexpr int64_t kMaxSide = std::numeric_limits<int32_t>::max();
  if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return std::nullopt;
  if (PixelCount(width, height) > (std::numeric_limits<size_t>::max() - kInfoHeaderBytes) / 4) return std::nullopt;
  return FillSize{static_cast<int32_t>(width), static_cast<int32_t>(height)};
}

std::optional<DibView> ViewTextMask(DibBlock mask, FillSize size) {
  const std::optional<DibView> view = ViewDib(mask);
  if (!view || view->bitCount != 1) return std::nullopt;
  if (view->width < size.width || view->rows < static_cast<uint32_t>(size.height)) return std::nullopt;
  return view;
}

void MaskPixelsTail(uint8_t* out, const uint8_t* in, const uint8_t* mask, size_t from, size_t width) {
  for (size_t x = from; x < width; ++x)
    StorePixel<uint32_t>(out + 4 * x, MaskBit(mask, x) ? 0u : LoadPixel<uint32_t>(in + 4 * x));
}

namespace {

#if defined(__SSE2__)
// Four pixels per register: a lane keeps its pixel when its bit of the mask byte is 0.
void MaskPixelsSse2(uint8_t* out, const uint8_t* in, const uint8_t* mask, size_t width) {
  const __m128i firstBits = _mm_setr_epi32(128, 64, 32, 16), secondBits = _mm_setr_epi32(8, 4, 2, 1);
  const __m128i zero = _mm_setzero_si128();
  size_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m128i bits = _mm_set1_epi32(mask[x >> 3]);
    const auto* source = reinterpret_cast<const __m128i*>(in + 4 * x);
    auto* target = reinterpret_cast<__m128i*>(out + 4 * x);
    const __m128i first = _mm_and_si128(_mm_loadu_si128(source), _mm_cmpeq_epi32(_mm_and_si128(bits, firstBits), zero));
    const __m128i second =
        _mm_and_si128(_mm_loadu_si128(source + 1), _mm_cmpeq_epi32(_mm_and_si128(bits, secondBits), zero));
    _mm_storeu_si128(target, first);
    _mm_storeu_si128(target + 1, second);
  }
  MaskPixelsTail(out, in, mask, x, width);
}
#endif

}  // namespace

void MaskPixels(uint8_t* out, const uint8_t* in, const uint8_t* mask, size_t width, SimdLevel level) {
#if defined(__SSE2__)
  if (HasAvx2(level)) return MaskPixelsAvx2(out, in, mask, width);
  if (level == SimdLevel::Sse2) return MaskPixelsSse2(out, in, mask, width);
#else
  (void)level;
#endif
  MaskPixelsTail(out, in, mask, 0, width);
}

TextFillBitmap::TextFillBitmap(FillSize size)
    : width_(static_cast<uint32_t>(size.width)), block_(GMEM_MOVEABLE, TextFillBytes(size)) {
  if (!block_) return;
  lock_ = GlobalLockGuard(block_.handle());
  if (!lock_) return;
  WritePlainInfoHeader(lock_.data(), size.width, size.height, 32);
}

HGLOBAL TextFillBitmap::release() {
  lock_.unlock();
  return block_.release();
}

}  // namespace ormi
