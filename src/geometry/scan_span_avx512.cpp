// Vector spans with AVX-512: sixteen samples a step through a 32-bit gather.
#include "geometry/scan_span_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {
namespace {

#define ORMI_AVX512 __attribute__((target("avx512f")))

constexpr __mmask16 kAll = 0xFFFF;

template <ScanTransparency Mode>
ORMI_AVX512 inline __m512i Treat16(__m512i pixels, __m512i key) {
  const __m512i opaque = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
  if constexpr (Mode == ScanTransparency::AlphaKept) {
    return pixels;
  } else if constexpr (Mode == ScanTransparency::Opaque) {
    return _mm512_or_si512(pixels, opaque);
  } else {
    const __m512i made = _mm512_or_si512(pixels, opaque);
    return _mm512_maskz_mov_epi32(_mm512_cmpneq_epi32_mask(made, key), made);
  }
}

template <int B, ScanTransparency Mode>
struct Span {
  ORMI_AVX512 static int64_t Run(const ScanSpan& s);
};

template <int B, ScanTransparency Mode>
ORMI_AVX512 int64_t Span<B, Mode>::Run(const ScanSpan& s) {
  const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  __m512i u = _mm512_add_epi32(_mm512_set1_epi32(static_cast<int32_t>(s.u)),
                               _mm512_mullo_epi32(lane, _mm512_set1_epi32(static_cast<int32_t>(s.du))));
  __m512i v = _mm512_add_epi32(_mm512_set1_epi32(static_cast<int32_t>(s.v)),
                               _mm512_mullo_epi32(lane, _mm512_set1_epi32(static_cast<int32_t>(s.dv))));
  const __m512i du16 = _mm512_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.du) * 16u));
  const __m512i dv16 = _mm512_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.dv) * 16u));
  const __m512i width = _mm512_set1_epi32(static_cast<int32_t>(s.width));
  const __m512i key = _mm512_set1_epi32(static_cast<int32_t>(s.key));
  // Samples 0-7 and 8-15 each twice, for cells of two pixels.
  const __m512i firstTwice = _mm512_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
  const __m512i secondTwice = _mm512_add_epi32(firstTwice, _mm512_set1_epi32(8));
  int64_t k = 0;
  for (; k + 16 <= s.count; k += 16) {
    // The masked forms with every lane set: the plain ones leave GCC warning about their unused
    // undefined source operand.
    const __m512i index = _mm512_add_epi32(_mm512_mullo_epi32(_mm512_maskz_srli_epi32(kAll, v, 16), width),
                                           _mm512_maskz_srli_epi32(kAll, u, 16));
    const __m512i samples =
        Treat16<Mode>(_mm512_mask_i32gather_epi32(_mm512_setzero_si512(), kAll, index, s.source, 4), key);
    uint8_t* cell = s.cells + static_cast<size_t>(k) * 4 * B;
    if constexpr (B == 1) {
      _mm512_storeu_si512(cell, samples);
    } else {
      const __m512i low = _mm512_maskz_permutexvar_epi32(kAll, firstTwice, samples);
      const __m512i high = _mm512_maskz_permutexvar_epi32(kAll, secondTwice, samples);
      for (int r = 0; r < B; ++r, cell += s.rowBytes) {
        _mm512_storeu_si512(cell, low);
        _mm512_storeu_si512(cell + 64, high);
      }
    }
    u = _mm512_add_epi32(u, du16);
    v = _mm512_add_epi32(v, dv16);
  }
  return k;
}

}  // namespace

ScanSpanKernel ScanSpanAvx512(int cellSize, ScanTransparency mode) { return SpanKernelFor<Span>(cellSize, mode); }

}  // namespace ormi
#else
namespace ormi {
ScanSpanKernel ScanSpanAvx512(int, ScanTransparency) { return nullptr; }
}  // namespace ormi
#endif
