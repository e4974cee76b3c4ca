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

// Reads INPUT (and the files of the effect's extras), applies the effect and writes OUTPUT;
// reports errors on stderr.
int ApplyEffectToFile(const host::EffectInfo& effect, const std::vector<double>& values, const std::string& input,
                      const std::string& output, const std::vector<std::string>& extraFiles = {});

// Runs an effect that takes no picture (ResultKind::NoImage); reports a failure on stderr.
int RunWithoutImage(const host::EffectInfo& effect, const std::vector<double>& values);

// "1, 4, 8, 16, 24 and 32 bits"
std::string DescribeDepths(const std::vector<int>& depths);

}  // namespace ormi::fx
