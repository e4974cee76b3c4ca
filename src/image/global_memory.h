// RAII ownership of global-memory locks and blocks, so that every early return releases what
// was taken, in reverse order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include <ormi/win32.h>

#include "image/dib.h"

namespace ormi {

// One GlobalLock of a handle, released on destruction.
class GlobalLockGuard {
 public:
  GlobalLockGuard() = default;
  explicit GlobalLockGuard(HGLOBAL handle)
      : handle_(handle), data_(handle ? static_cast<uint8_t*>(GlobalLock(handle)) : nullptr) {}
  GlobalLockGuard(GlobalLockGuard&& other) noexcept
      : handle_(other.handle_), data_(std::exchange(other.data_, nullptr)) {}
  GlobalLockGuard& operator=(GlobalLockGuard&& other) noexcept {
    if (this != &other) {
      unlock();
      handle_ = other.handle_;
      data_ = std::exchange(other.data_, nullptr);
    }
    return *this;
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  ~GlobalLockGuard() { unlock(); }

  explicit operator bool() const { return data_ != nullptr; }
  uint8_t* data() const { return data_; }
  HGLOBAL handle() const { return handle_; }
  size_t size() const { return data_ ? GlobalSize(handle_) : 0; }
  DibBlock block() const { return DibBlock{data_, size()}; }
  void unlock() {
    if (data_) GlobalUnlock(handle_);
    data_ = nullptr;
  }

 private:
  HGLOBAL handle_ = nullptr;
  uint8_t* data_ = nullptr;
};

// A global block that this code allocated, freed on destruction unless released to a new owner.
class GlobalBlock {
 public:
  GlobalBlock(UINT flags, size_t bytes) : handle_(GlobalAlloc(flags, bytes)) {}
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  ~GlobalBlock() {
    if (handle_) GlobalFree(handle_);
  }
  explicit operator bool() const { return handle_ != nullptr; }
  HGLOBAL handle() const { return handle_; }
  HGLOBAL release() { return std::exchange(handle_, nullptr); }

 private:
  HGLOBAL handle_;
};

// Working memory that lives only for one call: allocated and locked at once, and freed through
// the handle that GlobalHandle finds for the locked pointer, as the library frees all its blocks.
class WorkingBlock {
 public:
  WorkingBlock(UINT flags, size_t bytes);
  WorkingBlock(const WorkingBlock&) = delete;
  WorkingBlock& operator=(const WorkingBlock&) = delete;
  ~WorkingBlock();
  explicit operator bool() const { return data_ != nullptr; }
  uint8_t* data() const { return data_; }

 private:
  uint8_t* data_ = nullptr;
};

// Flags of the library's working copies and records: moveable, zero-filled, shareable.
constexpr UINT kWorkingMemoryFlags = 0x2042;

// Frees a locked block through GlobalHandle, GlobalUnlock and GlobalFree.
void FreeLockedBlock(void* data);

}  // namespace ormi
