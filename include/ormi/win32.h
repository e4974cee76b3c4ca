/* The Win32 surface that ormiEffects and its hosts use.
 * On Windows this is <windows.h>; elsewhere it declares the ormi-win32emu emulation,
 * which follows the documented Win32 behaviour of these calls. */
#ifndef ORMI_WIN32_H
#define ORMI_WIN32_H

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#else /* emulation */

#include <stddef.h>
#include <stdint.h>

#if defined(ORMI_WIN32EMU_BUILDING)
#define ORMI_WIN32EMU_API __attribute__((visibility("default")))
#else
#define ORMI_WIN32EMU_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define WINAPI
#define CALLBACK
#ifndef __cdecl
#define __cdecl
#endif

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef size_t SIZE_T;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef DWORD COLORREF;

typedef void* HANDLE;
typedef void* HGLOBAL;
typedef void* HLOCAL;
typedef void* HDC;
typedef void* HGDIOBJ;
typedef void* HINSTANCE;
typedef void* HMODULE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef MAX_PATH
#define MAX_PATH 260
#endif

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GMEM_SHARE 0x2000u
#define GMEM_DDESHARE GMEM_SHARE
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GMEM_LOCKCOUNT 0x00FFu
#define GMEM_INVALID_HANDLE 0x8000u

#define HEAP_ZERO_MEMORY 0x00000008u

#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

#define SRCCOPY 0x00CC0020u
#define DIB_RGB_COLORS 0u
#define DIB_PAL_COLORS 1u
#define BI_RGB 0u
#define BI_BITFIELDS 3u
#define GDI_ERROR 0xFFFFFFFFu

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define RGB(r, g, b) ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)((c)&0xFF))
#define GetGValue(c) ((BYTE)(((c) >> 8) & 0xFF))
#define GetBValue(c) ((BYTE)(((c) >> 16) & 0xFF))

typedef struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT;

#pragma pack(push, 2)
typedef struct tagBITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
} BITMAPFILEHEADER;
#pragma pack(pop)

typedef struct tagBITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagRGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
} BITMAPINFO;

/* Global and local memory. */
ORMI_WIN32EMU_API HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
ORMI_WIN32EMU_API LPVOID GlobalLock(HGLOBAL mem);
ORMI_WIN32EMU_API BOOL GlobalUnlock(HGLOBAL mem);
ORMI_WIN32EMU_API HGLOBAL GlobalFree(HGLOBAL mem);
ORMI_WIN32EMU_API HGLOBAL GlobalHandle(LPCVOID pointer);
ORMI_WIN32EMU_API SIZE_T GlobalSize(HGLOBAL mem);
ORMI_WIN32EMU_API UINT GlobalFlags(HGLOBAL mem);
ORMI_WIN32EMU_API HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
ORMI_WIN32EMU_API HLOCAL LocalFree(HLOCAL mem);

/* The process heap, for working memory that the host never sees. */
ORMI_WIN32EMU_API HANDLE GetProcessHeap(void);
ORMI_WIN32EMU_API LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
ORMI_WIN32EMU_API BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID mem);

/* GDI. */
ORMI_WIN32EMU_API BOOL DeleteObject(HGDIOBJ object);
ORMI_WIN32EMU_API int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                                    int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                                    DWORD rop);

/* System. */
ORMI_WIN32EMU_API UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);

#ifdef __cplusplus
}
#endif

#endif /* _WIN32 */

#endif /* ORMI_WIN32_H */
