/* ormiEffects: the public C interface for hosts.
 *
 * A host hands the library image handles: global-memory handles to a 120-byte ImageRecord that
 * names a packed device-independent bitmap (BITMAPINFOHEADER, colour table, masks, pixel rows in
 * one global-memory block). Exports change the image in place and return 1 (0 on failure), or
 * return a new handle that the host owns. */
#ifndef ORMI_EFFECTS_H
#define ORMI_EFFECTS_H

#include <stddef.h>
#include <stdint.h>

#include <ormi/win32.h>

#if defined(_WIN32)
#define ORMI_CALL __cdecl
#define ORMI_API
#elif defined(ORMI_EFFECTS_BUILDING)
#define ORMI_CALL
#define ORMI_API __attribute__((visibility("default")))
#else
#define ORMI_CALL
#define ORMI_API
#endif

#ifdef __cplusplus
#define ORMI_NOEXCEPT noexcept
extern "C" {
#else
#define ORMI_NOEXCEPT
#endif

/* The record's magic bytes, 'I','M','2','0'. */
#define ORMI_RECORD_MAGIC "IM20"
#define ORMI_RECORD_SIZE 120
/* The only bit of `flags` that the library looks at. */
#define ORMI_FLAG_LOCKED_IMAGE 0x8u
/* `transparency` value that means the image has no transparency. */
#define ORMI_NO_TRANSPARENCY 0xFFFFFFFFu
/* `transparentColor` bit that says the alpha bytes carry the transparency. */
#define ORMI_ALPHA_TRANSPARENCY 0x80000000u

/* Little-endian, byte for byte the record the host shares with the library. The pointer and
 * handle fields are 32-bit on every platform (see the conversion helpers below). */
typedef struct ImageRecord {
  char magic[4];             /* +0   "IM20" */
  uint32_t header;           /* +4   locked pointer to the header copy, or 0 */
  uint32_t flags;            /* +8   16 at creation */
  int32_t width;             /* +12  biWidth */
  int32_t height;            /* +16  |biHeight| */
  int32_t baseWidth;         /* +20 */
  int32_t baseHeight;        /* +24 */
  uint32_t host28;           /* +28 */
  uint32_t host32;           /* +32 */
  uint32_t bitmap;           /* +36  bitmap handle */
  uint32_t gdiObject;        /* +40  host's GDI object, or 0 */
  uint32_t host44;           /* +44 */
  uint32_t host48[4];        /* +48 */
  uint32_t rasterOp;         /* +64  SRCCOPY at creation */
  uint32_t host68;           /* +68 */
  uint32_t host72[3];        /* +72 */
  uint32_t host84;           /* +84 */
  uint32_t host88;           /* +88 */
  uint32_t host92;           /* +92 */
  uint32_t host96;           /* +96 */
  uint8_t host100;           /* +100 */
  uint8_t host101;           /* +101 */
  uint16_t host102;          /* +102 */
  uint32_t transparency;     /* +104 ORMI_NO_TRANSPARENCY or in force */
  uint32_t transparentColor; /* +108 COLORREF, or bit 31: alpha carries transparency */
  uint32_t host112;          /* +112 */
  uint32_t host116;          /* +116 */
} ImageRecord;

#ifdef __cplusplus
#define ORMI_STATIC_ASSERT static_assert
#else
#define ORMI_STATIC_ASSERT _Static_assert
#endif
ORMI_STATIC_ASSERT(sizeof(ImageRecord) == ORMI_RECORD_SIZE, "ImageRecord is 120 bytes");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, header) == 4, "header at +4");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, flags) == 8, "flags at +8");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, width) == 12, "width at +12");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, baseWidth) == 20, "baseWidth at +20");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, bitmap) == 36, "bitmap at +36");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, gdiObject) == 40, "gdiObject at +40");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, rasterOp) == 64, "rasterOp at +64");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, host84) == 84, "host field at +84");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, host100) == 100, "host byte at +100");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, transparency) == 104, "transparency at +104");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, transparentColor) == 108, "transparentColor at +108");
ORMI_STATIC_ASSERT(offsetof(ImageRecord, host116) == 116, "host field at +116");

