// Despeckle's row kernels, scalar and SSE2. The conditions are unsigned byte comparisons, which
// SSE2 offers only as max and saturating subtraction followed by an equality test:
//   a <= b   as max(a, b) == b
//   b >= a + 2 (both "b > a + 1" and "a + 1 < b")   as max(b -sat a, 2) == b -sat a
// and a true lane (0xFF, that is -1) added to or subtracted from b moves it by one level. The fill
// and the write-back split and join pixels with shifts, packs and unpacks.
#include "filters/despeckle_rows.h"

#include "image/dib.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {

void RaiseFirstTail(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t from, size_t n) {
  for (size_t i = from; i < n; ++i) out[i] = RaiseFirstCell(b[i], a[i]);
}
void LowerFirstTail(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t from, size_t n) {
  for (size_t i = from; i < n; ++i) out[i] = LowerFirstCell(b[i], a[i]);
}
void RaiseSecondTail(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t from, size_t n) {
  for (size_t i = from; i < n; ++i) out[i] = RaiseSecondCell(b[i], a[i], c[i]);
}
void LowerSecondTail(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t from, size_t n) {
  for (size_t i = from; i < n; ++i) out[i] = LowerSecondCell(b[i], a[i], c[i]);
}

void StepCells(int sense, const uint8_t* mid, const uint8_t* behind, const uint8_t* ahead, const uint8_t* ahead2,
               bool behindLive, bool aheadLive, int dx, uint8_t* out, size_t from, size_t to, size_t n) {
  const auto first = sense > 0 ? RaiseFirstCell : LowerFirstCell;
  const auto second = sense > 0 ? RaiseSecondCell : LowerSecondCell;
  for (size_t i = from; i < to; ++i) {
    // The first pass at the cell, at -o and at +o (0 outside the image).
    const uint8_t here = first(mid[i], ahead[i]);
    const bool behindIn = behindLive && !(dx > 0 && i == 0) && !(dx < 0 && i + 1 == n);
    const bool aheadIn = aheadLive && !(dx < 0 && i == 0) && !(dx > 0 && i + 1 == n);
    const uint8_t before = behindIn ? first(behind[i], mid[i]) : 0;
    const uint8_t after = aheadIn ? first(ahead[i], ahead2[i]) : 0;
    out[i] = second(here, before, after);
  }
}

void FillTail(const uint8_t* pixels, uint32_t from, uint32_t width, uint8_t* const cells[kHullChannels]) {
  for (uint32_t x = from; x < width; ++x) {
    const uint8_t* pixel = pixels + 4 * size_t{x};
    cells[0][x] = pixel[0];
    cells[1][x] = pixel[1];
    cells[2][x] = pixel[2];
  }
}

void WriteBackTail(uint8_t* pixels, uint32_t from, uint32_t width, const PixelSelection& selection,
                   const uint8_t* const cells[kHullChannels]) {
  const bool keyed = selection.mode == Selection::ColorKey;
  for (uint32_t x = from; x < width; ++x) {
    uint8_t* pixel = pixels + 4 * size_t{x};
    const uint32_t value = LoadPixel<uint32_t>(pixel);
    if (keyed && value == selection.key) continue;
    const uint32_t rgb = uint32_t{cells[2][x]} << 16 | uint32_t{cells[1][x]} << 8 | cells[0][x];
    StorePixel<uint32_t>(pixel, keyed ? rgb : rgb | (value & 0xFF000000u));
  }
}

