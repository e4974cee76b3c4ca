// The two divisions by constants of the AVX-512 HSI pass, done with a product and one fused
// correction instead of the divider, over arrays so that they can be checked against the plain
// quotients for every value the pass feeds them. Only for a processor with AVX-512.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ormi {

// units[i] = bytes[i] / 255.0 (bytes in 0..255), as the pass finds kUnitOfByte.
void UnitsOfBytesAvx512(const int32_t* bytes, double* units, size_t count);

// turns[i] = sixths[i] / 6, as the pass finds a hue from its sixths.
void TurnsOfSixthsAvx512(const double* sixths, double* turns, size_t count);

}  // namespace ormi
