#pragma once

#include <span>
#include <string>
#include <vector>

#include <ormi/win32.h>

#include "host/catalog.h"

namespace ormi::fx {

// Runs one effect on an image handle, with the extra pictures it takes. On success the handle may
// have been replaced by the new image (or the painted or new bitmap, wrapped) that the effect
// returned; the old one is freed. Returns an exit status; `error` says why when it is not kDone.
int ApplyEffect(const host::EffectInfo& effect, const std::vector<double>& values, HGLOBAL& image, std::string& error,
                std::span<const HGLOBAL> extras = {});

// Runs an effect that takes no picture (ResultKind::NoImage).
int RunWithoutImage(const host::EffectInfo& effect, const std::vector<double>& values, std::string& error);

}  // namespace ormi::fx
