// The test hooks the portable suite uses, on the real Win32 API: memory device contexts are real
// ones; global memory cannot be counted or made to fail, so those hooks report nothing and the
// tests that need them are not part of the Windows build.
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
void Win32EmuFailNextAlloc(long) {}
void Win32EmuFailNextLock(long) {}
size_t Win32EmuLiveHeapBlocks(void) { return 0; }
void Win32EmuFailNextHeapAlloc(long) {}

HDC Win32EmuCreateMemoryDC(int width, int height) {
  HDC dc = CreateCompatibleDC(nullptr);
  // Row 0 at the top, as the emulation's surfaces.
  const BITMAPINFO info{
      {.biSize = sizeof(BITMAPINFOHEADER), .biWidth = width, .biHeight = -height, .biPlanes = 1, .biBitCount = 32}};
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
