// Global and local memory: every block is its own low mapping whose data ends right before an
// inaccessible guard page, so overruns fault at once instead of corrupting a neighbour.
//
//   [ rw pages ............ | data (size bytes) ][ guard page, PROT_NONE ]
//
// A fixed block's handle is its data pointer. A moveable block's handle is a slot address inside
// an inaccessible reservation, so it can never equal a data pointer and is never dereferenced.
// Every call looks its argument up in a table first, so bad or stale handles fail without a crash.
#include <ormi/win32.h>
#include <ormi/win32emu_testing.h>

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "low_memory.h"

namespace ormi::win32emu {
namespace {

constexpr std::size_t kHandleSlots = std::size_t{1} << 18;
constexpr std::size_t kHandleStride = 8;
constexpr std::size_t kMaxBlockBytes = std::size_t{1} << 31;
constexpr unsigned kMaxLockCount = 0xFF;
// Blocks without GMEM_ZEROINIT get garbage, so code that relies on zeros shows up in tests. Huge
// blocks get it only at both ends, to keep allocating them cheap.
constexpr int kFillByte = 0xCD;
constexpr std::size_t kFullFillLimit = std::size_t{64} << 20;
constexpr std::size_t kPartialFill = std::size_t{4} << 20;
// Image-sized blocks ask for transparent huge pages: a fresh 64 MB block otherwise costs 16384
// page faults, which take longer than the effect that fills it. ORMI_HUGE_PAGES=0 in the
// environment refuses them instead, so that benchmarks show what 4 KB pages cost a Windows host.
constexpr std::size_t kHugePageThreshold = std::size_t{2} << 20;

int HugePageAdvice() {
  static const int advice = [] {
    const char* setting = std::getenv("ORMI_HUGE_PAGES");
    return setting != nullptr && std::strcmp(setting, "0") == 0 ? MADV_NOHUGEPAGE : MADV_HUGEPAGE;
  }();
  return advice;
}

struct Block {
  std::byte* map;
  std::size_t mapBytes;
  std::byte* data;
  std::size_t size;
  std::uintptr_t handle;
  bool moveable;
  unsigned locks;
};

struct Heap {
  std::mutex mutex;
  std::unordered_map<std::uintptr_t, Block> byData;          // data pointer -> block
  std::unordered_map<std::uintptr_t, std::uintptr_t> slots;  // moveable handle -> data pointer
  std::uintptr_t slotBase = 0;
  std::size_t nextSlot = 0;
  std::size_t liveBytes = 0;
  long allocCalls = 0;
  long lockCalls = 0;
  long failAllocIn = 0;
  long failLockIn = 0;
};

// Never destroyed: the library may free blocks from its own static destructors.
Heap& TheHeap() {
  static Heap* heap = new Heap;
  return *heap;
}

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// Counts one call against an armed countdown; true when this call is the one that must fail.
bool Fires(long& countdown) {
  if (countdown <= 0) return false;
  return --countdown == 0;
}

// The block behind a moveable handle or a fixed block's pointer; nullptr for anything else.
Block* Find(Heap& heap, const void* handle) {
  std::uintptr_t value = Address(handle);
  if (value == 0) return nullptr;
  auto slot = heap.slots.find(value);
  if (slot != heap.slots.end()) return &heap.byData.at(slot->second);
  auto block = heap.byData.find(value);
  if (block == heap.byData.end() || block->second.moveable) return nullptr;
  return &block->second;
}

// A free moveable handle value, cycling through the slots so a freed handle is not reused soon.
std::uintptr_t TakeSlot(Heap& heap) {
  if (heap.slotBase == 0) {
    heap.slotBase = ReserveHandleRange(kHandleSlots, kHandleStride);
    if (heap.slotBase == 0) return 0;
  }
  if (heap.slots.size() >= kHandleSlots) return 0;
  for (;;) {
    std::uintptr_t handle = heap.slotBase + heap.nextSlot * kHandleStride;
    heap.nextSlot = (heap.nextSlot + 1) % kHandleSlots;
    if (heap.slots.count(handle) == 0) return handle;
  }
}

void FillGarbage(std::byte* data, std::size_t size) {
  if (size <= kFullFillLimit) {
    std::memset(data, kFillByte, size);
  } else {
    std::memset(data, kFillByte, kPartialFill);
    std::memset(data + size - kPartialFill, kFillByte, kPartialFill);
  }
}

void* Allocate(UINT flags, SIZE_T bytes) {
  Heap& heap = TheHeap();
  {
    std::lock_guard<std::mutex> lock(heap.mutex);
    ++heap.allocCalls;
    if (Fires(heap.failAllocIn)) return nullptr;
  }
  if (bytes > kMaxBlockBytes) return nullptr;
  const std::size_t page = PageSize();
  const std::size_t dataSpan = (bytes + page - 1) / page * page;
  const std::size_t mapBytes = dataSpan + page;
  auto* map = static_cast<std::byte*>(MapLow(mapBytes, PROT_READ | PROT_WRITE));
  if (map == nullptr) return nullptr;
  if (mprotect(map + dataSpan, page, PROT_NONE) != 0) {
    munmap(map, mapBytes);
    return nullptr;
  }
  if (dataSpan >= kHugePageThreshold) madvise(map, dataSpan, HugePageAdvice());  // a hint: failure is harmless
  std::byte* data = map + dataSpan - bytes;
  if ((flags & GMEM_ZEROINIT) == 0) FillGarbage(data, bytes);  // fresh mappings are already zero

  const bool moveable = (flags & GMEM_MOVEABLE) != 0;
  std::lock_guard<std::mutex> lock(heap.mutex);
  std::uintptr_t handle = Address(data);
  if (moveable) {
    handle = TakeSlot(heap);
    if (handle == 0) {
      munmap(map, mapBytes);
      return nullptr;
    }
    heap.slots.emplace(handle, Address(data));
  }
  heap.byData.emplace(Address(data), Block{map, mapBytes, data, bytes, handle, moveable, 0});
  heap.liveBytes += bytes;
  return reinterpret_cast<void*>(handle);
}

void* Free(void* handle) {
  Heap& heap = TheHeap();
  Block block{};
  {
    std::lock_guard<std::mutex> lock(heap.mutex);
    Block* found = Find(heap, handle);
    if (found == nullptr) return handle;
    block = *found;
    if (block.moveable) heap.slots.erase(block.handle);
    heap.byData.erase(Address(block.data));
    heap.liveBytes -= block.size;
  }
  munmap(block.map, block.mapBytes);  // unreachable from the tables already
  return nullptr;
}

}  // namespace
}  // namespace ormi::win32emu

