// Every export of the catalog on what the fuzzer's bytes make of an image, its bitmap and its
// arguments. Besides the sanitizers' findings, a call must leave every lock count as it was, no
// block of its own live, and give 0 or 1 (in place) or a well-formed new image.
#include <cstdio>
#include <cstdlib>

#include <ormi/win32emu_testing.h>

#include "fuzz/fuzz_input.h"
#include "host/image_handle.h"
#include "image/dib.h"
#include "image/global_memory.h"
#include "image/record.h"

namespace {

using namespace ormi;

[[noreturn]] void Finding(const char* exportName, const char* what) {
  std::fprintf(stderr, "ormi-fuzz: %s: %s\n", exportName, what);
  std::abort();
}

// Kinds whose inputs this harness builds; kinds added to the catalog later are skipped until
// their extra pictures or device contexts are built here.
bool Fuzzable(const host::EffectInfo& effect) {
  switch (effect.result) {
    case host::ResultKind::InPlace:
    case host::ResultKind::NewImage:
    case host::ResultKind::NewBitmap:
    case host::ResultKind::Painted:
    case host::ResultKind::NoImage: return true;
  }
  return false;
}

// A returned image: a record with the magic, unlocked, naming an unlocked bitmap whose rows lie
// inside its block, with a header copy.
void CheckNewImage(const char* exportName, HGLOBAL image) {
  if ((GlobalFlags(image) & GMEM_LOCKCOUNT) != 0) Finding(exportName, "new record returned locked");
  RecordLock record(image);
  if (!record) Finding(exportName, "new image is not a record");
  if (!HeaderCopyOf(*record)) Finding(exportName, "new image has no header copy");
  const HGLOBAL bitmap = BitmapOf(*record);
  if ((GlobalFlags(bitmap) & GMEM_LOCKCOUNT) != 0) Finding(exportName, "new bitmap returned locked");
  GlobalLockGuard lock(bitmap);
  if (!lock || !ViewDib(lock.block())) Finding(exportName, "new bitmap does not hold what its header claims");
}

// A returned packed bitmap: unlocked, holding what its header claims.
void CheckNewBitmap(const char* exportName, HGLOBAL bitmap) {
  if ((GlobalFlags(bitmap) & GMEM_LOCKCOUNT) != 0) Finding(exportName, "new bitmap returned locked");
  GlobalLockGuard lock(bitmap);
  if (!lock || !ViewDib(lock.block())) Finding(exportName, "new bitmap does not hold what its header claims");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<host::EffectInfo>& catalog = host::EffectCatalog();
  fuzz::FuzzReader in(data, size);
  const host::EffectInfo& effect = catalog[in.read<uint8_t>() % catalog.size()];
  if (!Fuzzable(effect)) return 0;

  const size_t liveBefore = Win32EmuLiveBlocks();
  const size_t heapBefore = Win32EmuLiveHeapBlocks();
  {
    fuzz::FuzzedWorld world;
    host::EffectArgs args;
    if (effect.result != host::ResultKind::NoImage) args.image = world.readImage(in);
    std::vector<HGLOBAL> extras;
    for (const host::ExtraInput& extra : effect.extras) {
      extras.push_back(extra.kind == host::ExtraKind::AlphaImage ? world.readImage(in) : world.readPlainBitmap(in));
    }
    args.extras = extras;
    args.rect = fuzz::FuzzedWorld::readRect(in);
    if (effect.result == host::ResultKind::Painted) args.dc = world.readDc(in);
    const std::vector<double> values = fuzz::ReadValues(in, effect);
    args.values = values;

    const std::vector<unsigned> locks = world.lockCounts();
    const intptr_t result = effect.invoke(args);
    if (world.lockCounts() != locks) Finding(effect.exportName, "a lock count changed");
    if (effect.result == host::ResultKind::NewImage) {
      if (result != 0) {
        CheckNewImage(effect.exportName, reinterpret_cast<HGLOBAL>(result));
        host::FreeImageHandle(reinterpret_cast<HGLOBAL>(result));
      }
    } else if (effect.result == host::ResultKind::NewBitmap) {
      if (result != 0) {
        CheckNewBitmap(effect.exportName, reinterpret_cast<HGLOBAL>(result));
        GlobalFree(reinterpret_cast<HGLOBAL>(result));
      }
    } else if (result != 0 && result != 1) {
      Finding(effect.exportName, "result neither 0 nor 1");
    }
  }
  if (Win32EmuLiveBlocks() != liveBefore) Finding(effect.exportName, "a block was left live");
  if (Win32EmuLiveHeapBlocks() != heapBefore) Finding(effect.exportName, "a heap block was left live");
  return 0;
}
