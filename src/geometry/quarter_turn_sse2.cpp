// 32-bit quarter turns four pixels by four: four source rows of four pixels are transposed in
// registers and leave as four destination runs, so both sides move whole vectors.
#include "geometry/rotation_engine.h"

#include <algorithm>

#include "image/dib.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {
namespace {

// Source pixel (x, r) to its place in the turned picture.
inline uint8_t* TurnedPixel(const TurnFrame& f, uint32_t x, uint32_t r) {
  return f.degrees == 90 ? f.destination + size_t{x} * f.destinationStride + 4 * size_t{f.height - 1 - r}
                         : f.destination + size_t{f.width - 1 - x} * f.destinationStride + 4 * size_t{r};
}

void TurnSinglePixels(const TurnFrame& f, uint32_t r0, uint32_t r1, uint32_t x0, uint32_t x1) {
  for (uint32_t r = r0; r < r1; ++r) {
    const uint8_t* src = f.source + r * f.sourceStride;
    for (uint32_t x = x0; x < x1; ++x) StorePixel<uint32_t>(TurnedPixel(f, x, r), LoadPixel<uint32_t>(src + 4 * x));
  }
}

#if defined(__SSE2__)
// Source rows r..r+3, columns x..x+3. Streamed stores need 16-byte aligned destinations.
template <bool Stream>
inline void TurnBlock4x4(const TurnFrame& f, uint32_t r, uint32_t x) {
  const uint8_t* src = f.source + r * f.sourceStride + 4 * size_t{x};
  const auto row = [&](size_t i) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i * f.sourceStride));
  };
  const auto store = [](uint8_t* p, __m128i v) {
    if constexpr (Stream) {
      _mm_stream_si128(reinterpret_cast<__m128i*>(p), v);
    } else {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
  };
  const __m128i a0 = row(0), a1 = row(1), a2 = row(2), a3 = row(3);
  const __m128i t0 = _mm_unpacklo_epi32(a0, a1), t1 = _mm_unpacklo_epi32(a2, a3);
  const __m128i t2 = _mm_unpackhi_epi32(a0, a1), t3 = _mm_unpackhi_epi32(a2, a3);
  // column[i]: source column x + i over rows r..r+3.
  const __m128i column[4] = {_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1), _mm_unpacklo_epi64(t2, t3),
                             _mm_unpackhi_epi64(t2, t3)};
  for (uint32_t i = 0; i < 4; ++i) {
    if (f.degrees == 90) {
      // Row r + 3 is leftmost in the turned row.
      store(TurnedPixel(f, x + i, r + 3), _mm_shuffle_epi32(column[i], 0x1B));
    } else {
      store(TurnedPixel(f, x + i, r), column[i]);
    }
  }
}

// A band of 32 source rows is turned four columns at a time: each step fills two whole cache
// lines of four destination rows, while the band's source lines stay in the cache.
template <bool Stream>
void TurnBands(const TurnFrame& f, uint32_t endRow, uint32_t endColumn) {
  constexpr uint32_t kBand = 32;
  for (uint32_t r0 = 0; r0 < endRow; r0 += kBand) {
    const uint32_t r1 = std::min(r0 + kBand, endRow);
    for (uint32_t x = 0; x < endColumn; x += 4) {
      for (uint32_t r = r0; r < r1; r += 4) TurnBlock4x4<Stream>(f, r, x);
    }
  }
}

// Turned pictures at least this large are written past the cache (non-temporal stores): they are
// not read again soon, and their lines need not be fetched before they are overwritten.
constexpr size_t kStreamBytes = size_t{4} << 20;

// Whether to stream: a large picture whose blocks' stores are all 16-byte aligned (every
// destination row with the same alignment, the first store aligned).
bool StreamsTurnedRows(const TurnFrame& f) {
  if (f.destinationStride % 16 != 0 || 4 * size_t{f.width} * f.height < kStreamBytes) return false;
  return reinterpret_cast<uintptr_t>(TurnedPixel(f, 0, f.degrees == 90 ? 3 : 0)) % 16 == 0;
}
#endif

}  // namespace

void QuarterTurn32Sse2(const TurnFrame& f) {
  const uint32_t w = f.width, h = f.height;
#if defined(__SSE2__)
  const uint32_t w4 = w & ~3u, h4 = h & ~3u;
  if (StreamsTurnedRows(f)) {
    TurnBands<true>(f, h4, w4);
    _mm_sfence();  // the streamed lines are in memory before the picture is handed over
  } else {
    TurnBands<false>(f, h4, w4);
  }
  TurnSinglePixels(f, 0, h4, w4, w);
  TurnSinglePixels(f, h4, h, 0, w);
#else
  TurnSinglePixels(f, 0, h, 0, w);
#endif
}

}  // namespace ormi
