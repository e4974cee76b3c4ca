// Despeckle's row kernels with AVX-512, 64 cells a step. The unsigned byte comparisons give masks
// directly, a second condition is tested only under the first one's mask, and the masked add or
// subtraction of one moves the chosen cells:
//   raise, first pass:  a > b
//   lower, first pass:  (b -sat a) > 1, that is b > a + 1
//   raise, second pass: a >= b (a + 1 > b), then c > b
//   lower, second pass: (b -sat a) > 1, then c < b
// A row's last cells go through masked loads and stores. The fill and the write-back move 64
// pixels through byte permutes (VBMI): two-register permutes gather a channel of 32 pixels and the
// 128-bit lane shuffles join them; back, one permute interleaves blue and green, one more places
// red, and the old alpha or the key's pixels are blended in by mask.
#include "filters/despeckle_rows.h"

#if defined(__x86_64__) || defined(__i386__)
// GCC 12's AVX-512 intrinsics start from an undefined register that its own warning then flags.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#define ORMI_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace ormi {
namespace {

// The first `count` (< 64) bytes, joined from two 32-bit halves: 32-bit code has no 64-bit general
// register, and a 64-bit mask built in two of them goes through the stack, a store-forwarding stall.
ORMI_AVX512 inline __mmask64 FirstBytes(size_t count) {
  const uint32_t low = count >= 32 ? ~0u : (1u << count) - 1;
  const uint32_t high = count > 32 ? (1u << (count - 32)) - 1 : 0u;
  return _mm512_kunpackd(_cvtu32_mask32(high), _cvtu32_mask32(low));
}
// The first `count` (0..64) pixels of 16-pixel block `block`.
ORMI_AVX512 inline __mmask16 BlockPixels(size_t count, size_t block) {
  const size_t from = 16 * block;
  if (count <= from) return 0;
  return count - from >= 16 ? __mmask16{0xFFFF} : static_cast<__mmask16>((1u << (count - from)) - 1);
}

ORMI_AVX512 inline __m512i RaiseFirst64(__m512i b, __m512i a) {
  return _mm512_mask_add_epi8(b, _mm512_cmpgt_epu8_mask(a, b), b, _mm512_set1_epi8(1));
}
ORMI_AVX512 inline __m512i LowerFirst64(__m512i b, __m512i a) {
  const __mmask64 down = _mm512_cmpgt_epu8_mask(_mm512_subs_epu8(b, a), _mm512_set1_epi8(1));
  return _mm512_mask_sub_epi8(b, down, b, _mm512_set1_epi8(1));
}
ORMI_AVX512 inline __m512i RaiseSecond64(__m512i b, __m512i a, __m512i c) {
  const __mmask64 up = _mm512_mask_cmpgt_epu8_mask(_mm512_cmpge_epu8_mask(a, b), c, b);
  return _mm512_mask_add_epi8(b, up, b, _mm512_set1_epi8(1));
}
ORMI_AVX512 inline __m512i LowerSecond64(__m512i b, __m512i a, __m512i c) {
  const __mmask64 down =
      _mm512_mask_cmplt_epu8_mask(_mm512_cmpgt_epu8_mask(_mm512_subs_epu8(b, a), _mm512_set1_epi8(1)), c, b);
  return _mm512_mask_sub_epi8(b, down, b, _mm512_set1_epi8(1));
}

template <__m512i (*Kernel)(__m512i, __m512i)>
ORMI_AVX512 void FirstRowAvx512(const uint8_t* b, const uint8_t* a, uint8_t* out, size_t n) {
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    _mm512_storeu_si512(out + i, Kernel(_mm512_loadu_si512(b + i), _mm512_loadu_si512(a + i)));
  }
  if (i < n) {
    const __mmask64 m = FirstBytes(n - i);
    _mm512_mask_storeu_epi8(out + i, m, Kernel(_mm512_maskz_loadu_epi8(m, b + i), _mm512_maskz_loadu_epi8(m, a + i)));
  }
}

template <__m512i (*Kernel)(__m512i, __m512i, __m512i)>
ORMI_AVX512 void SecondRowAvx512(const uint8_t* b, const uint8_t* a, const uint8_t* c, uint8_t* out, size_t n) {
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    _mm512_storeu_si512(out + i,
                        Kernel(_mm512_loadu_si512(b + i), _mm512_loadu_si512(a + i), _mm512_loadu_si512(c + i)));
  }
  if (i < n) {
    const __mmask64 m = FirstBytes(n - i);
    _mm512_mask_storeu_epi8(out + i, m,
                            Kernel(_mm512_maskz_loadu_epi8(m, b + i), _mm512_maskz_loadu_epi8(m, a + i),
                                   _mm512_maskz_loadu_epi8(m, c + i)));
  }
}

