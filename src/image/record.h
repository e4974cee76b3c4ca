// Image records: locking and checking a host's record, creating new ones for results, and
// reaching the header copy that a record keeps of its bitmap.
#pragma once

#include <cstdint>

#include <ormi/effects.h>

#include "image/dib.h"
#include "image/global_memory.h"

namespace ormi {

constexpr uint32_t kCreatedFlags = 16;

// Locks an image handle and checks its "IM20" magic; null (and the handle unlocked) when the
// handle does not lock, the block is too small for a record, or the magic differs.
ImageRecord* LockImageRecord(HGLOBAL image);

// Wraps a bitmap in a new record, filled as a host fills it; 0 on failure with the record freed
// and the bitmap left to the caller. The bitmap then belongs to the record.
HGLOBAL CreateImageRecord(HGLOBAL bitmap);
// The same, with the new record's transparency fields set before it is handed over, so that no
// second lock (which could fail after the record exists) is needed.
HGLOBAL CreateImageRecord(HGLOBAL bitmap, uint32_t transparency, uint32_t transparentColor);

// The same, with `finish` run on the new record while it is still locked, for fields that the
// caller carries over from elsewhere (a lock taken afterwards could fail and leave them unset).
using RecordFinish = void (*)(ImageRecord& created, const void* context);
HGLOBAL CreateImageRecord(HGLOBAL bitmap, RecordFinish finish, const void* context);

enum class MagicCheck { Required, Skipped };

// The lock that an export holds on its image handle for the length of the call.
class RecordLock {
 public:
  explicit RecordLock(HGLOBAL image, MagicCheck magic = MagicCheck::Required);
  RecordLock(const RecordLock&) = delete;
  RecordLock& operator=(const RecordLock&) = delete;
  ~RecordLock();
  explicit operator bool() const { return record_ != nullptr; }
  ImageRecord* operator->() const { return record_; }
  ImageRecord& operator*() const { return *record_; }

 private:
  HGLOBAL image_;
  ImageRecord* record_ = nullptr;
};

// The record's header copy when `header` points at a live block that holds a whole info header;
// null otherwise, so that a missing or stale copy is refused rather than read.
const BITMAPINFOHEADER* HeaderCopyOf(const ImageRecord& record);

// Copies the bitmap's header and tables back into the header copy, as far as the copy's block
// reaches, after an export changed the colour table.
void RefreshHeaderCopy(const ImageRecord& record, const DibView& bitmap, size_t bytes);

// Deletes the host's GDI object of the image, which no longer matches the pixels.
void DeleteGdiObject(ImageRecord& record);

inline HGLOBAL BitmapOf(const ImageRecord& record) { return OrmiHandleFromField(record.bitmap); }
inline bool HasTransparency(const ImageRecord& record) { return record.transparency != ORMI_NO_TRANSPARENCY; }

}  // namespace ormi
