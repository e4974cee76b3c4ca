// Working buffers from the process heap (not global memory), for the routines whose memory the
// host never sees. A failed allocation comes back as null, never as an exception.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ormi {

struct HeapFreer {
  void operator()(uint8_t* bytes) const;
};
using HeapBytes = std::unique_ptr<uint8_t[], HeapFreer>;

// `bytes` uninitialised bytes, or null.
HeapBytes AllocateHeapBytes(size_t bytes);

}  // namespace ormi
