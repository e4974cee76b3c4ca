// Address-space helpers of the emulation: everything it hands out must fit in 32 bits.
#ifndef ORMI_PLATFORM_LOW_MEMORY_H
#define ORMI_PLATFORM_LOW_MEMORY_H

#include <cstddef>
#include <cstdint>

namespace ormi::win32emu {

// Highest address (exclusive) we map: below 2 GiB, and clear of AddressSanitizer's shadow at 0x7fff8000.
inline constexpr std::uintptr_t kLowLimit = 0x7fff0000u;

std::size_t PageSize();

// Maps `bytes` (a multiple of the page size) of private anonymous memory with `prot`, entirely
// below kLowLimit. Returns nullptr when no such room is left.
void* MapLow(std::size_t bytes, int prot);

// A range of handle values that is never handed out as memory: `slots` values, `stride` bytes apart,
// inside an inaccessible reservation. Returns the first value, or 0 on failure.
std::uintptr_t ReserveHandleRange(std::size_t slots, std::size_t stride);

}  // namespace ormi::win32emu

#endif  // ORMI_PLATFORM_LOW_MEMORY_H