// A fused step on 64 cells at i (see HullStepRow): the first pass at the cell, at -o and at +o, then
// the second; lanes past `m` are not loaded.
template <bool kRaise, bool kBehind, bool kAhead>
ORMI_AVX512 inline __m512i Step64(const uint8_t* mid, const uint8_t* behind, const uint8_t* ahead,
                                  const uint8_t* ahead2, size_t i, __mmask64 m) {
  constexpr auto first = kRaise ? RaiseFirst64 : LowerFirst64;
  constexpr auto second = kRaise ? RaiseSecond64 : LowerSecond64;
  const __m512i b = _mm512_maskz_loadu_epi8(m, mid + i), a = _mm512_maskz_loadu_epi8(m, ahead + i);
  const __m512i zero = _mm512_setzero_si512();
  const __m512i before = kBehind ? first(_mm512_maskz_loadu_epi8(m, behind + i), b) : zero;
  const __m512i after = kAhead ? first(a, _mm512_maskz_loadu_epi8(m, ahead2 + i)) : zero;
  return second(first(b, a), before, after);
}

template <bool kRaise, bool kBehind, bool kAhead>
ORMI_AVX512 void StepCellsAvx512(const uint8_t* mid, const uint8_t* behind, const uint8_t* ahead, const uint8_t* ahead2,
                                 uint8_t* out, size_t from, size_t to) {
  const __mmask64 all = _cvtu64_mask64(~uint64_t{0});
  size_t i = from;
  for (; i + 64 <= to; i += 64) {
    _mm512_storeu_si512(out + i, Step64<kRaise, kBehind, kAhead>(mid, behind, ahead, ahead2, i, all));
  }
  if (i < to) {
    const __mmask64 m = FirstBytes(to - i);
    _mm512_mask_storeu_epi8(out + i, m, Step64<kRaise, kBehind, kAhead>(mid, behind, ahead, ahead2, i, m));
  }
}

// Cells 1 .. n - 2 (all of them when dx is 0) in registers; the two end cells, whose neighbour
// columns may leave the image, one at a time.
template <bool kRaise>
ORMI_AVX512 void StepRowAvx512(const uint8_t* mid, const uint8_t* behind, const uint8_t* ahead, const uint8_t* ahead2,
                               bool behindLive, bool aheadLive, int dx, uint8_t* out, size_t n) {
  const size_t from = dx != 0 ? 1 : 0, to = dx != 0 && n > 0 ? n - 1 : n;
  if (from < to) {
    if (behindLive && aheadLive) {
      StepCellsAvx512<kRaise, true, true>(mid, behind, ahead, ahead2, out, from, to);
    } else if (behindLive) {
      StepCellsAvx512<kRaise, true, false>(mid, behind, ahead, ahead2, out, from, to);
    } else if (aheadLive) {
      StepCellsAvx512<kRaise, false, true>(mid, behind, ahead, ahead2, out, from, to);
    } else {
      StepCellsAvx512<kRaise, false, false>(mid, behind, ahead, ahead2, out, from, to);
    }
  }
  if (dx != 0) {
    const int sense = kRaise ? 1 : -1;
    StepCells(sense, mid, behind, ahead, ahead2, behindLive, aheadLive, dx, out, 0, n < 1 ? n : 1, n);
    if (n >= 2) StepCells(sense, mid, behind, ahead, ahead2, behindLive, aheadLive, dx, out, n - 1, n, n);
  }
}

// Two rows of a step on 64 cells at i (see HullStepPairRow): the four first-pass rows n - o .. n + 2o
// at the columns row n's cells i.. pair with, then row n at i and row n + o at i + dx.
template <bool kRaise, bool kFirst, bool kLast>
ORMI_AVX512 inline void StepPair64(const uint8_t* const at[5], uint8_t* out0, uint8_t* out1, size_t i, __mmask64 m) {
  constexpr auto first = kRaise ? RaiseFirst64 : LowerFirst64;
  constexpr auto second = kRaise ? RaiseSecond64 : LowerSecond64;
  const __m512i zero = _mm512_setzero_si512();
  const __m512i r0 = _mm512_maskz_loadu_epi8(m, at[1] + i), r1 = _mm512_maskz_loadu_epi8(m, at[2] + i),
                r2 = _mm512_maskz_loadu_epi8(m, at[3] + i);
  const __m512i f0 = first(r0, r1), f1 = first(r1, r2);
  const __m512i fBehind = kFirst ? first(_mm512_maskz_loadu_epi8(m, at[0] + i), r0) : zero;
  const __m512i fAhead = kLast ? first(r2, _mm512_maskz_loadu_epi8(m, at[4] + i)) : zero;
  _mm512_mask_storeu_epi8(out0 + i, m, second(f0, fBehind, f1));
  _mm512_mask_storeu_epi8(out1 + i, m, second(f1, f0, fAhead));
}

