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

void ClearMaskedTail(uint8_t* out, const uint8_t* mask, size_t from, size_t width) {
  for (size_t x0 = from; x0 < width; x0 += 8) {
    if (mask[x0 >> 3] == 0) continue;
    const size_t x1 = width - x0 < 8 ? width : x0 + 8;
    for (size_t x = x0; x < x1; ++x) {
      if (MaskBit(mask, x)) StorePixel<uint32_t>(out + 4 * x, 0u);
    }
  }
}

namespace {

#if defined(__SSE2__)
// Four pixels per register: a lane keeps its pixel when its bit of the mask byte is 0.
void ClearMaskedPixelsSse2(uint8_t* out, const uint8_t* mask, size_t width) {
  const __m128i firstBits = _mm_setr_epi32(128, 64, 32, 16), secondBits = _mm_setr_epi32(8, 4, 2, 1);
  const __m128i zero = _mm_setzero_si128();
  size_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const uint8_t byte = mask[x >> 3];
    if (byte == 0) continue;
    const __m128i bits = _mm_set1_epi32(byte);
    auto* p = reinterpret_cast<__m128i*>(out + 4 * x);
    _mm_storeu_si128(p, _mm_and_si128(_mm_loadu_si128(p), _mm_cmpeq_epi32(_mm_and_si128(bits, firstBits), zero)));
    _mm_storeu_si128(p + 1,
                     _mm_and_si128(_mm_loadu_si128(p + 1), _mm_cmpeq_epi32(_mm_and_si128(bits, secondBits), zero)));
  }
  ClearMaskedTail(out, mask, x, width);
}
#endif

}  // namespace

void ClearMaskedPixels(uint8_t* out, const uint8_t* mask, size_t width, SimdLevel level) {
#if defined(__SSE2__)
  if (HasAvx2(level)) return ClearMaskedPixelsAvx2(out, mask, width);
  if (level == SimdLevel::Sse2) return ClearMaskedPixelsSse2(out, mask, width);
#else
  (void)level;
#endif
  ClearMaskedTail(out, mask, 0, width);
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
