// GDI object registry and memory device contexts of the Win32 emulation.
#include <gtest/gtest.h>
#include <ormi/win32.h>
#include <ormi/win32emu_testing.h>

#include <cstdint>
#include <set>
#include <vector>

namespace {

constexpr std::uintptr_t kFourGiB = std::uintptr_t{1} << 32;

std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

TEST(Win32EmuGdiObject, DeleteObjectSucceedsOnceOnAKnownObject) {
  HGDIOBJ object = Win32EmuCreateGdiObject();
  ASSERT_NE(object, nullptr);
  EXPECT_LT(Address(object), kFourGiB);
  EXPECT_EQ(Win32EmuGdiObjectDeleted(object), 0);
  EXPECT_EQ(DeleteObject(object), TRUE);
  EXPECT_EQ(Win32EmuGdiObjectDeleted(object), 1);
  EXPECT_EQ(DeleteObject(object), FALSE) << "already deleted";
  EXPECT_EQ(Win32EmuGdiObjectDeleted(object), 1);
}

TEST(Win32EmuGdiObject, ObjectsAreDistinctAndIndependent) {
  std::vector<HGDIOBJ> objects;
  std::set<HGDIOBJ> seen;
  for (int i = 0; i < 50; ++i) {
    objects.push_back(Win32EmuCreateGdiObject());
    EXPECT_TRUE(seen.insert(objects.back()).second) << "object " << i << " reuses a handle";
  }
  EXPECT_EQ(DeleteObject(objects[10]), TRUE);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(Win32EmuGdiObjectDeleted(objects[i]), i == 10 ? 1 : 0) << "object " << i;
  for (int i = 0; i < 50; ++i) EXPECT_EQ(DeleteObject(objects[i]), i == 10 ? FALSE : TRUE) << "object " << i;
}

TEST(Win32EmuGdiObject, DeletedHandleIsNotHandedOutAgainSoon) {
  HGDIOBJ old = Win32EmuCreateGdiObject();
  ASSERT_EQ(DeleteObject(old), TRUE);
  for (int i = 0; i < 1000; ++i) {
    HGDIOBJ fresh = Win32EmuCreateGdiObject();
    ASSERT_NE(fresh, old);
    ASSERT_EQ(DeleteObject(fresh), TRUE);
  }
}

TEST(Win32EmuGdiObject, UnknownObjectsAreRefusedWithoutCrashing) {
  const std::uintptr_t values[] = {0, 1, 0x12345678, 0xFFFFFFFFu, ~std::uintptr_t{0}};
  for (std::uintptr_t value : values) {
    auto h = reinterpret_cast<HGDIOBJ>(value);
    EXPECT_EQ(DeleteObject(h), FALSE) << value;
    EXPECT_EQ(Win32EmuGdiObjectDeleted(h), 0) << value;
  }
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 8);
  EXPECT_EQ(DeleteObject(memory), FALSE) << "a memory handle is no GDI object";
  EXPECT_EQ(GlobalSize(memory), 8u);
  GlobalFree(memory);
  HDC dc = Win32EmuCreateMemoryDC(2, 2);
  EXPECT_EQ(DeleteObject(dc), FALSE) << "a DC is not deleted with DeleteObject";
  EXPECT_NE(Win32EmuMemoryDCPixels(dc), nullptr);
  Win32EmuDeleteMemoryDC(dc);
}

TEST(Win32EmuMemoryDC, StartsBlackAndDisappearsWhenDeleted) {
  HDC dc = Win32EmuCreateMemoryDC(7, 5);
  ASSERT_NE(dc, nullptr);
  EXPECT_LT(Address(dc), kFourGiB);
  const uint32_t* pixels = Win32EmuMemoryDCPixels(dc);
  ASSERT_NE(pixels, nullptr);
  for (int i = 0; i < 35; ++i) EXPECT_EQ(pixels[i], 0u) << "pixel " << i;
  Win32EmuDeleteMemoryDC(dc);
  EXPECT_EQ(Win32EmuMemoryDCPixels(dc), nullptr);
  Win32EmuDeleteMemoryDC(dc);  // twice: ignored
}

TEST(Win32EmuMemoryDC, DistinctDCsHaveDistinctSurfaces) {
  HDC a = Win32EmuCreateMemoryDC(3, 3);
  HDC b = Win32EmuCreateMemoryDC(3, 3);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_NE(Win32EmuMemoryDCPixels(a), Win32EmuMemoryDCPixels(b));
  Win32EmuDeleteMemoryDC(a);
  EXPECT_NE(Win32EmuMemoryDCPixels(b), nullptr) << "deleting one DC leaves the other";
  Win32EmuDeleteMemoryDC(b);
}

TEST(Win32EmuMemoryDC, UnknownOrImpossibleDCs) {
  EXPECT_EQ(Win32EmuMemoryDCPixels(nullptr), nullptr);
  EXPECT_EQ(Win32EmuMemoryDCPixels(reinterpret_cast<HDC>(std::uintptr_t{0x1234})), nullptr);
  Win32EmuDeleteMemoryDC(nullptr);
  Win32EmuDeleteMemoryDC(reinterpret_cast<HDC>(std::uintptr_t{0x1234}));
  EXPECT_EQ(Win32EmuCreateMemoryDC(0, 4), nullptr);
  EXPECT_EQ(Win32EmuCreateMemoryDC(4, -1), nullptr);
  EXPECT_EQ(Win32EmuCreateMemoryDC(1 << 30, 1 << 30), nullptr);
}

}  // namespace
