#include "correction/gamma_correction_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace ormi {

#define ORMI_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace {

struct Table512 {
  __m512i quarter[4];
};

ORMI_AVX512 Table512 LoadTable(const uint8_t* map) {
  return {{_mm512_loadu_si512(map), _mm512_loadu_si512(map + 64), _mm512_loadu_si512(map + 128),
           _mm512_loadu_si512(map + 192)}};
}

ORMI_AVX512 inline __m512i Lookup(__m512i value, const Table512& t) {
  const __m512i low = _mm512_permutex2var_epi8(t.quarter[0], value, t.quarter[1]);
  const __m512i high = _mm512_permutex2var_epi8(t.quarter[2], value, t.quarter[3]);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(value), low, high);
}

// Bytes 0, 1 and 2 of every pixel: blue, green and red.
struct ColourMasks {
  __mmask64 blue, green, red;
};

// In 32-bit code a 64-bit mask constant cannot come from a general register: GCC rebuilt it from two
// halves stored to the stack at every step, a store-forwarding stall. The empty asm makes the masks
// values it must keep, set once before the loop.
ORMI_AVX512 inline ColourMasks MakeColourMasks() {
  ColourMasks m{0x1111111111111111ull, 0x2222222222222222ull, 0x4444444444444444ull};
  __asm__("" : "+k"(m.blue), "+k"(m.green), "+k"(m.red));
  return m;
}

ORMI_AVX512 inline __m512i MapStep(__m512i value, const Table512 (&t)[3], const ColourMasks& m, bool keyed,
                                   __m512i key) {
  __m512i result = _mm512_mask_blend_epi8(m.blue, value, Lookup(value, t[kBlue]));
  result = _mm512_mask_blend_epi8(m.green, result, Lookup(value, t[kGreen]));
  result = _mm512_mask_blend_epi8(m.red, result, Lookup(value, t[kRed]));
  if (keyed) {
    const __mmask64 equal = _mm512_cmpeq_epi8_mask(value, key) & (m.blue | m.green | m.red);
    const __m512i equalBytes = _mm512_movm_epi8(equal);
    result = _mm512_mask_blend_epi32(_mm512_test_epi32_mask(equalBytes, equalBytes), result, value);
  }
  return result;
}

}  // namespace

ORMI_AVX512 void MapChannelTables32Avx512(uint8_t* pixels, size_t count, const ChannelTables& tables,
                                          const ChannelKey& key) {
  const Table512 t[3] = {LoadTable(tables.map[kRed]), LoadTable(tables.map[kGreen]), LoadTable(tables.map[kBlue])};
  const ColourMasks masks = MakeColourMasks();
  const bool keyed = key.inForce();
  const __m512i keyPixel = _mm512_set1_epi32(static_cast<int>(key.pixelBytes()));
  size_t i = 0;
  for (; i + 16 <= count; i += 16, pixels += 64) {
    _mm512_storeu_si512(pixels, MapStep(_mm512_loadu_si512(pixels), t, masks, keyed, keyPixel));
  }
  if (i < count) {
    const auto lanes = static_cast<__mmask16>((1u << (count - i)) - 1);
    const __m512i value = _mm512_maskz_loadu_epi32(lanes, pixels);
    _mm512_mask_storeu_epi32(pixels, lanes, MapStep(value, t, masks, keyed, keyPixel));
  }
}

ChannelTablesKernel SelectChannelTablesKernel(SimdLevel level) {
  return level == SimdLevel::Avx512 ? MapChannelTables32Avx512 : nullptr;
}

}  // namespace ormi
#else
namespace ormi {
ChannelTablesKernel SelectChannelTablesKernel(SimdLevel) { return nullptr; }
}  // namespace ormi
#endif
