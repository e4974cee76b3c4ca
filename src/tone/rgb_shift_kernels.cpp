// The RGB shift's saturating pass, per pixel for tails and with SSE2.
#include "tone/rgb_shift_kernels.h"

#include "image/dib.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ormi {
namespace {

uint32_t Part(int shift, bool positive) {
  const int part = positive ? shift : -shift;
  return static_cast<uint32_t>(part < 0 ? 0 : part > 255 ? 255 : part);
}

uint8_t ShiftByte(uint32_t byte, uint32_t add, uint32_t sub) {
  const uint32_t raised = byte + add > 255 ? 255 : byte + add;
  return static_cast<uint8_t>(raised < sub ? 0 : raised - sub);
}

}  // namespace

RgbShift MakeRgbShift(int redShift, int greenShift, int blueShift, bool keyed, uint32_t key) {
  return {Part(redShift, true) << 16 | Part(greenShift, true) << 8 | Part(blueShift, true),
          Part(redShift, false) << 16 | Part(greenShift, false) << 8 | Part(blueShift, false), keyed, key};
}

void RgbShiftTail(uint8_t* pixels, size_t count, const RgbShift& shift) {
  for (size_t i = 0; i < count; ++i, pixels += 4) {
    const uint32_t value = LoadPixel<uint32_t>(pixels);
    if (shift.keyed && value == shift.key) continue;
    uint32_t result = shift.keyed ? 0 : value & 0xFF000000u;
    for (uint32_t byte = 0; byte < 24; byte += 8)
      result |= uint32_t{ShiftByte((value >> byte) & 255, (shift.add >> byte) & 255, (shift.sub >> byte) & 255)}
                << byte;
    StorePixel<uint32_t>(pixels, result);
  }
}

#if defined(__SSE2__)
void RgbShiftSse2(uint8_t* pixels, size_t count, const RgbShift& shift) {
  const __m128i add = _mm_set1_epi32(static_cast<int>(shift.add));
  const __m128i sub = _mm_set1_epi32(static_cast<int>(shift.sub));
  const __m128i key = _mm_set1_epi32(static_cast<int>(shift.key));
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  size_t i = 0;
  for (; i + 4 <= count; i += 4, pixels += 16) {
    const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    __m128i result = _mm_subs_epu8(_mm_adds_epu8(value, add), sub);
    if (shift.keyed) {
      const __m128i stays = _mm_cmpeq_epi32(value, key);
      result = _mm_or_si128(_mm_and_si128(stays, value), _mm_andnot_si128(stays, _mm_and_si128(result, colour)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), result);
  }
  RgbShiftTail(pixels, count - i, shift);
}
#else
void RgbShiftSse2(uint8_t* pixels, size_t count, const RgbShift& shift) { RgbShiftTail(pixels, count, shift); }
#endif

RgbShiftKernel SelectRgbShift(SimdLevel level) {
  switch (level) {
    case SimdLevel::Avx512:
    case SimdLevel::Avx2: return RgbShiftAvx2;
    case SimdLevel::Sse2: return RgbShiftSse2;
    default: return nullptr;
  }
}

}  // namespace ormi
