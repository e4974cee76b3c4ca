// The SSE2 filter rows' store of four filtered pixels by the window walk's selection rules (see
// filter_store_avx2.h), with masks in place of SSE4's blend.
#pragma once

#include <cstdint>

#include "image/transparency.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace ormi::filter_sse2 {

inline void StoreSelected(const uint8_t* centreAt, uint8_t* outAt, __m128i bytes, Selection mode, uint32_t key) {
  const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i centre = _mm_loadu_si128(reinterpret_cast<const __m128i*>(centreAt));
  __m128i result = _mm_andnot_si128(alphaMask, bytes);
  __m128i keep = _mm_setzero_si128();
  if (mode == Selection::ColorKey) {
    keep = _mm_cmpeq_epi32(centre, _mm_set1_epi32(static_cast<int>(key)));
  } else {
    result = _mm_or_si128(result, _mm_and_si128(centre, alphaMask));
    if (mode == Selection::AlphaKey) keep = _mm_cmpeq_epi32(_mm_and_si128(centre, alphaMask), _mm_setzero_si128());
  }
  result = _mm_or_si128(_mm_and_si128(keep, centre), _mm_andnot_si128(keep, result));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(outAt), result);
}

}  // namespace ormi::filter_sse2

#endif