template <bool kRaise, bool kFirst, bool kLast>
ORMI_AVX512 void StepPairCellsAvx512(const uint8_t* const at[5], uint8_t* out0, uint8_t* out1, size_t from, size_t to) {
  const __mmask64 all = _cvtu64_mask64(~uint64_t{0});
  size_t i = from;
  for (; i + 64 <= to; i += 64) StepPair64<kRaise, kFirst, kLast>(at, out0, out1, i, all);
  if (i < to) StepPair64<kRaise, kFirst, kLast>(at, out0, out1, i, FirstBytes(to - i));
}

// Row n's cells from .. to - 1 in registers, with row n + o's one column over (by dx), so that
// neither meets a column whose neighbours leave the image; the cells left, one at a time.
template <bool kRaise>
ORMI_AVX512 void StepPairRowAvx512(const uint8_t* const rows[5], bool firstLive, bool lastLive, int dx, uint8_t* out0,
                                   uint8_t* out1, size_t n) {
  const int sense = kRaise ? 1 : -1;
  const size_t from = dx < 0 ? 2 : dx > 0 ? 1 : 0, to = dx == 0 ? n : n > 2 ? n - 1 - (dx > 0) : 0;
  const auto shift = static_cast<ptrdiff_t>(dx);
  const auto cells0 = [&](size_t a, size_t b) {
    StepCells(sense, rows[1], rows[0] - shift, rows[2] + shift, rows[3] + 2 * shift, firstLive, true, dx, out0, a, b,
              n);
  };
  const auto cells1 = [&](size_t a, size_t b) {
    StepCells(sense, rows[2], rows[1] - shift, rows[3] + shift, rows[4] + 2 * shift, true, lastLive, dx, out1, a, b, n);
  };
  if (from >= to) {
    cells0(0, n);
    cells1(0, n);
    return;
  }
  const uint8_t* const at[5] = {rows[0] - shift, rows[1], rows[2] + shift, rows[3] + 2 * shift, rows[4] + 3 * shift};
  uint8_t* const shifted = out1 + shift;
  if (firstLive && lastLive) {
    StepPairCellsAvx512<kRaise, true, true>(at, out0, shifted, from, to);
  } else if (firstLive) {
    StepPairCellsAvx512<kRaise, true, false>(at, out0, shifted, from, to);
  } else if (lastLive) {
    StepPairCellsAvx512<kRaise, false, true>(at, out0, shifted, from, to);
  } else {
    StepPairCellsAvx512<kRaise, false, false>(at, out0, shifted, from, to);
  }
  if (dx != 0) {
    cells0(0, from);
    cells0(to, n);
    cells1(0, static_cast<size_t>(static_cast<ptrdiff_t>(from) + shift));
    cells1(static_cast<size_t>(static_cast<ptrdiff_t>(to) + shift), n);
  }
}

// Byte indices into two registers of 32 pixels: blue of pixels 0..31, then green of pixels 0..31;
// and red of pixels 0..31 in both halves.
ORMI_AVX512 inline __m512i BlueGreenIndices() {
  alignas(64) uint8_t idx[64];
  for (int j = 0; j < 64; ++j) idx[j] = static_cast<uint8_t>(j < 32 ? 4 * j : 4 * (j - 32) + 1);
  return _mm512_load_si512(idx);
}
ORMI_AVX512 inline __m512i RedIndices() {
  alignas(64) uint8_t idx[64];
  for (int j = 0; j < 64; ++j) idx[j] = static_cast<uint8_t>(4 * (j % 32) + 2);
  return _mm512_load_si512(idx);
}

// Up to 64 pixels (count) into the three channel rows.
ORMI_AVX512 inline void Fill64(const uint8_t* pixels, size_t count, uint8_t* const cells[kHullChannels],
                               __m512i blueGreen, __m512i red) {
  __m512i p[4];
  for (size_t k = 0; k < 4; ++k) p[k] = _mm512_maskz_loadu_epi32(BlockPixels(count, k), pixels + 64 * k);
  const __m512i bg01 = _mm512_permutex2var_epi8(p[0], blueGreen, p[1]);
  const __m512i bg23 = _mm512_permutex2var_epi8(p[2], blueGreen, p[3]);
  const __m512i r01 = _mm512_permutex2var_epi8(p[0], red, p[1]);
  const __m512i r23 = _mm512_permutex2var_epi8(p[2], red, p[3]);
  const __mmask64 m = count >= 64 ? _cvtu64_mask64(~uint64_t{0}) : FirstBytes(count);
  _mm512_mask_storeu_epi8(cells[0], m, _mm512_shuffle_i64x2(bg01, bg23, _MM_SHUFFLE(1, 0, 1, 0)));
  _mm512_mask_storeu_epi8(cells[1], m, _mm512_shuffle_i64x2(bg01, bg23, _MM_SHUFFLE(3, 2, 3, 2)));
  _mm512_mask_storeu_epi8(cells[2], m, _mm512_shuffle_i64x2(r01, r23, _MM_SHUFFLE(1, 0, 1, 0)));
}

