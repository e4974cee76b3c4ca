// The halo's fast path: most pixels of most pictures already have an alpha, which a pass keeps. A
// kernel passes over such pixels from x on, several at a time while all of them have a non-zero
// alpha, up to `end`, and returns the first pixel it did not pass; the scalar step takes that one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormi {

using SkipAlphasKernel = size_t (*)(const uint8_t* row, size_t x, size_t end);

size_t SkipNonZeroAlphasSse2(const uint8_t* row, size_t x, size_t end);
size_t SkipNonZeroAlphasAvx2(const uint8_t* row, size_t x, size_t end);

}  // namespace ormi
