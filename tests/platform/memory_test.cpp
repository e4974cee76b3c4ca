// Global/local memory of the Win32 emulation: lock counts, handle mapping, sizes, bad handles.
#include <gtest/gtest.h>
#include <ormi/win32.h>
#include <ormi/win32emu_testing.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr std::uintptr_t kTwoGiB = std::uintptr_t{1} << 31;

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

TEST(Win32EmuLock, MoveableLockCountFollowsLockAndUnlock) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 64);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalFlags(h), 0u);

  void* first = GlobalLock(h);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 1u);
  void* second = GlobalLock(h);
  EXPECT_EQ(second, first);
  EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 2u);

  EXPECT_NE(GlobalUnlock(h), 0) << "one lock is left";
  EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 1u);
  EXPECT_EQ(GlobalUnlock(h), 0) << "now unlocked";
  EXPECT_EQ(GlobalFlags(h), 0u);
  EXPECT_EQ(GlobalUnlock(h), 0) << "was not locked";
  EXPECT_EQ(GlobalFlags(h), 0u) << "unlocking an unlocked block must not wrap the count";

  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(Win32EmuLock, LockCountSaturatesAtTheLowByte) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
  ASSERT_NE(h, nullptr);
  for (int i = 0; i < 300; ++i) ASSERT_NE(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalFlags(h), GMEM_LOCKCOUNT);
  for (unsigned i = 1; i < GMEM_LOCKCOUNT; ++i) ASSERT_NE(GlobalUnlock(h), 0) << "unlock " << i;
  EXPECT_EQ(GlobalUnlock(h), 0);
  EXPECT_EQ(GlobalFlags(h), 0u);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(Win32EmuLock, FixedBlockHasNoLockCount) {
  HGLOBAL h = GlobalAlloc(GMEM_FIXED, 32);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalLock(h), h) << "a fixed block's handle is its pointer";
  EXPECT_EQ(GlobalLock(h), h);
  EXPECT_EQ(GlobalFlags(h), 0u);
  EXPECT_EQ(GlobalUnlock(h), 0);
  EXPECT_EQ(GlobalFlags(h), 0u);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(Win32EmuLock, FreeingALockedBlockSucceeds) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
  ASSERT_NE(GlobalLock(h), nullptr);
  const size_t before = Win32EmuLiveBlocks();
  EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), before - 1);
  EXPECT_EQ(GlobalLock(h), nullptr);
}

TEST(Win32EmuHandle, MoveableHandleMapsBackFromItsPointer) {
  HGLOBAL h = GlobalAlloc(GHND, 100);
  ASSERT_NE(h, nullptr);
  auto* p = static_cast<unsigned char*>(GlobalLock(h));
  ASSERT_NE(p, nullptr);
  EXPECT_NE(static_cast<void*>(p), h) << "a moveable handle is not the data pointer";
  EXPECT_EQ(GlobalHandle(p), h);
  EXPECT_EQ(GlobalHandle(p + 1), nullptr) << "only the block's first byte names it";
  EXPECT_EQ(GlobalSize(p), 0u) << "a moveable block's pointer is not its handle";
  GlobalUnlock(h);
  EXPECT_EQ(GlobalHandle(p), h) << "unlocking keeps the mapping";
  EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(GlobalHandle(p), nullptr);
}

TEST(Win32EmuHandle, FixedBlockIsItsOwnHandle) {
  HGLOBAL h = GlobalAlloc(GPTR, 100);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalHandle(h), h);
  EXPECT_EQ(GlobalSize(h), 100u);
  EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(GlobalHandle(h), nullptr);
}

TEST(Win32EmuHandle, DistinctBlocksGetDistinctHandlesAndPointers) {
  std::vector<HGLOBAL> handles;
  std::set<std::uintptr_t> seen;
  for (int i = 0; i < 20; ++i) {
    HGLOBAL h = GlobalAlloc(i % 2 == 0 ? GMEM_MOVEABLE : GMEM_FIXED, static_cast<SIZE_T>(i * 10));
    ASSERT_NE(h, nullptr);
    handles.push_back(h);
    EXPECT_TRUE(seen.insert(Address(h)).second) << "handle reused while live";
    void* p = GlobalLock(h);
    ASSERT_NE(p, nullptr);
    if (p != h) {
      EXPECT_TRUE(seen.insert(Address(p)).second) << "pointer collides with a handle or pointer";
    }
  }
  for (HGLOBAL h : handles) EXPECT_EQ(GlobalFree(h), nullptr);
}

// Blocks of many sizes and kinds: size, zero fill, use of every byte, addresses below 2 GiB, accounting.
struct BlockCase {
  UINT flags;
  SIZE_T bytes;
};

void PrintTo(const BlockCase& c, std::ostream* os) { *os << "flags " << c.flags << ", " << c.bytes << " bytes"; }

