#include "image/heap_buffer.h"

#include <atomic>
#include <new>

namespace ormi {
namespace {

// Countdown of the test hook; 0 when no failure is pending.
std::atomic<long> heapFailureCountdown{0};

bool InjectedFailure() {
  long pending = heapFailureCountdown.load();
  while (pending > 0 && !heapFailureCountdown.compare_exchange_weak(pending, pending - 1)) {
  }
  return pending == 1;
}

}  // namespace

HeapBytes AllocateHeapBytes(size_t bytes) {
  if (InjectedFailure()) return nullptr;
  return HeapBytes(new (std::nothrow) uint8_t[bytes == 0 ? 1 : bytes]);
}

void FailNextHeapAllocation(long n) { heapFailureCountdown.store(n > 0 ? n : 0); }

}  // namespace ormi
