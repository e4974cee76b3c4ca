// What the AVX2 filter rows share: the target attribute and the store of eight filtered pixels by
// the window walk's selection rules. Included only by *_avx2.cpp files.
#pragma once

#include <cstdint>

#include "image/transparency.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define ORMI_AVX2 __attribute__((target("avx2")))

namespace ormi::filter_avx2 {

// Eight filtered pixels (colour bytes in `bytes`) stored by the walk's rules: under a colour key the
// key's pixels stay and the others get alpha 0; otherwise the centre's alpha is kept, and under the
// alpha key pixels with alpha 0 stay.
ORMI_AVX2 inline void StoreSelected(const uint8_t* centreAt, uint8_t* outAt, __m256i bytes, Selection mode,
                                    uint32_t key) {
  const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i centre = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(centreAt));
  __m256i result;
  if (mode == Selection::ColorKey) {
    const __m256i rgb = _mm256_andnot_si256(alphaMask, bytes);
    result = _mm256_blendv_epi8(rgb, centre, _mm256_cmpeq_epi32(centre, _mm256_set1_epi32(static_cast<int>(key))));
  } else {
    const __m256i rgb = _mm256_or_si256(_mm256_andnot_si256(alphaMask, bytes), _mm256_and_si256(centre, alphaMask));
    result = mode == Selection::AlphaKey
                 ? _mm256_blendv_epi8(rgb, centre,
                                      _mm256_cmpeq_epi32(_mm256_and_si256(centre, alphaMask), _mm256_setzero_si256()))
                 : rgb;
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(outAt), result);
}

}  // namespace ormi::filter_avx2

#endif
