// The word pass of invert: every 32-bit word w of a run becomes (w ^ flip) & keep, except words
// equal to the key when there is one. Whole-image complements, the 32-bit colour complement and
// the keyed 32-bit complement are all this pass with different masks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd_level.h"

namespace ormi {

struct WordRule {
  uint32_t flip;
  uint32_t keep;
  bool keyed;
  uint32_t key;
};

// The per-word step that every level's heads and tails share with the scalar pass.
inline uint32_t InvertWord(uint32_t word, const WordRule& rule) {
  if (rule.keyed && word == rule.key) return word;
  return (word ^ rule.flip) & rule.keep;
}

using InvertWordsKernel = void (*)(uint8_t* words, size_t count, const WordRule& rule);

void InvertWordsScalar(uint8_t* words, size_t count, const WordRule& rule);
void InvertWordsSse2(uint8_t* words, size_t count, const WordRule& rule);
void InvertWordsAvx2(uint8_t* words, size_t count, const WordRule& rule);

// The kernel for the active level, chosen once per call.
InvertWordsKernel SelectInvertWords(SimdLevel level);

}  // namespace ormi
