// The largest picture a reader allocates, unless its caller chooses another limit.
#pragma once

#include <cstdint>

namespace ormi::host {

// 2^28 pixels: a 16384 x 16384 picture, 1 GiB at 32 bits.
constexpr uint64_t kDefaultMaxPixels = uint64_t{1} << 28;

}  // namespace ormi::host
