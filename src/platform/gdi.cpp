// GDI objects and memory device contexts. Handles are slot addresses inside inaccessible
// reservations (one for objects, one for DCs), so they fit in 32 bits, never collide with memory
// blocks or with each other, and are never dereferenced.
#include <ormi/win32.h>
#include <ormi/win32emu_testing.h>

#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "gdi_surface.h"
#include "low_memory.h"

namespace ormi::win32emu {
namespace {

constexpr std::size_t kHandleStride = 8;
constexpr std::size_t kObjectSlots = std::size_t{1} << 19;
constexpr std::size_t kDcSlots = std::size_t{1} << 14;
constexpr std::size_t kMaxDcPixels = std::size_t{1} << 28;

struct MemoryDC {
  int width;
  int height;
  std::vector<std::uint32_t> pixels;
};

// Handle values handed out in turn, so a deleted handle is not soon reused for a new object.
struct HandleRange {
  std::size_t slots;
  std::uintptr_t base = 0;
  std::size_t next = 0;

  template <typename IsTaken>
  std::uintptr_t Take(std::size_t taken, IsTaken isTaken) {
    if (base == 0) base = ReserveHandleRange(slots, kHandleStride);
    if (base == 0 || taken >= slots) return 0;
    for (;;) {
      std::uintptr_t handle = base + next * kHandleStride;
      next = (next + 1) % slots;
      if (!isTaken(handle)) return handle;
    }
  }
};

struct Gdi {
  std::mutex mutex;
  HandleRange objectHandles{kObjectSlots};
  std::unordered_map<std::uintptr_t, bool> objects;  // handle -> deleted
  std::size_t undeletedObjects = 0;
  HandleRange dcHandles{kDcSlots};
  std::unordered_map<std::uintptr_t, std::unique_ptr<MemoryDC>> dcs;
};

// Never destroyed: hosts may delete objects from their own static destructors.
Gdi& TheGdi() {
  static Gdi* gdi = new Gdi;
  return *gdi;
}

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

}  // namespace

int PaintMemoryDC(HDC dc, const std::function<int(const Surface&)>& paint) {
  Gdi& gdi = TheGdi();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  auto found = gdi.dcs.find(Address(dc));
  if (dc == nullptr || found == gdi.dcs.end()) return 0;
  MemoryDC& memoryDc = *found->second;
  return paint(Surface{memoryDc.width, memoryDc.height, memoryDc.pixels.data()});
}

}  // namespace ormi::win32emu

using namespace ormi::win32emu;

extern "C" {

BOOL DeleteObject(HGDIOBJ object) {
  Gdi& gdi = TheGdi();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  auto found = gdi.objects.find(Address(object));
  if (object == nullptr || found == gdi.objects.end() || found->second) return FALSE;
  found->second = true;
  --gdi.undeletedObjects;
  return TRUE;
}

HGDIOBJ Win32EmuCreateGdiObject(void) {
  Gdi& gdi = TheGdi();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  // Deleted objects stay known (for Win32EmuGdiObjectDeleted) until their slot comes round again.
  std::uintptr_t handle = gdi.objectHandles.Take(gdi.undeletedObjects, [&gdi](std::uintptr_t h) {
    auto found = gdi.objects.find(h);
    return found != gdi.objects.end() && !found->second;
  });
  if (handle == 0) return nullptr;
  gdi.objects[handle] = false;
  ++gdi.undeletedObjects;
  return reinterpret_cast<HGDIOBJ>(handle);
}

int Win32EmuGdiObjectDeleted(HGDIOBJ h) {
  Gdi& gdi = TheGdi();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  auto found = gdi.objects.find(Address(h));
  return found != gdi.objects.end() && found->second ? 1 : 0;
}

HDC Win32EmuCreateMemoryDC(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  const auto pixelCount = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (pixelCount > kMaxDcPixels) return nullptr;
  std::unique_ptr<MemoryDC> dc;
  try {
    dc.reset(new MemoryDC{width, height, std::vector<std::uint32_t>(pixelCount, 0u)});
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  Gdi& gdi = TheGdi();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  std::uintptr_t handle =
      gdi.dcHandles.Take(gdi.dcs.size(), [&gdi](std::uintptr_t h) { return gdi.dcs.count(h) != 0; });
  if (handle == 0) return nullptr;
  gdi.dcs.emplace(handle, std::move(dc));
  return reinterpret_cast<HDC>(handle);
}

const uint32_t* Win32EmuMemoryDCPixels(HDC dc) {
  Gdi& gdi = TheGdi();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  auto found = gdi.dcs.find(Address(dc));
  return found != gdi.dcs.end() ? found->second->pixels.data() : nullptr;
}

void Win32EmuDeleteMemoryDC(HDC dc) {
  std::unique_ptr<MemoryDC> doomed;
  Gdi& gdi = TheGdi();
  std::lock_guard<std::mutex> lock(gdi.mutex);
  auto found = gdi.dcs.find(Address(dc));
  if (found == gdi.dcs.end()) return;
  doomed = std::move(found->second);
  gdi.dcs.erase(found);
}

}  // extern "C"
