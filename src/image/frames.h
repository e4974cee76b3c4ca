// The two frames that every export taking an image handle follows: they lock the record, refuse
// what the export cannot take, and release everything in reverse order on every path.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <type_traits>

#include "image/record.h"

namespace ormi {

// The bit depths that an export accepts, as read from the record's header copy.
class DepthSet {
 public:
  constexpr DepthSet(std::initializer_list<int> depths) {
    for (int depth : depths) bits_ |= uint64_t{1} << depth;
  }
  constexpr bool contains(unsigned depth) const { return depth < 64 && (bits_ >> depth) & 1; }

 private:
  uint64_t bits_ = 0;
};

inline constexpr DepthSet kEveryDepth{1, 4, 8, 16, 24, 32};
inline constexpr DepthSet kDepth32{32};

// Validating frame: LockImageRecord and a bitmap handle, or 0. The work gets the locked record.
template <class Work>
int WithValidatedRecord(HGLOBAL image, Work&& work) {
  RecordLock record(image);
  if (!record || record->bitmap == 0) return 0;
  return work(*record);
}

// The same frame for exports that read the depth from the header copy: a missing copy or a depth
// outside the accepted set is refused like a missing bitmap.
template <class Work>
int WithValidatedRecord(HGLOBAL image, DepthSet depths, Work&& work) {
  RecordLock record(image);
  if (!record || record->bitmap == 0) return 0;
  const std::optional<BITMAPINFOHEADER> header = HeaderCopyOf(*record);
  if (!header || !depths.contains(header->biBitCount)) return 0;
  return work(*record);
}

// Direct frame: the handle is locked without a magic test, a record whose locked-image flag is
// set (when the export tests it) or that has no bitmap is refused with an empty result, and the
// host's GDI object is deleted before the work changes anything.
enum class LockedFlag { Refuse, Ignore };

template <class Work>
auto WithDirectRecord(HGLOBAL image, LockedFlag lockedFlag, Work&& work) -> std::invoke_result_t<Work, ImageRecord&> {
  using Result = std::invoke_result_t<Work, ImageRecord&>;
  RecordLock record(image, MagicCheck::Skipped);
  if (!record) return Result{};
  if (lockedFlag == LockedFlag::Refuse && (record->flags & ORMI_FLAG_LOCKED_IMAGE)) return Result{};
  if (record->bitmap == 0) return Result{};
  DeleteGdiObject(*record);
  return work(*record);
}

}  // namespace ormi
