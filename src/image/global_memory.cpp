#include "image/global_memory.h"

namespace ormi {

WorkingBlock::WorkingBlock(UINT flags, size_t bytes) {
  HGLOBAL handle = GlobalAlloc(flags, bytes);
  if (!handle) return;
  data_ = static_cast<uint8_t*>(GlobalLock(handle));
  if (!data_) GlobalFree(handle);
}

WorkingBlock::~WorkingBlock() { FreeLockedBlock(data_); }

void FreeLockedBlock(void* data) {
  if (!data) return;
  HGLOBAL handle = GlobalHandle(data);
  if (!handle) return;
  GlobalUnlock(handle);
  GlobalFree(handle);
}

}  // namespace ormi
