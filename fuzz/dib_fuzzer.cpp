// The bitmap and record rules on their own: ViewDib must accept only a bitmap whose tables and
// rows lie inside its block (every byte it promises is read here, so the guard page after the
// block catches a wrong promise), and CreateImageRecord and LockImageRecord must take any
// bitmap or record without touching memory outside it or leaving a lock or block behind.
#include <cstdio>
#include <cstdlib>

#include <ormi/win32emu_testing.h>

#include "fuzz/fuzz_input.h"
#include "image/dib.h"
#include "image/global_memory.h"
#include "image/record.h"

namespace {

using namespace ormi;

// Where the harness sums what it reads, so that the reads stay.
volatile uint32_t readSum;

[[noreturn]] void Finding(const char* what) {
  std::fprintf(stderr, "ormi-fuzz: %s\n", what);
  std::abort();
}

// Reads every byte a view promises; the sum keeps the reads from being optimised away.
uint32_t TouchView(const DibView& view, DibExtent extent) {
  uint32_t sum = 0;
  for (size_t i = 0; i < view.bitsOffset; ++i) sum += view.base[i];
  const size_t rowBytes = static_cast<size_t>(DibStride(view.width, view.bitCount));
  // Rows without bytes promise nothing, whatever their number.
  if (extent == DibExtent::Rows && rowBytes != 0) {
    for (uint32_t r = 0; r < view.rows; ++r) {
      for (size_t i = 0; i < rowBytes; ++i) sum += view.row(r)[i];
    }
  }
  if (view.bitCount == 16) sum += DibRgb16Layout(view).redMask;
  return sum;
}

void CheckView(HGLOBAL bitmap) {
  GlobalLockGuard lock(bitmap);
  if (!lock) return;
  for (DibExtent extent : {DibExtent::Tables, DibExtent::Rows}) {
    const std::optional<DibView> view = ViewDib(lock.block(), extent);
    if (!view) continue;
    if (view->bitsOffset > view->blockSize) Finding("view promises tables beyond the block");
    if (extent == DibExtent::Rows && view->width < 0) Finding("rows promised for a negative width");
    readSum = TouchView(*view, extent);
  }
}

// A record made for the bitmap: checked, then freed with its header copy (the bitmap stays the
// fuzzer's).
void CheckCreatedRecord(HGLOBAL bitmap) {
  HGLOBAL image = CreateImageRecord(bitmap);
  if (!image) return;
  if ((GlobalFlags(image) & GMEM_LOCKCOUNT) != 0) Finding("created record left locked");
  {
    RecordLock record(image);
    if (!record) Finding("created record does not lock");
    if (!HeaderCopyOf(*record)) Finding("created record has no header copy");
    if (BitmapOf(*record) != bitmap) Finding("created record names another bitmap");
    HGLOBAL header = GlobalHandle(OrmiPointerFromField(record->header));
    GlobalUnlock(header);
    GlobalFree(header);
  }
  GlobalFree(image);
}

// A host's record: when it locks, the header copy it promises holds a whole info header.
void CheckRecord(HGLOBAL image) {
  RecordLock record(image);
  if (!record) return;
  if (const std::optional<BITMAPINFOHEADER> header = HeaderCopyOf(*record)) readSum = header->biClrUsed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzReader in(data, size);
  const size_t liveBefore = Win32EmuLiveBlocks();
  const size_t heapBefore = Win32EmuLiveHeapBlocks();
  {
    fuzz::FuzzedWorld world;
    HGLOBAL bitmap = world.readBitmap(in);
    HGLOBAL image = world.readImage(in);
    const std::vector<unsigned> locks = world.lockCounts();

    CheckView(bitmap);
    CheckCreatedRecord(bitmap);
    CheckRecord(image);
    if (world.lockCounts() != locks) Finding("a lock count changed");
  }
  if (Win32EmuLiveBlocks() != liveBefore) Finding("a block was left live");
  if (Win32EmuLiveHeapBlocks() != heapBefore) Finding("a heap block was left live");
  return 0;
}
