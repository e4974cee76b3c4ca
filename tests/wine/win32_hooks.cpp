// The test hooks the suite uses, on the real Win32 API: GDI objects and memory device contexts
// are real ones; global memory cannot be counted or made to fail, so those hooks report nothing
// and the tests that need them are not part of the Windows build.
#include <ormi/win32emu_testing.h>

#include <map>

namespace {

struct MemoryDc {
  HBITMAP bitmap;
  HGDIOBJ previous;
  const uint32_t* pixels;
};

std::map<HDC, MemoryDc>& Dcs() {
  static std::map<HDC, MemoryDc> dcs;
  return dcs;
}

}  // namespace

extern "C" {

size_t Win32EmuLiveBlocks(void) { return 0; }
size_t Win32EmuLiveBytes(void) { return 0; }
void Win32EmuFailNextAlloc(long) {}
void Win32EmuFailNextLock(long) {}
long Win32EmuAllocCalls(void) { return 0; }
long Win32EmuLockCalls(void) { return 0; }
size_t Win32EmuLiveHeapBlocks(void) { return 0; }
void Win32EmuFailNextHeapAlloc(long) {}
long Win32EmuHeapAllocCalls(void) { return 0; }

HGDIOBJ Win32EmuCreateGdiObject(void) { return CreateSolidBrush(RGB(1, 2, 3)); }
int Win32EmuGdiObjectDeleted(HGDIOBJ h) { return GetObjectType(h) == 0; }

HDC Win32EmuCreateMemoryDC(int width, int height) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // row 0 at the top, as the emulation's surfaces
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  Dcs()[dc] = {bitmap, SelectObject(dc, bitmap), static_cast<const uint32_t*>(bits)};
  return dc;
}

const uint32_t* Win32EmuMemoryDCPixels(HDC dc) {
  GdiFlush();
  return Dcs().at(dc).pixels;
}

void Win32EmuDeleteMemoryDC(HDC dc) {
  const MemoryDc entry = Dcs().at(dc);
  SelectObject(dc, entry.previous);
  DeleteObject(entry.bitmap);
  DeleteDC(dc);
  Dcs().erase(dc);
}

}  // extern "C"
