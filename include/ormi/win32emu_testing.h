/* Test hooks of the Win32 emulation (not available on Windows). */
#ifndef ORMI_WIN32EMU_TESTING_H
#define ORMI_WIN32EMU_TESTING_H

#include <ormi/win32.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Global + local blocks currently allocated, and the bytes they were asked for. */
ORMI_WIN32EMU_API size_t Win32EmuLiveBlocks(void);
ORMI_WIN32EMU_API size_t Win32EmuLiveBytes(void);

/* The n-th GlobalAlloc/LocalAlloc from now fails (1 = the next); 0 cancels. */
ORMI_WIN32EMU_API void Win32EmuFailNextAlloc(long n);
/* The n-th GlobalLock from now returns NULL; 0 cancels. */
ORMI_WIN32EMU_API void Win32EmuFailNextLock(long n);
/* How many GlobalAlloc/LocalAlloc and GlobalLock calls were made so far (to size injection loops). */
ORMI_WIN32EMU_API long Win32EmuAllocCalls(void);
ORMI_WIN32EMU_API long Win32EmuLockCalls(void);

/* Process-heap blocks currently allocated; the n-th HeapAlloc from now fails (1 = the next; 0 cancels). */
ORMI_WIN32EMU_API size_t Win32EmuLiveHeapBlocks(void);
ORMI_WIN32EMU_API void Win32EmuFailNextHeapAlloc(long n);
ORMI_WIN32EMU_API long Win32EmuHeapAllocCalls(void);

/* A dummy GDI object for gdiObject fields, and whether DeleteObject was called on it. */
ORMI_WIN32EMU_API HGDIOBJ Win32EmuCreateGdiObject(void);
ORMI_WIN32EMU_API int Win32EmuGdiObjectDeleted(HGDIOBJ h);

/* Memory device contexts: a 32-bit surface, all bytes 0; row 0 = top row, pixel = 0x00RRGGBB. */
ORMI_WIN32EMU_API HDC Win32EmuCreateMemoryDC(int width, int height);
ORMI_WIN32EMU_API const uint32_t* Win32EmuMemoryDCPixels(HDC dc);
ORMI_WIN32EMU_API void Win32EmuDeleteMemoryDC(HDC dc);

#ifdef __cplusplus
}
#endif

#endif /* ORMI_WIN32EMU_TESTING_H */
