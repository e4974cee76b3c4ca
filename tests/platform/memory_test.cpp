// Global, local and heap memory of the Win32 emulation: sizes, zero fill, lock counts, handle
// mapping, the guard page behind every block, bad handles, GDI objects and DCs (fault injection is
// exercised by the failure-path test over every export).
#include <gtest/gtest.h>
#include <ormi/win32.h>
#include <ormi/win32emu_testing.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr std::uintptr_t kTwoGiB = std::uintptr_t{1} << 31;
std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

struct BlockCase {
  UINT flags;
  SIZE_T bytes;
};

class Win32EmuBlock : public testing::TestWithParam<BlockCase> {};

// Size, zero fill, every byte usable up to a guard page, low addresses, lock counts, handle
// mapping and accounting, from allocation to free.
TEST_P(Win32EmuBlock, BehavesAsAskedFor) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto [flags, bytes] = GetParam();
  const bool moveable = flags & GMEM_MOVEABLE;
  const size_t blocksBefore = Win32EmuLiveBlocks(), bytesBefore = Win32EmuLiveBytes();
  HGLOBAL h = GlobalAlloc(flags, bytes);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), bytes);
  EXPECT_EQ(Win32EmuLiveBlocks(), blocksBefore + 1);
  EXPECT_EQ(Win32EmuLiveBytes(), bytesBefore + bytes);

  auto* p = static_cast<volatile unsigned char*>(GlobalLock(h));
  ASSERT_NE(p, nullptr) << "a zero-byte block is still a valid block";
  EXPECT_LT(Address(const_cast<unsigned char*>(p)) + bytes, kTwoGiB);
  EXPECT_EQ(p == h, !moveable) << "a fixed block's handle is its pointer, a moveable one's is not";
  EXPECT_EQ(GlobalHandle(const_cast<unsigned char*>(p)), h);
  if (bytes > 1) {
    EXPECT_EQ(GlobalHandle(const_cast<unsigned char*>(p) + 1), nullptr) << "only the first byte names it";
  }
  EXPECT_EQ(GlobalLock(h), p);
  EXPECT_EQ(GlobalFlags(h), moveable ? 2u : 0u) << "two locks";
  bool zero = true, written = true;
  for (SIZE_T i = 0; i < bytes; ++i) {
    zero = zero && p[i] == 0;
    p[i] = static_cast<unsigned char>(i * 31 + 7);
  }
  for (SIZE_T i = 0; i < bytes; ++i) written = written && p[i] == static_cast<unsigned char>(i * 31 + 7);
  EXPECT_TRUE(written);
  // Code that forgets GMEM_ZEROINIT must not pass by luck.
  EXPECT_TRUE(zero || !(flags & GMEM_ZEROINIT));
  EXPECT_FALSE(zero && !(flags & GMEM_ZEROINIT) && bytes >= 64);
  EXPECT_DEATH(p[bytes] = 1, "") << "one byte past the block";

  EXPECT_EQ(GlobalUnlock(h) != 0, moveable) << "one lock is left";
  EXPECT_EQ(GlobalUnlock(h), 0);
  EXPECT_EQ(GlobalUnlock(h), 0) << "was not locked";
  EXPECT_EQ(GlobalFlags(h), 0u) << "unlocking an unlocked block must not wrap the count";
  EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(GlobalHandle(const_cast<unsigned char*>(p)), nullptr);
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), blocksBefore);
  EXPECT_EQ(Win32EmuLiveBytes(), bytesBefore);
}

std::vector<BlockCase> BlockCases() {
  std::vector<BlockCase> cases;
  for (UINT flags : {GMEM_FIXED, GMEM_MOVEABLE, GPTR, GHND})
    for (SIZE_T bytes : {0, 1, 64, 4095, 4096, 4097, 100000}) cases.push_back({flags, bytes});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(FlagsAndSizes, Win32EmuBlock, testing::ValuesIn(BlockCases()), [](const auto& param) {
  return "flags" + std::to_string(param.param.flags) + "_bytes" + std::to_string(param.param.bytes);
});

TEST(Win32EmuMemory, LockCountSaturatesAtTheLowByte) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
  for (int i = 0; i < 300; ++i) GlobalLock(h);
  EXPECT_EQ(GlobalFlags(h), GMEM_LOCKCOUNT);
  for (unsigned i = 1; i < GMEM_LOCKCOUNT; ++i) ASSERT_NE(GlobalUnlock(h), 0) << "unlock " << i;
  EXPECT_EQ(GlobalUnlock(h), 0);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

// Local and heap blocks are zeroed and counted, a second free fails, impossible sizes are refused.
TEST(Win32EmuMemory, LocalAndHeapBlocksAndImpossibleSizes) {
  const size_t before = Win32EmuLiveBlocks(), heapBefore = Win32EmuLiveHeapBlocks();
  HLOCAL fixed = LocalAlloc(LPTR, 24), moveable = LocalAlloc(LMEM_MOVEABLE, 24);
  HANDLE heap = GetProcessHeap();
  auto* zeroed = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 64));
  ASSERT_TRUE(fixed && zeroed);
  EXPECT_LT(Address(fixed), kTwoGiB);
  EXPECT_EQ(std::count(static_cast<char*>(fixed), static_cast<char*>(fixed) + 24, 0), 24);
  EXPECT_EQ(std::count(zeroed, zeroed + 64, 0), 64);
  EXPECT_EQ(Win32EmuLiveBlocks(), before + 2) << "local blocks are counted too";
  EXPECT_EQ(Win32EmuLiveHeapBlocks(), heapBefore + 1);
  EXPECT_EQ(LocalFree(fixed), nullptr);
  EXPECT_EQ(LocalFree(moveable), nullptr);
  EXPECT_EQ(LocalFree(fixed), fixed) << "a second free fails";
  EXPECT_TRUE(HeapFree(heap, 0, zeroed));
  EXPECT_FALSE(HeapFree(heap, 0, zeroed)) << "a second free is refused";
  int local = 0;
  EXPECT_EQ(HeapAlloc(reinterpret_cast<HANDLE>(&local), 0, 8), nullptr);
  EXPECT_FALSE(HeapFree(heap, 0, &local));
  EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, ~SIZE_T{0}), nullptr);
  EXPECT_EQ(GlobalAlloc(GMEM_FIXED, ~SIZE_T{0} - 4096), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), before);
  EXPECT_EQ(Win32EmuLiveHeapBlocks(), heapBefore);
}

