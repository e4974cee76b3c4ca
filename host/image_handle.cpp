#include "host/image_handle.h"

#include <cstring>

#include "image/dib.h"

namespace ormi::host {
namespace {

template <class Change>
void ChangeRecord(HGLOBAL image, Change change) {
  auto* record = static_cast<ImageRecord*>(GlobalLock(image));
  if (!record) return;
  change(*record);
  GlobalUnlock(image);
}

}  // namespace

HGLOBAL WrapBitmap(HGLOBAL bitmap) {
  auto* bits = static_cast<const uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  if (!bits) return nullptr;
  const size_t bitmapSize = GlobalSize(bitmap);
  BITMAPINFOHEADER info{};
  if (bitmapSize >= sizeof info) std::memcpy(&info, bits, sizeof info);
  const uint64_t tables = DibBitsOffset(info);
  if (bitmapSize < sizeof info || tables > bitmapSize) {
    GlobalUnlock(bitmap);
    return nullptr;
  }

  HGLOBAL image = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, sizeof(ImageRecord));
  HGLOBAL headerBlock = GlobalAlloc(GHND, static_cast<size_t>(tables));
  void* header = headerBlock ? GlobalLock(headerBlock) : nullptr;
  auto* record = static_cast<ImageRecord*>(image ? GlobalLock(image) : nullptr);
  if (!record || !header) {
    if (record) GlobalUnlock(image);
    if (image) GlobalFree(image);
    if (headerBlock) GlobalFree(headerBlock);
    GlobalUnlock(bitmap);
    return nullptr;
  }
  std::memcpy(header, bits, static_cast<size_t>(tables));  // at most the bitmap's size
  std::memcpy(record->magic, ORMI_RECORD_MAGIC, 4);
  record->header = OrmiFieldFromPointer(header);
  record->flags = 16;
  record->width = info.biWidth;
  record->height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
  record->baseWidth = record->width;
  record->baseHeight = record->height;
  record->host32 = 0xFFFFFFFF;
  record->bitmap = OrmiFieldFromHandle(bitmap);
  record->rasterOp = SRCCOPY;
  record->host84 = 1;
  record->host92 = 1;
  record->transparency = ORMI_NO_TRANSPARENCY;
  GlobalUnlock(image);
  GlobalUnlock(bitmap);
  return image;
}

void FreeImageHandle(HGLOBAL image) {
  auto* record = static_cast<ImageRecord*>(image ? GlobalLock(image) : nullptr);
  if (!record) return;
  if (void* header = OrmiPointerFromField(record->header)) {
    if (HGLOBAL headerBlock = GlobalHandle(header)) {
      GlobalUnlock(headerBlock);
      GlobalFree(headerBlock);
    }
  }
  if (HGLOBAL bitmap = OrmiHandleFromField(record->bitmap)) GlobalFree(bitmap);
  GlobalUnlock(image);
  GlobalFree(image);
}

HGLOBAL BitmapOfImage(HGLOBAL image) {
  HGLOBAL bitmap = nullptr;
  ChangeRecord(image, [&](ImageRecord& r) {
    if (std::memcmp(r.magic, ORMI_RECORD_MAGIC, 4) == 0) bitmap = OrmiHandleFromField(r.bitmap);
  });
  return bitmap;
}

void SetNoTransparency(HGLOBAL image) {
  ChangeRecord(image, [](ImageRecord& r) {
    r.transparency = ORMI_NO_TRANSPARENCY;
    r.transparentColor = 0;
  });
}

void SetColorKey(HGLOBAL image, uint32_t colorref) {
  ChangeRecord(image, [&](ImageRecord& r) {
    r.transparency = 1;
    r.transparentColor = colorref & 0x00FFFFFF;
  });
}

void SetAlphaTransparency(HGLOBAL image) {
  ChangeRecord(image, [](ImageRecord& r) {
    r.transparency = 1;
    r.transparentColor |= ORMI_ALPHA_TRANSPARENCY;
  });
}

}  // namespace ormi::host

namespace ormi::host {

HGLOBAL CopyGlobalBlock(HGLOBAL block) {
  const void* from = block ? GlobalLock(block) : nullptr;
  if (!from) return nullptr;
  const size_t size = GlobalSize(block);
  HGLOBAL copy = GlobalAlloc(GHND, size);
  void* to = copy ? GlobalLock(copy) : nullptr;
  if (to) {
    std::memcpy(to, from, size);
    GlobalUnlock(copy);
  } else if (copy) {
    copy = GlobalFree(copy);
  }
  GlobalUnlock(block);
  return copy;
}

bool ClearAlpha(HGLOBAL bitmap) {
  auto* data = static_cast<uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  if (!data) return false;
  const std::optional<DibView> view = ViewDib(DibBlock{data, GlobalSize(bitmap)});
  const bool cleared = view && view->bitCount == 32 && view->compression == BI_RGB;
  if (cleared) {
    for (uint32_t r = 0; r < view->rows; ++r) {
      uint8_t* row = view->row(r);
      for (int32_t x = 0; x < view->width; ++x) row[4 * static_cast<size_t>(x) + 3] = 0;
    }
  }
  GlobalUnlock(bitmap);
  return cleared;
}

HGLOBAL BitmapWithoutAlpha(HGLOBAL bitmap) {
  const auto* data = static_cast<const uint8_t*>(bitmap ? GlobalLock(bitmap) : nullptr);
  const std::optional<DibView> view =
      data ? ViewDib(DibBlock{const_cast<uint8_t*>(data), GlobalSize(bitmap)}) : std::nullopt;
  const bool plain32 = view && view->bitCount == 32 && view->compression == BI_RGB;
  if (data) GlobalUnlock(bitmap);
  if (!plain32) return bitmap;
  HGLOBAL copy = CopyGlobalBlock(bitmap);
  if (copy) ClearAlpha(copy);
  return copy;
}

}  // namespace ormi::host
