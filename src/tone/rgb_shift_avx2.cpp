// The RGB shift's saturating pass with AVX2, compiled for that target alone and reached only where
// the processor has it.
#include "tone/rgb_shift_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

__attribute__((target("avx2"))) void RgbShiftAvx2(uint8_t* pixels, size_t count, const RgbShift& shift) {
  const __m256i add = _mm256_set1_epi32(static_cast<int>(shift.add));
  const __m256i sub = _mm256_set1_epi32(static_cast<int>(shift.sub));
  const __m256i key = _mm256_set1_epi32(static_cast<int>(shift.key));
  const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
  size_t i = 0;
  for (; i + 8 <= count; i += 8, pixels += 32) {
    const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels));
    __m256i result = _mm256_subs_epu8(_mm256_adds_epu8(value, add), sub);
    if (shift.keyed) {
      result = _mm256_blendv_epi8(_mm256_and_si256(result, colour), value, _mm256_cmpeq_epi32(value, key));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), result);
  }
  RgbShiftTail(pixels, count - i, shift);
}

}  // namespace ormi
#else
namespace ormi {
void RgbShiftAvx2(uint8_t* pixels, size_t count, const RgbShift& shift) { RgbShiftTail(pixels, count, shift); }
}  // namespace ormi
#endif
