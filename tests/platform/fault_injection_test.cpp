// Fault injection and call counting hooks of the emulated heap.
#include <gtest/gtest.h>
#include <ormi/win32.h>
#include <ormi/win32emu_testing.h>

#include <vector>

namespace {

// Every test disarms the hooks afterwards, so a failing one cannot poison the next.
class Win32EmuFaults : public testing::Test {
 protected:
  void TearDown() override {
    Win32EmuFailNextAlloc(0);
    Win32EmuFailNextLock(0);
    for (HGLOBAL h : blocks_) GlobalFree(h);
  }

  // Alternates GlobalAlloc and LocalAlloc: both count towards the same countdown.
  HGLOBAL Alloc(int i) {
    HGLOBAL h = i % 2 == 0 ? GlobalAlloc(GMEM_MOVEABLE, 32) : LocalAlloc(LMEM_FIXED, 32);
    if (h != nullptr) blocks_.push_back(h);
    return h;
  }

  std::vector<HGLOBAL> blocks_;
};

class Win32EmuFailNthAlloc : public Win32EmuFaults, public testing::WithParamInterface<long> {};

TEST_P(Win32EmuFailNthAlloc, OnlyTheNthAllocationFails) {
  const long n = GetParam();
  const long callsBefore = Win32EmuAllocCalls();
  const size_t blocksBefore = Win32EmuLiveBlocks();
  Win32EmuFailNextAlloc(n);
  for (long i = 1; i <= n + 3; ++i) {
    HGLOBAL h = Alloc(static_cast<int>(i));
    if (i == n) {
      EXPECT_EQ(h, nullptr) << "call " << i;
    } else {
      EXPECT_NE(h, nullptr) << "call " << i;
    }
  }
  EXPECT_EQ(Win32EmuAllocCalls() - callsBefore, n + 3) << "failed calls are counted too";
  EXPECT_EQ(Win32EmuLiveBlocks(), blocksBefore + static_cast<size_t>(n + 2));
}

INSTANTIATE_TEST_SUITE_P(Counts, Win32EmuFailNthAlloc, testing::Values(1L, 2L, 3L, 7L));

TEST_F(Win32EmuFaults, ZeroCancelsAnArmedAllocFailure) {
  Win32EmuFailNextAlloc(2);
  Win32EmuFailNextAlloc(0);
  for (int i = 0; i < 5; ++i) EXPECT_NE(Alloc(i), nullptr) << "call " << i;
}

TEST_F(Win32EmuFaults, ReArmingReplacesTheCountdown) {
  Win32EmuFailNextAlloc(1);
  Win32EmuFailNextAlloc(3);
  EXPECT_NE(Alloc(0), nullptr);
  EXPECT_NE(Alloc(1), nullptr);
  EXPECT_EQ(Alloc(2), nullptr);
  EXPECT_NE(Alloc(3), nullptr);
}

class Win32EmuFailNthLock : public Win32EmuFaults, public testing::WithParamInterface<long> {};

TEST_P(Win32EmuFailNthLock, OnlyTheNthLockFailsAndLeavesTheCountAlone) {
  const long n = GetParam();
  HGLOBAL h = Alloc(0);
  ASSERT_NE(h, nullptr);
  const long callsBefore = Win32EmuLockCalls();
  Win32EmuFailNextLock(n);
  UINT expectedLocks = 0;
  for (long i = 1; i <= n + 2; ++i) {
    void* p = GlobalLock(h);
    if (i == n) {
      EXPECT_EQ(p, nullptr) << "call " << i;
    } else {
      EXPECT_NE(p, nullptr) << "call " << i;
      ++expectedLocks;
    }
    EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, expectedLocks) << "call " << i;
  }
  EXPECT_EQ(Win32EmuLockCalls() - callsBefore, n + 2);
}

INSTANTIATE_TEST_SUITE_P(Counts, Win32EmuFailNthLock, testing::Values(1L, 2L, 5L));

TEST_F(Win32EmuFaults, ZeroCancelsAnArmedLockFailure) {
  HGLOBAL h = Alloc(0);
  ASSERT_NE(h, nullptr);
  Win32EmuFailNextLock(1);
  Win32EmuFailNextLock(0);
  EXPECT_NE(GlobalLock(h), nullptr);
  EXPECT_NE(GlobalLock(h), nullptr);
}

TEST_F(Win32EmuFaults, LockInjectionDoesNotTouchAllocations) {
  Win32EmuFailNextLock(1);
  HGLOBAL h = Alloc(0);
  EXPECT_NE(h, nullptr);
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_NE(GlobalLock(h), nullptr);
}

TEST_F(Win32EmuFaults, CallCountersCountEveryCall) {
  const long allocs = Win32EmuAllocCalls();
  const long locks = Win32EmuLockCalls();
  Alloc(0);
  Alloc(1);
  GlobalLock(nullptr);  // a failing call still counts
  GlobalLock(blocks_.front());
  EXPECT_EQ(Win32EmuAllocCalls() - allocs, 2);
  EXPECT_EQ(Win32EmuLockCalls() - locks, 2);
}

}  // namespace
