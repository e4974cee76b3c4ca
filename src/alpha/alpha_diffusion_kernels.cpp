#include "alpha/alpha_diffusion_kernels.h"

#include "image/dib.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {

#if defined(__SSE2__)
size_t PassNonZeroAlphasSse2(const uint8_t* row, size_t x, size_t end, uint8_t* buffer) {
  const __m128i zero = _mm_setzero_si128();
  for (; x + 4 <= end; x += 4) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * x));
    if ((_mm_movemask_epi8(_mm_cmpeq_epi8(pixels, zero)) & 0x8888) != 0) break;
    if (buffer == nullptr) continue;
    const __m128i alphas = _mm_srli_epi32(pixels, 24);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(alphas, alphas), zero);
    StorePixel<uint32_t>(buffer + x, static_cast<uint32_t>(_mm_cvtsi128_si32(bytes)));
  }
  return x;
}
#else
size_t PassNonZeroAlphasSse2(const uint8_t*, size_t x, size_t, uint8_t*) { return x; }
#endif

}  // namespace ormi
