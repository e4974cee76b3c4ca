// The 32-bit mirror's row kernels, scalar and SSE2. A vector step takes n pixels from each end,
// reverses both groups and stores them crosswise; the pixels left in the middle go the scalar way.
#include "geometry/mirror_kernels.h"

#include "image/dib.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {

// Pixels [0, count) of a row from the left and from the right end change places.
static void SwapEnds32(uint8_t* row, size_t width, size_t from, size_t to) {
  for (size_t x = from; x < to; ++x) {
    uint8_t* left = row + 4 * x;
    uint8_t* right = row + 4 * (width - 1 - x);
    const uint32_t value = LoadPixel<uint32_t>(left);
    StorePixel<uint32_t>(left, LoadPixel<uint32_t>(right));
    StorePixel<uint32_t>(right, value);
  }
}

// low[x] and high[W-1-x] change places for x in [from, to).
static void CrossExchange32(uint8_t* low, uint8_t* high, size_t width, size_t from, size_t to) {
  for (size_t x = from; x < to; ++x) {
    uint8_t* a = low + 4 * x;
    uint8_t* b = high + 4 * (width - 1 - x);
    const uint32_t value = LoadPixel<uint32_t>(a);
    StorePixel<uint32_t>(a, LoadPixel<uint32_t>(b));
    StorePixel<uint32_t>(b, value);
  }
}

// A bitmap row's stride is a whole number of 32-bit words.
void ExchangeRowTails(uint8_t* low, uint8_t* high, size_t bytes, size_t from) {
  for (size_t i = from; i < bytes; i += 4) {
    const uint32_t value = LoadPixel<uint32_t>(low + i);
    StorePixel<uint32_t>(low + i, LoadPixel<uint32_t>(high + i));
    StorePixel<uint32_t>(high + i, value);
  }
}

void ExchangeRowsScalar(uint8_t* low, uint8_t* high, size_t bytes) { ExchangeRowTails(low, high, bytes, 0); }

void Reverse32Scalar(uint8_t* row, size_t width) { SwapEnds32(row, width, 0, width / 2); }

void ExchangeReversed32Scalar(uint8_t* low, uint8_t* high, size_t width) {
  CrossExchange32(low, high, width, 0, width);
}

#if defined(__SSE2__)
static inline __m128i Reversed(__m128i v) { return _mm_shuffle_epi32(v, 0x1B); }

void ExchangeRowsSse2(uint8_t* low, uint8_t* high, size_t bytes) {
  size_t i = 0;
  for (; i + 16 <= bytes; i += 16) {
    auto* a = reinterpret_cast<__m128i*>(low + i);
    auto* b = reinterpret_cast<__m128i*>(high + i);
    const __m128i va = _mm_loadu_si128(a), vb = _mm_loadu_si128(b);
    _mm_storeu_si128(a, vb);
    _mm_storeu_si128(b, va);
  }
  ExchangeRowTails(low, high, bytes, i);
}

void Reverse32Sse2(uint8_t* row, size_t width) {
  size_t x = 0;
  for (; x + 4 <= width / 2; x += 4) {
    auto* left = reinterpret_cast<__m128i*>(row + 4 * x);
    auto* right = reinterpret_cast<__m128i*>(row + 4 * (width - 4 - x));
    const __m128i a = _mm_loadu_si128(left), b = _mm_loadu_si128(right);
    _mm_storeu_si128(left, Reversed(b));
    _mm_storeu_si128(right, Reversed(a));
  }
  SwapEnds32(row, width, x, width / 2);
}

void ExchangeReversed32Sse2(uint8_t* low, uint8_t* high, size_t width) {
  size_t x = 0;
  for (; x + 4 <= width; x += 4) {
    auto* a = reinterpret_cast<__m128i*>(low + 4 * x);
    auto* b = reinterpret_cast<__m128i*>(high + 4 * (width - 4 - x));
    const __m128i va = _mm_loadu_si128(a), vb = _mm_loadu_si128(b);
    _mm_storeu_si128(a, Reversed(vb));
    _mm_storeu_si128(b, Reversed(va));
  }
  CrossExchange32(low, high, width, x, width);
}
#else
void ExchangeRowsSse2(uint8_t* low, uint8_t* high, size_t bytes) { ExchangeRowsScalar(low, high, bytes); }
void Reverse32Sse2(uint8_t* row, size_t width) { Reverse32Scalar(row, width); }
void ExchangeReversed32Sse2(uint8_t* low, uint8_t* high, size_t width) { ExchangeReversed32Scalar(low, high, width); }
#endif

// Shared with the AVX2 file for its tails.
void Mirror32Tails(uint8_t* row, size_t width, size_t from) { SwapEnds32(row, width, from, width / 2); }
void Exchange32Tails(uint8_t* low, uint8_t* high, size_t width, size_t from) {
  CrossExchange32(low, high, width, from, width);
}

RowExchangeKernel SelectRowExchange(SimdLevel level) {
  switch (level) {
    case SimdLevel::Avx512:
    case SimdLevel::Avx2: return ExchangeRowsAvx2;
    case SimdLevel::Sse2: return ExchangeRowsSse2;
    default: return ExchangeRowsScalar;
  }
}

Mirror32Kernels SelectMirror32(SimdLevel level) {
  switch (level) {
    case SimdLevel::Avx512:
    case SimdLevel::Avx2: return {Reverse32Avx2, ExchangeReversed32Avx2};
    case SimdLevel::Sse2: return {Reverse32Sse2, ExchangeReversed32Sse2};
    default: return {Reverse32Scalar, ExchangeReversed32Scalar};
  }
}

}  // namespace ormi
