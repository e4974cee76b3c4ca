// Entry points of the alpha-channel family.
#include "alpha/alpha_diffusion.h"
#include "alpha/copy_alpha.h"
#include "alpha/insert_alpha.h"
#include "alpha/opaque.h"
#include "alpha/set_alpha_color.h"
#include "exports/export.h"
#include "image/frames.h"

using namespace ormi;

ORMI_EXPORT int ORMI_CALL ImgOpaque(HGLOBAL image, int level, int color) noexcept {
  return WithValidatedRecord(image, kDepth32, [&](ImageRecord& record) { return OpaqueImage(record, level, color); });
}

ORMI_EXPORT int ORMI_CALL ImgCopyAlpha(HGLOBAL destination, HGLOBAL source) noexcept {
  RecordLock from(source);
  if (!from) return 0;
  RecordLock to(destination);
  if (!to) return 0;
  return CopyAlphaImages(*to, *from);
}

ORMI_EXPORT int ORMI_CALL ImgInsertAlpha(HGLOBAL image, int alpha, int color) noexcept {
  return WithValidatedRecord(image, [&](ImageRecord& record) { return InsertAlphaImage(record, alpha, color); });
}

ORMI_EXPORT HGLOBAL ORMI_CALL ImgDiff(HGLOBAL image, int passes) noexcept {
  RecordLock record(image);
  if (!record || record->bitmap == 0) return nullptr;
  return ImgDiffImage(*record, passes);
}

ORMI_EXPORT int ORMI_CALL TavoSetAlphaColor(HGLOBAL mask, HGLOBAL target, int color) noexcept {
  RecordLock maskRecord(mask);
  if (!maskRecord) return 0;
  RecordLock targetRecord(target);
  if (!targetRecord) return 0;
  return SetAlphaColorImages(*maskRecord, *targetRecord, static_cast<uint32_t>(color));
}