ORMI_AVX512 void FillAvx512(const uint8_t* pixels, uint32_t width, uint8_t* const cells[kHullChannels]) {
  const __m512i blueGreen = BlueGreenIndices(), red = RedIndices();
  for (uint32_t x = 0; x < width; x += 64) {
    uint8_t* const at[kHullChannels] = {cells[0] + x, cells[1] + x, cells[2] + x};
    Fill64(pixels + 4 * size_t{x}, width - x, at, blueGreen, red);
  }
}

// For 16-pixel block k: byte 4i from blue cell 16k + i, byte 4i + 1 from green cell 16k + i (the
// second register), byte 4i + 2 from red cell 16k + i (a one-register permute reads the low six
// bits).
ORMI_AVX512 inline __m512i PixelIndices(int k) {
  alignas(64) uint8_t idx[64];
  for (int i = 0; i < 16; ++i) {
    idx[4 * i] = static_cast<uint8_t>(16 * k + i);
    idx[4 * i + 1] = static_cast<uint8_t>(64 + 16 * k + i);
    idx[4 * i + 2] = static_cast<uint8_t>(16 * k + i);
    idx[4 * i + 3] = 0;
  }
  return _mm512_load_si512(idx);
}

ORMI_AVX512 void WriteBackAvx512(uint8_t* pixels, uint32_t width, const PixelSelection& selection,
                                 const uint8_t* const cells[kHullChannels]) {
  const __m512i indices[4] = {PixelIndices(0), PixelIndices(1), PixelIndices(2), PixelIndices(3)};
  __mmask64 blueGreenBytes = 0x3333333333333333ull, redBytes = 0x4444444444444444ull,
            alphaBytes = 0x8888888888888888ull;
  // In 32-bit code GCC rebuilt these constants on the stack for every block, from two halves: a
  // store-forwarding stall each. The empty asm makes them values it keeps in mask registers.
  __asm__("" : "+k"(blueGreenBytes), "+k"(redBytes), "+k"(alphaBytes));
  const bool keyed = selection.mode == Selection::ColorKey;
  const __m512i key = _mm512_set1_epi32(static_cast<int>(selection.key));
  for (uint32_t x = 0; x < width; x += 64) {
    const size_t count = width - x;
    const __mmask64 m = count >= 64 ? _cvtu64_mask64(~uint64_t{0}) : FirstBytes(count);
    const __m512i blue = _mm512_maskz_loadu_epi8(m, cells[0] + x), green = _mm512_maskz_loadu_epi8(m, cells[1] + x),
                  red = _mm512_maskz_loadu_epi8(m, cells[2] + x);
    for (int k = 0; k < 4; ++k) {
      const __mmask16 in = BlockPixels(count, static_cast<size_t>(k));
      if (in == 0) break;
      uint8_t* const at = pixels + 4 * (size_t{x} + 16 * static_cast<size_t>(k));
      const __m512i old = _mm512_maskz_loadu_epi32(in, at);
      const __m512i rgb = _mm512_mask_permutexvar_epi8(
          _mm512_maskz_permutex2var_epi8(blueGreenBytes, blue, indices[k], green), redBytes, indices[k], red);
      const __m512i joined = keyed ? _mm512_mask_mov_epi32(rgb, _mm512_cmpeq_epi32_mask(old, key), old)
                                   : _mm512_mask_mov_epi8(rgb, alphaBytes, old);
      _mm512_mask_storeu_epi32(at, in, joined);
    }
  }
}

}  // namespace

HullRows HullRowsAvx512() {
  return {FirstRowAvx512<RaiseFirst64>,
          FirstRowAvx512<LowerFirst64>,
          SecondRowAvx512<RaiseSecond64>,
          SecondRowAvx512<LowerSecond64>,
          FillAvx512,
          WriteBackAvx512,
          StepRowAvx512<true>,
          StepRowAvx512<false>,
          StepPairRowAvx512<true>,
          StepPairRowAvx512<false>};
}

}  // namespace ormi
#endif