using namespace ormi::win32emu;

extern "C" {

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) { return Allocate(flags, bytes); }

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) { return Allocate(flags, bytes); }

HGLOBAL GlobalFree(HGLOBAL mem) { return Free(mem); }

HLOCAL LocalFree(HLOCAL mem) { return Free(mem); }

LPVOID GlobalLock(HGLOBAL mem) {
  Heap& heap = TheHeap();
  std::lock_guard<std::mutex> lock(heap.mutex);
  ++heap.lockCalls;
  if (Fires(heap.failLockIn)) return nullptr;
  Block* block = Find(heap, mem);
  if (block == nullptr) return nullptr;
  if (block->moveable && block->locks < kMaxLockCount) ++block->locks;  // saturates, as Win32 does
  return block->data;
}

// Nonzero only while a moveable block stays locked; a fixed block has no lock count, so it is
// "unlocked" after the call and the answer is 0.
BOOL GlobalUnlock(HGLOBAL mem) {
  Heap& heap = TheHeap();
  std::lock_guard<std::mutex> lock(heap.mutex);
  Block* block = Find(heap, mem);
  if (block == nullptr || !block->moveable || block->locks == 0) return FALSE;
  --block->locks;
  return block->locks != 0 ? TRUE : FALSE;
}

HGLOBAL GlobalHandle(LPCVOID pointer) {
  Heap& heap = TheHeap();
  std::lock_guard<std::mutex> lock(heap.mutex);
  auto block = heap.byData.find(Address(pointer));
  if (pointer == nullptr || block == heap.byData.end()) return nullptr;
  return reinterpret_cast<HGLOBAL>(block->second.handle);
}

SIZE_T GlobalSize(HGLOBAL mem) {
  Heap& heap = TheHeap();
  std::lock_guard<std::mutex> lock(heap.mutex);
  Block* block = Find(heap, mem);
  return block != nullptr ? block->size : 0;
}

UINT GlobalFlags(HGLOBAL mem) {
  Heap& heap = TheHeap();
  std::lock_guard<std::mutex> lock(heap.mutex);
  Block* block = Find(heap, mem);
  return block != nullptr ? (block->locks & GMEM_LOCKCOUNT) : GMEM_INVALID_HANDLE;
}

size_t Win32EmuLiveBlocks(void) {
  Heap& heap = TheHeap();
  std::lock_guard<std::mutex> lock(heap.mutex);
  return heap.byData.size();
}

size_t Win32EmuLiveBytes(void) {
  Heap& heap = TheHeap();
  std::lock_guard<std::mutex> lock(heap.mutex);
  return heap.liveBytes;
}

void Win32EmuFailNextAlloc(long n) {
  Heap& heap = TheHeap();
  std::lock_guard<std::mutex> lock(heap.mutex);
  heap.failAllocIn = n > 0 ? n : 0;
}

void Win32EmuFailNextLock(long n) {
  Heap& heap = TheHeap();
  std::lock_guard<std::mutex> lock(heap.mutex);
  heap.failLockIn = n > 0 ? n : 0;
}

long Win32EmuAllocCalls(void) {
  Heap& heap = TheHeap();
  std::lock_guard<std::mutex> lock(heap.mutex);
  return heap.allocCalls;
}

long Win32EmuLockCalls(void) {
  Heap& heap = TheHeap();
  std::lock_guard<std::mutex> lock(heap.mutex);
  return heap.lockCalls;
}

}  // extern "C"
