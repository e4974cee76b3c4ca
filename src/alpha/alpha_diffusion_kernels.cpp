#include "alpha/alpha_diffusion_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {

#if defined(__SSE2__)
size_t SkipNonZeroAlphasSse2(const uint8_t* row, size_t x, size_t end) {
  const __m128i zero = _mm_setzero_si128();
  for (; x + 4 <= end; x += 4) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * x));
    if ((_mm_movemask_epi8(_mm_cmpeq_epi8(pixels, zero)) & 0x8888) != 0) break;
  }
  return x;
}
#else
size_t SkipNonZeroAlphasSse2(const uint8_t*, size_t x, size_t) { return x; }
#endif

}  // namespace ormi