// Anything that is not a live block's handle: every call fails cleanly and changes nothing.
TEST(Win32EmuMemory, BadHandlesFailWithoutCrashing) {
  char stackByte = 0;
  auto heapBytes = std::make_unique<char[]>(64);
  HGLOBAL live = GlobalAlloc(GMEM_FIXED, 64);
  std::vector<HGLOBAL> bad = {nullptr, &stackByte, heapBytes.get(), static_cast<char*>(live) + 1};
  for (std::uintptr_t value :
       {std::uintptr_t{1}, std::uintptr_t{0x12345678}, std::uintptr_t{0xFFFFFFFFu}, ~std::uintptr_t{0}})
    bad.push_back(reinterpret_cast<HGLOBAL>(value));
  for (UINT flags : {GMEM_FIXED, GMEM_MOVEABLE}) {
    HGLOBAL freed = GlobalAlloc(flags, 64);
    GlobalLock(freed);
    GlobalFree(freed);
    bad.push_back(freed);
  }
  const size_t blocks = Win32EmuLiveBlocks();
  for (HGLOBAL h : bad) {
    SCOPED_TRACE(h);
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalUnlock(h), 0);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_EQ(GlobalFlags(h), GMEM_INVALID_HANDLE);
    EXPECT_EQ(GlobalHandle(h), nullptr);
    EXPECT_EQ(GlobalFree(h), h);
    EXPECT_EQ(LocalFree(h), h);
    EXPECT_EQ(DeleteObject(h), FALSE);
  }
  EXPECT_EQ(Win32EmuLiveBlocks(), blocks);
  EXPECT_EQ(GlobalSize(live), 64u) << "the real block is unharmed";
  GlobalFree(live);
  // Freed handles are not soon handed out again, so a stale one cannot reach a new block.
  std::set<HGLOBAL> freed;
  for (int i = 0; i < 2000; ++i) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_EQ(freed.count(h), 0u) << "handle reused after " << i << " blocks";
    GlobalFree(h);
    freed.insert(h);
  }
}

TEST(Win32EmuMemory, OneGibibyteLiveAtOnceBelowTwoGibibytes) {
  constexpr SIZE_T kBlock = SIZE_T{256} << 20;
  std::vector<HGLOBAL> handles;
  std::set<std::uintptr_t> starts;
  for (int i = 0; i < 4; ++i) {
    handles.push_back(GlobalAlloc(GMEM_MOVEABLE, kBlock));
    auto* p = static_cast<unsigned char*>(GlobalLock(handles.back()));
    ASSERT_NE(p, nullptr) << "block " << i;
    EXPECT_LE(Address(p) + kBlock, kTwoGiB);
    p[0] = p[kBlock - 1] = static_cast<unsigned char>(i + 1);
    starts.insert(Address(p));
  }
  for (auto a = starts.begin(), b = std::next(a); b != starts.end(); ++a, ++b) EXPECT_GE(*b - *a, kBlock) << "overlap";
  for (int i = 0; i < 4; ++i) {
    const auto* p = static_cast<const unsigned char*>(GlobalLock(handles[i]));
    EXPECT_EQ(p[0] + p[kBlock - 1], 2 * (i + 1));
    GlobalFree(handles[i]);
  }
}

TEST(Win32EmuGdi, ObjectsAreDeletedOnceAndDCsKeepTheirOwnSurfaces) {
  std::vector<HGDIOBJ> objects;
  for (int i = 0; i < 50; ++i) objects.push_back(Win32EmuCreateGdiObject());
  EXPECT_EQ(std::set<HGDIOBJ>(objects.begin(), objects.end()).size(), 50u);
  EXPECT_EQ(DeleteObject(objects[10]), TRUE);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(Win32EmuGdiObjectDeleted(objects[i]), i == 10 ? 1 : 0) << i;
  for (int i = 0; i < 50; ++i) EXPECT_EQ(DeleteObject(objects[i]), i == 10 ? FALSE : TRUE) << "deleted once " << i;
  HDC dc = Win32EmuCreateMemoryDC(7, 5), other = Win32EmuCreateMemoryDC(7, 5);
  const uint32_t* pixels = Win32EmuMemoryDCPixels(dc);
  EXPECT_EQ(std::count(pixels, pixels + 35, 0u), 35) << "black at first";
  EXPECT_NE(pixels, Win32EmuMemoryDCPixels(other));
  Win32EmuDeleteMemoryDC(dc);
  EXPECT_EQ(Win32EmuMemoryDCPixels(dc), nullptr);
  EXPECT_NE(Win32EmuMemoryDCPixels(other), nullptr);
  Win32EmuDeleteMemoryDC(other);
  EXPECT_EQ(Win32EmuCreateMemoryDC(0, 4), nullptr);
  EXPECT_EQ(Win32EmuCreateMemoryDC(1 << 30, 1 << 30), nullptr);
}

}  // namespace
