/* Builds a 2x1 32-bit image as a host does, inverts it, and checks the pixels. */
#include <stdio.h>
#include <string.h>

#include <ormi/effects.h>
#include <ormi/win32.h>

int main(void) {
  const BITMAPINFOHEADER info = {.biSize = 40, .biWidth = 2, .biHeight = 1, .biPlanes = 1, .biBitCount = 32};

  HGLOBAL bitmap = GlobalAlloc(GHND, 40 + 8);
  unsigned char* bits = (unsigned char*)GlobalLock(bitmap);
  memcpy(bits, &info, sizeof info);
  const uint32_t pixels[2] = {0x00000000u, 0xFF102030u};
  memcpy(bits + 40, pixels, sizeof pixels);
  GlobalUnlock(bitmap);

  HGLOBAL headerBlock = GlobalAlloc(GHND, 40);
  void* header = GlobalLock(headerBlock);
  memcpy(header, &info, sizeof info);
  HGLOBAL image = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, sizeof(ImageRecord));
  ImageRecord* record = (ImageRecord*)GlobalLock(image);
  memcpy(record->magic, ORMI_RECORD_MAGIC, 4);
  record->header = OrmiFieldFromPointer(header);
  record->flags = 16;
  record->bitmap = OrmiFieldFromHandle(bitmap);
  record->transparency = ORMI_NO_TRANSPARENCY;
  GlobalUnlock(image);

  if (ImgInvert(image) != 1) {
    fprintf(stderr, "ImgInvert failed\n");
    return 1;
  }
  bits = (unsigned char*)GlobalLock(bitmap);
  uint32_t result[2];
  memcpy(result, bits + 40, sizeof result);
  GlobalUnlock(bitmap);
  if (result[0] != 0xFFFFFFFFu || result[1] != 0x00EFDFCFu) {
    fprintf(stderr, "unexpected pixels %08x %08x\n", (unsigned)result[0], (unsigned)result[1]);
    return 1;
  }
  printf("consumer: ImgInvert gave %08x %08x\n", (unsigned)result[0], (unsigned)result[1]);
  GlobalUnlock(headerBlock);
  GlobalFree(headerBlock);
  GlobalFree(bitmap);
  GlobalFree(image);
  return 0;
}