/* Record fields hold handles and pointers as 32-bit values; these are the only conversions. */
static inline uint32_t OrmiFieldFromHandle(HGLOBAL handle) { return (uint32_t)(uintptr_t)handle; }
static inline HGLOBAL OrmiHandleFromField(uint32_t field) { return (HGLOBAL)(uintptr_t)field; }
static inline uint32_t OrmiFieldFromPointer(const void* pointer) { return (uint32_t)(uintptr_t)pointer; }
static inline void* OrmiPointerFromField(uint32_t field) { return (void*)(uintptr_t)field; }
static inline uint32_t OrmiFieldFromGdiObject(HGDIOBJ object) { return (uint32_t)(uintptr_t)object; }
static inline HGDIOBJ OrmiGdiObjectFromField(uint32_t field) { return (HGDIOBJ)(uintptr_t)field; }

/* Geometry */
ORMI_API HGLOBAL ORMI_CALL ImgRotate(HGLOBAL image, int degrees, int reserved) ORMI_NOEXCEPT;
ORMI_API HGLOBAL ORMI_CALL ImgBlockRotate(HGLOBAL image, int degrees, int reserved, int level) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgMirror(HGLOBAL image, int flipRows, int flipColumns) ORMI_NOEXCEPT;

/* Tone and colour */
ORMI_API int ORMI_CALL ImgInvert(HGLOBAL image) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgBrightness(HGLOBAL image, int delta) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgContrast(HGLOBAL image, int amount) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgGamma(HGLOBAL image, int level) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgAdjContrast(HGLOBAL image, int mode) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgEqualise(HGLOBAL image) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgNormalise(HGLOBAL image) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgAdjustColorRGB(HGLOBAL image, int redShift, int greenShift, int blueShift) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgAdjustColorHSI(HGLOBAL image, double hueShift, double saturationShift,
                                         double intensityShift) ORMI_NOEXCEPT;

/* Gamma and colour correction */
ORMI_API int ORMI_CALL ImgGammaCorrection(HGLOBAL image, int code, int mode) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgColorCorrection(HGLOBAL image, int code, int white, const double* primaries) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgLoadGammaTable(void) ORMI_NOEXCEPT;

/* Neighbourhood filters (32-bit images) */
ORMI_API int ORMI_CALL ImgBlur(HGLOBAL image, double amount) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgSharpen(HGLOBAL image, double amount) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgEmboss(HGLOBAL image) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgEdge(HGLOBAL image, double amount) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgDespeckle(HGLOBAL image) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgEnhance(HGLOBAL image) ORMI_NOEXCEPT;

/* Alpha channel */
ORMI_API int ORMI_CALL ImgOpaque(HGLOBAL image, int level, int color) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgCopyAlpha(HGLOBAL destination, HGLOBAL source) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL ImgInsertAlpha(HGLOBAL image, int alpha, int color) ORMI_NOEXCEPT;
ORMI_API HGLOBAL ORMI_CALL ImgDiff(HGLOBAL image, int passes) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL TavoSetAlphaColor(HGLOBAL mask, HGLOBAL target, int color) ORMI_NOEXCEPT;

/* Decorative fills */
ORMI_API int ORMI_CALL TavoGradient(HDC dc, const RECT* rect, int fromColor, int toColor, int degrees) ORMI_NOEXCEPT;
ORMI_API int ORMI_CALL TavoEmbossIcon(HGLOBAL image, int threshold, int firstColor, int secondColor) ORMI_NOEXCEPT;
ORMI_API HGLOBAL ORMI_CALL TavoGradientForText(HDC ignored, const RECT* rect, int fromColor, int toColor, int degrees,
                                               HGLOBAL mask) ORMI_NOEXCEPT;
ORMI_API HGLOBAL ORMI_CALL TavoTileForText(HDC ignored, const RECT* rect, HGLOBAL mask, HGLOBAL tile) ORMI_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* ORMI_EFFECTS_H */
