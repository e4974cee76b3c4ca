// The halo's fast path with AVX2: sixteen pixels a step, then eight.
#include "alpha/alpha_diffusion_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

namespace {

__attribute__((target("avx2"))) inline __m256i ZeroBytes(const uint8_t* row, size_t at) {
  return _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * at)), _mm256_setzero_si256());
}

}  // namespace

__attribute__((target("avx2"))) size_t SkipNonZeroAlphasAvx2(const uint8_t* row, size_t x, size_t end) {
  for (; x + 16 <= end; x += 16) {
    const __m256i either = _mm256_or_si256(ZeroBytes(row, x), ZeroBytes(row, x + 8));
    if ((static_cast<uint32_t>(_mm256_movemask_epi8(either)) & 0x88888888u) != 0) break;
  }
  for (; x + 8 <= end; x += 8) {
    if ((static_cast<uint32_t>(_mm256_movemask_epi8(ZeroBytes(row, x))) & 0x88888888u) != 0) break;
  }
  return SkipNonZeroAlphasSse2(row, x, end);
}

}  // namespace ormi
#else
namespace ormi {
size_t SkipNonZeroAlphasAvx2(const uint8_t* row, size_t x, size_t end) { return SkipNonZeroAlphasSse2(row, x, end); }
}  // namespace ormi
#endif
