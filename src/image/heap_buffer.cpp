#include "image/heap_buffer.h"

#include <ormi/win32.h>

namespace ormi {

void HeapFreer::operator()(uint8_t* bytes) const { HeapFree(GetProcessHeap(), 0, bytes); }

HeapBytes AllocateHeapBytes(size_t bytes) {
  return HeapBytes(static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, bytes)));
}

}  // namespace ormi