class Win32EmuBlock : public testing::TestWithParam<BlockCase> {};

TEST_P(Win32EmuBlock, BehavesAsAskedFor) {
  const BlockCase c = GetParam();
  const size_t blocksBefore = Win32EmuLiveBlocks();
  const size_t bytesBefore = Win32EmuLiveBytes();

  HGLOBAL h = GlobalAlloc(c.flags, c.bytes);
  ASSERT_NE(h, nullptr);
  EXPECT_LT(Address(h), kTwoGiB);
  EXPECT_EQ(GlobalSize(h), c.bytes);
  EXPECT_EQ(Win32EmuLiveBlocks(), blocksBefore + 1);
  EXPECT_EQ(Win32EmuLiveBytes(), bytesBefore + c.bytes);

  auto* p = static_cast<unsigned char*>(GlobalLock(h));
  ASSERT_NE(p, nullptr) << "a zero-byte block is still a valid block";
  EXPECT_LT(Address(p) + c.bytes, kTwoGiB);
  EXPECT_EQ(GlobalHandle(p), h);
  if ((c.flags & GMEM_ZEROINIT) != 0) {
    for (SIZE_T i = 0; i < c.bytes; ++i) ASSERT_EQ(p[i], 0) << "byte " << i;
  }
  for (SIZE_T i = 0; i < c.bytes; ++i) p[i] = static_cast<unsigned char>(i * 31 + 7);
  for (SIZE_T i = 0; i < c.bytes; ++i) ASSERT_EQ(p[i], static_cast<unsigned char>(i * 31 + 7)) << "byte " << i;
  GlobalUnlock(h);

  EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), blocksBefore);
  EXPECT_EQ(Win32EmuLiveBytes(), bytesBefore);
}

std::vector<BlockCase> BlockCases() {
  std::vector<BlockCase> cases;
  for (UINT flags : {GMEM_FIXED, GMEM_MOVEABLE, GPTR, GHND})
    for (SIZE_T bytes : {0, 1, 7, 40, 4095, 4096, 4097, 100000}) cases.push_back({flags, bytes});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(FlagsAndSizes, Win32EmuBlock, testing::ValuesIn(BlockCases()),
                         [](const testing::TestParamInfo<BlockCase>& param) {
                           return "flags" + std::to_string(param.param.flags) + "_bytes" +
                                  std::to_string(param.param.bytes);
                         });

TEST(Win32EmuZeroInit, FreshBlocksWithoutZeroInitAreNotZero) {
  // Code that forgets GMEM_ZEROINIT must not pass by luck.
  HGLOBAL h = GlobalAlloc(GMEM_FIXED, 64);
  ASSERT_NE(h, nullptr);
  const auto* p = static_cast<const unsigned char*>(h);
  bool anyNonZero = false;
  for (int i = 0; i < 64; ++i) anyNonZero = anyNonZero || p[i] != 0;
  EXPECT_TRUE(anyNonZero);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(Win32EmuZeroInit, ZeroInitHoldsAfterDirtyBlocksWereFreed) {
  for (int round = 0; round < 4; ++round) {
    HGLOBAL dirty = GlobalAlloc(GMEM_FIXED, 5000);
    ASSERT_NE(dirty, nullptr);
    std::memset(dirty, 0x5A, 5000);
    ASSERT_EQ(GlobalFree(dirty), nullptr);
    HGLOBAL clean = GlobalAlloc(GPTR, 5000);
    ASSERT_NE(clean, nullptr);
    const auto* p = static_cast<const unsigned char*>(clean);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(p[i], 0) << "round " << round << " byte " << i;
    ASSERT_EQ(GlobalFree(clean), nullptr);
  }
}

TEST(Win32EmuLocal, LocalAllocAndLocalFree) {
  const size_t before = Win32EmuLiveBlocks();
  HLOCAL fixed = LocalAlloc(LMEM_FIXED, 24);
  ASSERT_NE(fixed, nullptr);
  EXPECT_LT(Address(fixed), kTwoGiB);
  std::memset(fixed, 0x11, 24);
  HLOCAL zeroed = LocalAlloc(LPTR, 24);
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(static_cast<const unsigned char*>(zeroed)[i], 0);
  HLOCAL moveable = LocalAlloc(LMEM_MOVEABLE, 24);
  ASSERT_NE(moveable, nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), before + 3) << "local blocks are counted too";

  EXPECT_EQ(LocalFree(fixed), nullptr);
  EXPECT_EQ(LocalFree(zeroed), nullptr);
  EXPECT_EQ(LocalFree(moveable), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), before);
  EXPECT_EQ(LocalFree(fixed), fixed) << "a second free fails";
  EXPECT_EQ(LocalFree(moveable), moveable);
}

