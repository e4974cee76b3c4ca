#include "apply.h"

#include <mutex>

#include <ormi/win32emu_testing.h>

#include "exit_status.h"
#include "extras.h"
#include "host/bitmap_convert.h"
#include "host/effect_check.h"
#include "host/image_handle.h"

namespace ormi::fx {
namespace {

// Paints onto a memory device context of the picture's size and returns what landed there.
intptr_t InvokePainted(const host::EffectInfo& effect, host::EffectArgs& args, HGLOBAL& painted) {
  const int width = args.rect.right + 1, height = args.rect.bottom + 1;
  args.dc = Win32EmuCreateMemoryDC(width, height);
  if (!args.dc) return 0;
  const intptr_t result = effect.invoke(args);
  if (result != 0) painted = BitmapFromMemoryDC(args.dc, width, height);
  Win32EmuDeleteMemoryDC(args.dc);
  return result;
}

// Exports that keep module state run one at a time, whichever job of a batch calls them.
std::mutex g_moduleState;

intptr_t Invoke(const host::EffectInfo& effect, host::EffectArgs& args, HGLOBAL& painted) {
  std::unique_lock<std::mutex> lock(g_moduleState, std::defer_lock);
  if (host::UsesModuleState(effect)) lock.lock();
  return effect.result == host::ResultKind::Painted ? InvokePainted(effect, args, painted) : effect.invoke(args);
}

int StatusOf(const host::Problem& problem) {
  switch (problem.kind) {
    case host::ProblemKind::None: return kDone;
    case host::ProblemKind::Picture: return kRefused;
    case host::ProblemKind::Usage: return kUsageError;
    case host::ProblemKind::File: return kFileError;
  }
  return kRefused;
}

}  // namespace

int ApplyEffect(const host::EffectInfo& effect, const std::vector<double>& values, HGLOBAL& image, std::string& error,
                std::span<const HGLOBAL> extras) {
  const host::PictureFacts facts = host::FactsOfImage(image);
  std::vector<host::PictureFacts> extraFacts;
  for (size_t i = 0; i < extras.size(); ++i) {
    const bool isImage = i < effect.extras.size() && effect.extras[i].kind == host::ExtraKind::AlphaImage;
    extraFacts.push_back(isImage ? host::FactsOfImage(extras[i]) : host::FactsOfBitmap(extras[i]));
  }
  if (const host::Problem problem = host::CheckEffect(effect, values, facts, extraFacts)) {
    error = problem.message;
    return StatusOf(problem);
  }
  // The whole picture is the rectangle of the fills and the painter.
  host::EffectArgs args{image, values, extras, RECT{0, 0, facts.width - 1, facts.height - 1}};
  HGLOBAL painted = nullptr;
  const intptr_t result = Invoke(effect, args, painted);
  if (result == 0) {
    // Nothing the catalog knows explains it: the export's own conditions (contents, memory).
    error = std::string(effect.name) + ": " + effect.exportName + " refused the " + std::to_string(facts.depth) +
            "-bit " + std::to_string(facts.width) + "x" + std::to_string(facts.height) + " picture";
    return kRefused;
  }
  HGLOBAL replacement = nullptr;
  switch (effect.result) {
    case host::ResultKind::InPlace:
    case host::ResultKind::NoImage: return kDone;
    case host::ResultKind::NewImage: replacement = reinterpret_cast<HGLOBAL>(result); break;
    case host::ResultKind::NewBitmap: replacement = host::WrapBitmap(reinterpret_cast<HGLOBAL>(result)); break;
    case host::ResultKind::Painted: replacement = host::WrapBitmap(painted); break;
  }
  if (!replacement) {
    if (effect.result == host::ResultKind::NewBitmap) GlobalFree(reinterpret_cast<HGLOBAL>(result));
    if (painted) GlobalFree(painted);
    error = "out of memory";
    return kFileError;
  }
  // The text fills' new bitmaps say their transparency in the alpha bytes, also when every pixel
  // is transparent (a mask without text).
  if (effect.result == host::ResultKind::NewBitmap) host::SetAlphaTransparency(replacement);
  host::FreeImageHandle(image);
  image = replacement;
  return kDone;
}

int RunWithoutImage(const host::EffectInfo& effect, const std::vector<double>& values, std::string& error) {
  if (const host::Problem problem = host::CheckEffect(effect, values, {})) {
    error = problem.message;
    return StatusOf(problem);
  }
  host::EffectArgs args{nullptr, values};
  HGLOBAL painted = nullptr;
  if (Invoke(effect, args, painted) == 0) {
    error = std::string(effect.name) + ": " + effect.exportName + " failed";
    return kRefused;
  }
  return kDone;
}

}  // namespace ormi::fx
