// The halo's fast path with AVX2: eight pixels a step.
#include "alpha/alpha_diffusion_kernels.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

__attribute__((target("avx2"))) size_t PassNonZeroAlphasAvx2(const uint8_t* row, size_t x, size_t end,
                                                             uint8_t* buffer) {
  const __m256i zero = _mm256_setzero_si256();
  // The alpha bytes 3, 7, 11, 15 of each 128-bit lane to its first four bytes.
  const __m256i gather = _mm256_setr_epi8(3, 7, 11, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 3, 7, 11, 15,
                                          -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  for (; x + 8 <= end; x += 8) {
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * x));
    if ((static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(pixels, zero))) & 0x88888888u) != 0) break;
    if (buffer == nullptr) continue;
    const __m256i alphas = _mm256_shuffle_epi8(pixels, gather);
    const uint32_t low = static_cast<uint32_t>(_mm256_cvtsi256_si32(alphas));
    const uint32_t high = static_cast<uint32_t>(_mm256_extract_epi32(alphas, 4));
    std::memcpy(buffer + x, &low, 4);
    std::memcpy(buffer + x + 4, &high, 4);
  }
  return PassNonZeroAlphasSse2(row, x, end, buffer);
}

}  // namespace ormi
#else
namespace ormi {
size_t PassNonZeroAlphasAvx2(const uint8_t* row, size_t x, size_t end, uint8_t* buffer) {
  return PassNonZeroAlphasSse2(row, x, end, buffer);
}
}  // namespace ormi
#endif
