// Guard pages, low addresses for big allocations, and concurrent use of the emulated heap.
#include <gtest/gtest.h>
#include <ormi/win32.h>
#include <ormi/win32emu_testing.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr std::uintptr_t kTwoGiB = std::uintptr_t{1} << 31;

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

struct GuardCase {
  UINT flags;
  SIZE_T bytes;
};

void PrintTo(const GuardCase& c, std::ostream* os) { *os << "flags " << c.flags << ", " << c.bytes << " bytes"; }

class Win32EmuGuardPage : public testing::TestWithParam<GuardCase> {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    handle_ = GlobalAlloc(GetParam().flags, GetParam().bytes);
    ASSERT_NE(handle_, nullptr);
    data_ = static_cast<volatile unsigned char*>(GlobalLock(handle_));
    ASSERT_NE(data_, nullptr);
  }
  void TearDown() override { GlobalFree(handle_); }

  HGLOBAL handle_ = nullptr;
  volatile unsigned char* data_ = nullptr;
};

TEST_P(Win32EmuGuardPage, LastByteIsUsable) {
  const SIZE_T last = GetParam().bytes - 1;
  data_[last] = 0xA5;
  EXPECT_EQ(data_[last], 0xA5);
  data_[0] = 0x5A;
  EXPECT_EQ(data_[0], 0x5A);
}

TEST_P(Win32EmuGuardPage, WritingOnePastTheEndFaults) {
  const SIZE_T end = GetParam().bytes;
  EXPECT_DEATH(data_[end] = 1, "");
}

TEST_P(Win32EmuGuardPage, ReadingOnePastTheEndFaults) {
  const SIZE_T end = GetParam().bytes;
  EXPECT_DEATH(
      {
        unsigned char value = data_[end];
        data_[0] = value;
      },
      "");
}

INSTANTIATE_TEST_SUITE_P(Sizes, Win32EmuGuardPage,
                         testing::Values(GuardCase{GMEM_FIXED, 1}, GuardCase{GMEM_FIXED, 4095},
                                         GuardCase{GMEM_FIXED, 4096}, GuardCase{GMEM_FIXED, 4097},
                                         GuardCase{GMEM_MOVEABLE, 100}, GuardCase{GHND, 70001}),
                         [](const testing::TestParamInfo<GuardCase>& param) {
                           return "flags" + std::to_string(param.param.flags) + "_bytes" +
                                  std::to_string(param.param.bytes);
                         });

TEST(Win32EmuGuardPageZero, ZeroByteBlockHasNoAccessibleByte) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  HGLOBAL h = GlobalAlloc(GMEM_FIXED, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 0u);
  auto* p = static_cast<volatile unsigned char*>(h);
  EXPECT_DEATH(p[0] = 1, "");
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(Win32EmuLargeBlocks, OneGibibyteLiveAtOnceBelowTwoGibibytes) {
  constexpr SIZE_T kBlock = SIZE_T{256} << 20;
  const size_t bytesBefore = Win32EmuLiveBytes();
  std::vector<HGLOBAL> handles;
  std::vector<std::pair<std::uintptr_t, std::uintptr_t>> ranges;
  for (int i = 0; i < 4; ++i) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, kBlock);
    ASSERT_NE(h, nullptr) << "block " << i;
    handles.push_back(h);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    EXPECT_LT(Address(h), kTwoGiB);
    EXPECT_LE(Address(p) + kBlock, kTwoGiB);
    p[0] = static_cast<unsigned char>(i + 1);
    p[kBlock - 1] = static_cast<unsigned char>(i + 101);
    ranges.emplace_back(Address(p), Address(p) + kBlock);
  }
  EXPECT_EQ(Win32EmuLiveBytes(), bytesBefore + 4 * kBlock);
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i) EXPECT_LE(ranges[i - 1].second, ranges[i].first) << "blocks overlap";
  for (int i = 0; i < 4; ++i) {
    const auto* p = static_cast<const unsigned char*>(GlobalLock(handles[i]));
    EXPECT_EQ(p[0], i + 1);
    EXPECT_EQ(p[kBlock - 1], i + 101);
  }
  for (HGLOBAL h : handles) EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(Win32EmuLiveBytes(), bytesBefore);
}

TEST(Win32EmuThreads, ConcurrentAllocLockFreeKeepsTheBooks) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 400;
  const size_t blocksBefore = Win32EmuLiveBlocks();
  const size_t bytesBefore = Win32EmuLiveBytes();
  const long allocsBefore = Win32EmuAllocCalls();
  const long locksBefore = Win32EmuLockCalls();
  std::atomic<int> failures{0};

  auto work = [&failures](int id) {
    std::vector<HGLOBAL> kept;  // some blocks outlive a round, so frees interleave with other threads
    for (int round = 0; round < kRounds; ++round) {
      const auto size = static_cast<SIZE_T>(1 + (round * 37 + id * 11) % 3000);
      const bool moveable = (round + id) % 2 == 0;
      HGLOBAL h = moveable ? GlobalAlloc(GMEM_MOVEABLE, size) : LocalAlloc(LMEM_FIXED, size);
      auto* p = static_cast<unsigned char*>(GlobalLock(h));
      if (h == nullptr || p == nullptr || GlobalHandle(p) != h || GlobalSize(h) != size) {
        ++failures;
        continue;
      }
      std::fill(p, p + size, static_cast<unsigned char>(id));
      if (moveable && GlobalFlags(h) != 1u) ++failures;
      GlobalUnlock(h);
      kept.push_back(h);
      if (kept.size() > 8) {
        HGLOBAL oldest = kept.front();
        kept.erase(kept.begin());
        const auto* q = static_cast<const unsigned char*>(GlobalLock(oldest));
        const SIZE_T oldSize = GlobalSize(oldest);
        if (q == nullptr || std::count(q, q + oldSize, static_cast<unsigned char>(id)) != static_cast<long>(oldSize))
          ++failures;  // another thread wrote into this thread's block
        if (GlobalFree(oldest) != nullptr) ++failures;
      }
    }
    for (HGLOBAL h : kept)
      if (GlobalFree(h) != nullptr) ++failures;
  };

  std::vector<std::thread> threads;
  for (int id = 0; id < kThreads; ++id) threads.emplace_back(work, id + 1);
  for (std::thread& t : threads) t.join();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(Win32EmuLiveBlocks(), blocksBefore);
  EXPECT_EQ(Win32EmuLiveBytes(), bytesBefore);
  EXPECT_EQ(Win32EmuAllocCalls() - allocsBefore, long{kThreads} * kRounds);
  // One lock per round plus one per freed block.
  EXPECT_EQ(Win32EmuLockCalls() - locksBefore, long{kThreads} * (kRounds + kRounds - 8));
}

}  // namespace