// Anything that is not a live block's handle: every call fails cleanly and changes nothing.
enum class BadHandle { Null, One, Random, AllOnes32, AllOnes, Stack, Heap, Interior, FreedMoveable, FreedFixed };

class Win32EmuBadHandle : public testing::TestWithParam<BadHandle> {
 protected:
  void TearDown() override {
    if (live_ != nullptr) GlobalFree(live_);
  }

  HGLOBAL Make(BadHandle kind) {
    switch (kind) {
      case BadHandle::Null: return nullptr;
      case BadHandle::One: return reinterpret_cast<HGLOBAL>(std::uintptr_t{1});
      case BadHandle::Random: return reinterpret_cast<HGLOBAL>(std::uintptr_t{0x12345678});
      case BadHandle::AllOnes32: return reinterpret_cast<HGLOBAL>(std::uintptr_t{0xFFFFFFFFu});
      case BadHandle::AllOnes: return reinterpret_cast<HGLOBAL>(~std::uintptr_t{0});
      case BadHandle::Stack: return &stackByte_;
      case BadHandle::Heap: heap_ = std::make_unique<char[]>(64); return heap_.get();
      case BadHandle::Interior: live_ = GlobalAlloc(GMEM_FIXED, 64); return static_cast<char*>(live_) + 1;
      case BadHandle::FreedMoveable:
      case BadHandle::FreedFixed: {
        HGLOBAL h = GlobalAlloc(kind == BadHandle::FreedFixed ? GMEM_FIXED : GMEM_MOVEABLE, 64);
        EXPECT_NE(GlobalLock(h), nullptr);
        EXPECT_EQ(GlobalFree(h), nullptr);
        return h;
      }
    }
    return nullptr;
  }

  char stackByte_ = 0;
  std::unique_ptr<char[]> heap_;
  HGLOBAL live_ = nullptr;
};

TEST_P(Win32EmuBadHandle, EveryCallFailsWithoutCrashing) {
  HGLOBAL h = Make(GetParam());
  const size_t blocks = Win32EmuLiveBlocks();
  const size_t bytes = Win32EmuLiveBytes();
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalUnlock(h), 0);
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalFlags(h), GMEM_INVALID_HANDLE);
  EXPECT_EQ(GlobalHandle(h), nullptr);
  EXPECT_EQ(GlobalFree(h), h);
  EXPECT_EQ(LocalFree(h), h);
  EXPECT_EQ(Win32EmuLiveBlocks(), blocks);
  EXPECT_EQ(Win32EmuLiveBytes(), bytes);
  if (live_ != nullptr) {
    EXPECT_EQ(GlobalSize(live_), 64u) << "the real block is unharmed";
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Win32EmuBadHandle,
                         testing::Values(BadHandle::Null, BadHandle::One, BadHandle::Random, BadHandle::AllOnes32,
                                         BadHandle::AllOnes, BadHandle::Stack, BadHandle::Heap, BadHandle::Interior,
                                         BadHandle::FreedMoveable, BadHandle::FreedFixed));

TEST(Win32EmuStaleHandle, FreedMoveableHandlesAreNotSoonReused) {
  std::set<std::uintptr_t> freed;
  for (int i = 0; i < 2000; ++i) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(freed.count(Address(h)), 0u) << "handle value reused after " << i << " blocks";
    ASSERT_EQ(GlobalFree(h), nullptr);
    freed.insert(Address(h));
  }
  for (std::uintptr_t stale : freed) {
    ASSERT_EQ(GlobalSize(reinterpret_cast<HGLOBAL>(stale)), 0u);
    ASSERT_EQ(GlobalLock(reinterpret_cast<HGLOBAL>(stale)), nullptr);
  }
}

TEST(Win32EmuStaleHandle, StaleHandleDoesNotReachANewBlock) {
  HGLOBAL old = GlobalAlloc(GMEM_MOVEABLE, 32);
  ASSERT_EQ(GlobalFree(old), nullptr);
  HGLOBAL fresh = GlobalAlloc(GMEM_MOVEABLE, 32);
  ASSERT_NE(fresh, nullptr);
  EXPECT_NE(fresh, old);
  EXPECT_EQ(GlobalFree(old), old);
  EXPECT_EQ(GlobalSize(fresh), 32u) << "freeing the stale handle left the new block alone";
  EXPECT_EQ(GlobalFree(fresh), nullptr);
}

TEST(Win32EmuAllocation, ImpossibleSizeFailsCleanly) {
  const size_t blocks = Win32EmuLiveBlocks();
  EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, ~SIZE_T{0}), nullptr);
  EXPECT_EQ(GlobalAlloc(GMEM_FIXED, ~SIZE_T{0} - 4096), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), blocks);
}

}  // namespace
