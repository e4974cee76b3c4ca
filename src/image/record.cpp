#include "image/record.h"

#include <algorithm>
#include <cstring>

namespace ormi {
namespace {

ImageRecord* LockRecordBlock(HGLOBAL image, MagicCheck magic) {
  if (!image) return nullptr;
  auto* record = static_cast<ImageRecord*>(GlobalLock(image));
  if (!record) return nullptr;
  const bool fits = GlobalSize(image) >= sizeof(ImageRecord);
  if (!fits || (magic == MagicCheck::Required && std::memcmp(record->magic, ORMI_RECORD_MAGIC, 4) != 0)) {
    GlobalUnlock(image);
    return nullptr;
  }
  return record;
}

void FillCreatedRecord(ImageRecord& record, HGLOBAL bitmap, const BITMAPINFOHEADER& header) {
  std::memcpy(record.magic, ORMI_RECORD_MAGIC, 4);
  record.flags = kCreatedFlags;
  record.width = header.biWidth;
  record.height =
      header.biHeight < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(header.biHeight)) : header.biHeight;
  record.baseWidth = record.width;
  record.baseHeight = record.height;
  record.host28 = 0;
  record.host32 = 0xFFFFFFFF;
  record.bitmap = OrmiFieldFromHandle(bitmap);
  record.gdiObject = 0;
  record.host44 = 0;
  record.rasterOp = SRCCOPY;
  record.host68 = 0;
  record.host84 = 1;
  record.host88 = 0;
  record.host92 = 1;
  record.host96 = 0;
  record.host100 = 0;
  record.host101 = 0;
  record.transparency = ORMI_NO_TRANSPARENCY;
  record.host112 = 0;
  record.host116 = 0;
}

}  // namespace

ImageRecord* LockImageRecord(HGLOBAL image) { return LockRecordBlock(image, MagicCheck::Required); }

HGLOBAL CreateImageRecord(HGLOBAL bitmap) { return CreateImageRecord(bitmap, nullptr, nullptr); }

HGLOBAL CreateImageRecord(HGLOBAL bitmap, uint32_t transparency, uint32_t transparentColor) {
  struct Transparency {
    uint32_t flag, color;
  } const state{transparency, transparentColor};
  auto setTransparency = [](ImageRecord& created, const void* context) {
    const auto* wanted = static_cast<const Transparency*>(context);
    created.transparency = wanted->flag;
    created.transparentColor = wanted->color;
  };
  return CreateImageRecord(bitmap, setTransparency, &state);
}

HGLOBAL CreateImageRecord(HGLOBAL bitmap, RecordFinish finish, const void* context) {
  if (!bitmap) return nullptr;
  GlobalBlock recordBlock(kWorkingMemoryFlags, sizeof(ImageRecord));
  if (!recordBlock) return nullptr;
  GlobalLockGuard bitmapLock(bitmap);
  if (!bitmapLock) return nullptr;
  const std::optional<DibView> view = ViewDib(bitmapLock.block(), DibExtent::Tables);
  if (!view) return nullptr;
  GlobalLockGuard recordLock(recordBlock.handle());
  if (!recordLock) return nullptr;
  auto* record = reinterpret_cast<ImageRecord*>(recordLock.data());

  // A record without its header copy would be refused by every export that reads the depth.
  GlobalBlock headerBlock(GHND, view->bitsOffset);
  if (!headerBlock) return nullptr;
  void* header = GlobalLock(headerBlock.handle());
  if (!header) return nullptr;
  std::memcpy(header, bitmapLock.data(), view->bitsOffset);
  headerBlock.release();
  record->header = OrmiFieldFromPointer(header);

  FillCreatedRecord(*record, bitmap, ReadInfoHeader(bitmapLock.data()));
  if (finish) finish(*record, context);
  recordLock.unlock();
  bitmapLock.unlock();
  return recordBlock.release();
}

RecordLock::RecordLock(HGLOBAL image, MagicCheck magic) : image_(image), record_(LockRecordBlock(image, magic)) {}

RecordLock::~RecordLock() {
  if (record_) GlobalUnlock(image_);
}

const BITMAPINFOHEADER* HeaderCopyOf(const ImageRecord& record) {
  const void* header = OrmiPointerFromField(record.header);
  if (!header) return nullptr;
  HGLOBAL block = GlobalHandle(header);
  if (!block || GlobalSize(block) < kInfoHeaderBytes) return nullptr;
  return static_cast<const BITMAPINFOHEADER*>(header);
}

void RefreshHeaderCopy(const ImageRecord& record, const DibView& bitmap, size_t bytes) {
  void* header = OrmiPointerFromField(record.header);
  if (!header) return;
  HGLOBAL block = GlobalHandle(header);
  if (!block) return;
  const size_t room = std::min<size_t>(GlobalSize(block), bitmap.blockSize);
  std::memcpy(header, bitmap.base, std::min(bytes, room));
}

void DeleteGdiObject(ImageRecord& record) {
  if (record.gdiObject == 0) return;
  DeleteObject(OrmiGdiObjectFromField(record.gdiObject));
  record.gdiObject = 0;
}

}  // namespace ormi
