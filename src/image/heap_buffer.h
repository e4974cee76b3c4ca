// Working buffers from the ordinary heap (not global memory), for the routines whose memory the
// host never sees. A failed allocation comes back as null, never as an exception.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ormi {

using HeapBytes = std::unique_ptr<uint8_t[]>;

// `bytes` uninitialised bytes, or null.
HeapBytes AllocateHeapBytes(size_t bytes);

// Test hook: the n-th AllocateHeapBytes from now fails (1 = the next); 0 cancels.
void FailNextHeapAllocation(long n);

}  // namespace ormi
