// Entry points of the geometry family.
#include "exports/export.h"
#include "geometry/block_rotate.h"
#include "geometry/mirror.h"
#include "geometry/rotate.h"
#include "image/frames.h"

using namespace ormi;

// The reserved argument is accepted and not used.
ORMI_EXPORT HGLOBAL ORMI_CALL ImgRotate(HGLOBAL image, int degrees, int /*reserved*/) noexcept {
  return WithDirectRecord(image, LockedFlag::Ignore, [&](ImageRecord& record) { return RotateImage(record, degrees); });
}

ORMI_EXPORT int ORMI_CALL ImgMirror(HGLOBAL image, int flipRows, int flipColumns) noexcept {
  return MirrorImage(image, flipRows, flipColumns);
}

ORMI_EXPORT HGLOBAL ORMI_CALL ImgBlockRotate(HGLOBAL image, int degrees, int /*reserved*/, int level) noexcept {
  return WithDirectRecord(image, LockedFlag::Ignore,
                          [&](ImageRecord& record) { return BlockRotateImage(record, degrees, level); });
}
