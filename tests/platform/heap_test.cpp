#include <gtest/gtest.h>
#include <ormi/win32.h>
#include <ormi/win32emu_testing.h>

#include <cstring>

namespace {

TEST(Win32EmuHeap, AllocatesZeroesCountsAndFrees) {
  HANDLE heap = GetProcessHeap();
  ASSERT_NE(heap, nullptr);
  const size_t before = Win32EmuLiveHeapBlocks();
  auto* zeroed = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 64));
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(zeroed[i], 0);
  void* empty = HeapAlloc(heap, 0, 0);
  EXPECT_NE(empty, nullptr);
  EXPECT_EQ(Win32EmuLiveHeapBlocks(), before + 2);
  EXPECT_TRUE(HeapFree(heap, 0, zeroed));
  EXPECT_TRUE(HeapFree(heap, 0, empty));
  EXPECT_EQ(Win32EmuLiveHeapBlocks(), before);
  EXPECT_TRUE(HeapFree(heap, 0, nullptr));
}

TEST(Win32EmuHeap, RefusesForeignHeapsAndBlocks) {
  int local = 0;
  EXPECT_EQ(HeapAlloc(reinterpret_cast<HANDLE>(&local), 0, 8), nullptr);
  EXPECT_FALSE(HeapFree(GetProcessHeap(), 0, &local));  // never allocated: not freed, no crash
  void* block = HeapAlloc(GetProcessHeap(), 0, 8);
  EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, block));
  EXPECT_FALSE(HeapFree(GetProcessHeap(), 0, block));  // a second free is refused
}

TEST(Win32EmuHeap, FailsTheNthAllocationOnce) {
  HANDLE heap = GetProcessHeap();
  const long calls = Win32EmuHeapAllocCalls();
  Win32EmuFailNextHeapAlloc(2);
  void* first = HeapAlloc(heap, 0, 4);
  void* second = HeapAlloc(heap, 0, 4);
  void* third = HeapAlloc(heap, 0, 4);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);
  EXPECT_EQ(Win32EmuHeapAllocCalls(), calls + 3);
  Win32EmuFailNextHeapAlloc(1);
  Win32EmuFailNextHeapAlloc(0);  // cancelled
  void* fourth = HeapAlloc(heap, 0, 4);
  EXPECT_NE(fourth, nullptr);
  for (void* p : {first, third, fourth}) HeapFree(heap, 0, p);
}

}  // namespace
