// The process heap: ordinary allocations, counted so that tests see leaks, and failable on
// demand so that tests reach every out-of-memory path.
#include <ormi/win32.h>
#include <ormi/win32emu_testing.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

namespace ormi::win32emu {
namespace {

// Any fixed non-null value serves: there is one heap and it is never dereferenced.
HANDLE const kProcessHeap = reinterpret_cast<HANDLE>(std::uintptr_t{0x48454150});

struct ProcessHeap {
  std::mutex mutex;
  std::unordered_set<void*> live;
  long calls = 0;
  long failIn = 0;
};

// Never destroyed: static destructors elsewhere may still free blocks.
ProcessHeap& TheProcessHeap() {
  static ProcessHeap* heap = new ProcessHeap;
  return *heap;
}

}  // namespace
}  // namespace ormi::win32emu

using namespace ormi::win32emu;

extern "C" {

HANDLE GetProcessHeap(void) { return kProcessHeap; }

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  if (heap != kProcessHeap) return nullptr;
  ProcessHeap& process = TheProcessHeap();
  {
    std::lock_guard<std::mutex> lock(process.mutex);
    ++process.calls;
    if (process.failIn > 0 && --process.failIn == 0) return nullptr;
  }
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (!block) return nullptr;
  if (flags & HEAP_ZERO_MEMORY) std::memset(block, 0, bytes);
  std::lock_guard<std::mutex> lock(process.mutex);
  process.live.insert(block);
  return block;
}

BOOL HeapFree(HANDLE heap, DWORD, LPVOID mem) {
  if (heap != kProcessHeap) return FALSE;
  if (mem == nullptr) return TRUE;
  ProcessHeap& process = TheProcessHeap();
  {
    std::lock_guard<std::mutex> lock(process.mutex);
    if (process.live.erase(mem) == 0) return FALSE;  // not ours, or freed already
  }
  std::free(mem);
  return TRUE;
}

size_t Win32EmuLiveHeapBlocks(void) {
  ProcessHeap& process = TheProcessHeap();
  std::lock_guard<std::mutex> lock(process.mutex);
  return process.live.size();
}

void Win32EmuFailNextHeapAlloc(long n) {
  ProcessHeap& process = TheProcessHeap();
  std::lock_guard<std::mutex> lock(process.mutex);
  process.failIn = n > 0 ? n : 0;
}

long Win32EmuHeapAllocCalls(void) {
  ProcessHeap& process = TheProcessHeap();
  std::lock_guard<std::mutex> lock(process.mutex);
  return process.calls;
}

}  // extern "C"