namespace {

void FillScalar(const uint8_t* pixels, uint32_t width, uint8_t* const cells[kHullChannels]) {
  FillTail(pixels, 0, width, cells);
}
void WriteBackScalar(uint8_t* pixels, uint32_t width, const PixelSelection& selection,
                     const uint8_t* const cells[kHullChannels]) {
  WriteBackTail(pixels, 0, width, selection, cells);
}

void RaiseFirstScalar(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t n) { RaiseFirstTail(b, a, out, 0, n); }
void LowerFirstScalar(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t n) { LowerFirstTail(b, a, out, 0, n); }
void RaiseSecondScalar(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t n) {
  RaiseSecondTail(b, a, c, out, 0, n);
}
void LowerSecondScalar(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t n) {
  LowerSecondTail(b, a, c, out, 0, n);
}

#if defined(__SSE2__)
inline __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// 0xFF where x >= y + 2.
inline __m128i AtLeastTwoAbove(__m128i x, __m128i y) {
  const __m128i d = _mm_subs_epu8(x, y);
  return _mm_cmpeq_epi8(_mm_max_epu8(d, _mm_set1_epi8(2)), d);
}
// 0xFF where x <= y.
inline __m128i NotAbove(__m128i x, __m128i y) { return _mm_cmpeq_epi8(_mm_max_epu8(x, y), y); }

inline __m128i RaiseFirst16(__m128i b, __m128i a) {
  return _mm_sub_epi8(b, _mm_xor_si128(NotAbove(a, b), _mm_set1_epi8(-1)));
}
inline __m128i LowerFirst16(__m128i b, __m128i a) { return _mm_add_epi8(b, AtLeastTwoAbove(b, a)); }
inline __m128i RaiseSecond16(__m128i b, __m128i a, __m128i c) {
  return _mm_sub_epi8(b, _mm_andnot_si128(NotAbove(c, b), NotAbove(b, a)));
}
inline __m128i LowerSecond16(__m128i b, __m128i a, __m128i c) {
  return _mm_add_epi8(b, _mm_andnot_si128(NotAbove(b, c), AtLeastTwoAbove(b, a)));
}

// Whole registers, then one more ending at the last cell (it redoes a few cells with the same
// result); rows shorter than a register go the scalar way.
template <__m128i (*Kernel)(__m128i, __m128i), HullFirstRow Tail>
void FirstRowSse2(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t n) {
  if (n < 16) return Tail(b, a, out, n);
  size_t i = 0;
  for (; i + 16 <= n; i += 16) Store(out + i, Kernel(Load(b + i), Load(a + i)));
  if (i < n) Store(out + n - 16, Kernel(Load(b + n - 16), Load(a + n - 16)));
}

template <__m128i (*Kernel)(__m128i, __m128i, __m128i), HullSecondRow Tail>
void SecondRowSse2(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t n) {
  if (n < 16) return Tail(b, a, c, out, n);
  size_t i = 0;
  for (; i + 16 <= n; i += 16) Store(out + i, Kernel(Load(b + i), Load(a + i), Load(c + i)));
  if (i < n) Store(out + n - 16, Kernel(Load(b + n - 16), Load(a + n - 16), Load(c + n - 16)));
}

// Byte `shift / 8` of each of the 16 pixels in p[0..3], as 16 bytes.
template <int Shift>
inline __m128i Channel16(const __m128i p[4]) {
  const __m128i low = _mm_set1_epi32(0xFF);
  const __m128i v0 = _mm_and_si128(_mm_srli_epi32(p[0], Shift), low),
                v1 = _mm_and_si128(_mm_srli_epi32(p[1], Shift), low);
  const __m128i v2 = _mm_and_si128(_mm_srli_epi32(p[2], Shift), low),
                v3 = _mm_and_si128(_mm_srli_epi32(p[3], Shift), low);
  return _mm_packus_epi16(_mm_packs_epi32(v0, v1), _mm_packs_epi32(v2, v3));
}

void FillSse2(const uint8_t* pixels, uint32_t width, uint8_t* const cells[kHullChannels]) {
  uint32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i p[4] = {Load(pixels + 4 * size_t{x}), Load(pixels + 4 * size_t{x} + 16),
                          Load(pixels + 4 * size_t{x} + 32), Load(pixels + 4 * size_t{x} + 48)};
    Store(cells[0] + x, Channel16<0>(p));
    Store(cells[1] + x, Channel16<8>(p));
    Store(cells[2] + x, Channel16<16>(p));
  }
  FillTail(pixels, x, width, cells);
}

// Four pixels from the levels (alpha 0) joined with the pixels they replace.
inline __m128i Joined(__m128i rgb, __m128i old, const PixelSelection& selection) {
  if (selection.mode == Selection::ColorKey) {
    const __m128i keep = _mm_cmpeq_epi32(old, _mm_set1_epi32(static_cast<int>(selection.key)));
    return _mm_or_si128(_mm_and_si128(keep, old), _mm_andnot_si128(keep, rgb));
  }
  return _mm_or_si128(rgb, _mm_and_si128(old, _mm_set1_epi32(static_cast<int>(0xFF000000u))));
}

void WriteBackSse2(uint8_t* pixels, uint32_t width, const PixelSelection& selection,
                   const uint8_t* const cells[kHullChannels]) {
  uint32_t x = 0;
  const __m128i zero = _mm_setzero_si128();
  for (; x + 16 <= width; x += 16) {
    const __m128i blue = Load(cells[0] + x), green = Load(cells[1] + x), red = Load(cells[2] + x);
    const __m128i gb[2] = {_mm_unpacklo_epi8(blue, green), _mm_unpackhi_epi8(blue, green)};
    const __m128i r0[2] = {_mm_unpacklo_epi8(red, zero), _mm_unpackhi_epi8(red, zero)};
    uint8_t* const at = pixels + 4 * size_t{x};
    for (int half = 0; half < 2; ++half) {
      uint8_t* const quads = at + 32 * half;
      Store(quads, Joined(_mm_unpacklo_epi16(gb[half], r0[half]), Load(quads), selection));
      Store(quads + 16, Joined(_mm_unpackhi_epi16(gb[half], r0[half]), Load(quads + 16), selection));
    }
  }
  WriteBackTail(pixels, x, width, selection, cells);
}

constexpr HullRows kSse2{FirstRowSse2<RaiseFirst16, RaiseFirstScalar>,
                         FirstRowSse2<LowerFirst16, LowerFirstScalar>,
                         SecondRowSse2<RaiseSecond16, RaiseSecondScalar>,
                         SecondRowSse2<LowerSecond16, LowerSecondScalar>,
                         FillSse2,
                         WriteBackSse2};
#endif

constexpr HullRows kScalar{RaiseFirstScalar,  LowerFirstScalar, RaiseSecondScalar,
                           LowerSecondScalar, FillScalar,       WriteBackScalar};

}  // namespace

HullRows SelectHullRows(SimdLevel level) {
  switch (level) {
#if defined(__x86_64__) || defined(__i386__)
    case SimdLevel::Avx512: return HullRowsAvx512();
#if defined(__SSE2__)
    case SimdLevel::Avx2: return HullRowsAvx2(kSse2.fill, kSse2.writeBack);
#endif
#endif
#if defined(__SSE2__)
    case SimdLevel::Sse2: return kSse2;
#endif
    default: return kScalar;
  }
}

}  // namespace ormi
