// Vector spans with AVX2: eight samples a step through a 32-bit gather.
#include "geometry/scan_span_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {
namespace {

#define ORMI_AVX2 __attribute__((target("avx2")))

template <ScanTransparency Mode>
ORMI_AVX2 inline __m256i Treat8(__m256i pixels, __m256i key) {
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  if constexpr (Mode == ScanTransparency::AlphaKept) {
    return pixels;
  } else if constexpr (Mode == ScanTransparency::Opaque) {
    return _mm256_or_si256(pixels, opaque);
  } else {
    const __m256i made = _mm256_or_si256(pixels, opaque);
    return _mm256_andnot_si256(_mm256_cmpeq_epi32(made, key), made);
  }
}

template <int B, ScanTransparency Mode>
struct Span {
  ORMI_AVX2 static int64_t Run(const ScanSpan& s);
};

template <int B, ScanTransparency Mode>
ORMI_AVX2 int64_t Span<B, Mode>::Run(const ScanSpan& s) {
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i u = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(s.u)),
                               _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int32_t>(s.du))));
  __m256i v = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(s.v)),
                               _mm256_mullo_epi32(lane, _mm256_set1_epi32(static_cast<int32_t>(s.dv))));
  const __m256i du8 = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.du) * 8u));
  const __m256i dv8 = _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(s.dv) * 8u));
  const __m256i width = _mm256_set1_epi32(static_cast<int32_t>(s.width));
  const __m256i key = _mm256_set1_epi32(static_cast<int32_t>(s.key));
  const auto* source = reinterpret_cast<const int*>(s.source);
  int64_t k = 0;
  for (; k + 8 <= s.count; k += 8) {
    const __m256i index =
        _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(v, 16), width), _mm256_srli_epi32(u, 16));
    const __m256i samples = Treat8<Mode>(_mm256_i32gather_epi32(source, index, 4), key);
    uint8_t* cell = s.cells + static_cast<size_t>(k) * 4 * B;
    if constexpr (B == 1) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(cell), samples);
    } else {
      // Each sample twice, in order: samples 0-3 then 4-7 across the two halves.
      const __m256i ordered = _mm256_permute4x64_epi64(samples, 0xD8);
      const __m256i low = _mm256_unpacklo_epi32(ordered, ordered), high = _mm256_unpackhi_epi32(ordered, ordered);
      for (int r = 0; r < B; ++r, cell += s.rowBytes) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(cell), low);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(cell + 32), high);
      }
    }
    u = _mm256_add_epi32(u, du8);
    v = _mm256_add_epi32(v, dv8);
  }
  return k;
}

}  // namespace

ScanSpanKernel ScanSpanAvx2(int cellSize, ScanTransparency mode) { return SpanKernelFor<Span>(cellSize, mode); }

}  // namespace ormi
#else
namespace ormi {
ScanSpanKernel ScanSpanAvx2(int, ScanTransparency) { return nullptr; }
}  // namespace ormi
#endif
