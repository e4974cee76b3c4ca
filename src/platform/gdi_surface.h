// What StretchDIBits needs from the memory device contexts kept in gdi.cpp.
#ifndef ORMI_PLATFORM_GDI_SURFACE_H
#define ORMI_PLATFORM_GDI_SURFACE_H

#include <ormi/win32.h>

#include <cstdint>
#include <functional>

namespace ormi::win32emu {

// A memory DC's pixels: row 0 is the top row, each pixel 0x00RRGGBB.
struct Surface {
  int width;
  int height;
  std::uint32_t* pixels;
};

// Runs `paint` on the surface of `dc` with the DC registry locked, so the DC cannot be deleted
// meanwhile; returns its result, or 0 when `dc` is not a live memory DC.
int PaintMemoryDC(HDC dc, const std::function<int(const Surface&)>& paint);

}  // namespace ormi::win32emu

#endif  // ORMI_PLATFORM_GDI_SURFACE_H
