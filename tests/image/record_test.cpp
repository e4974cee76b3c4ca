#include <gtest/gtest.h>

#include <cstring>

#include "image/frames.h"
#include "image/record.h"
#include "support/test_image.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::LockCount;
using test::TestImage;

class RecordTest : public test::MemoryCheckedTest {};

HGLOBAL MakeBlock(const void* bytes, size_t size) {
  HGLOBAL block = GlobalAlloc(GHND, size);
  std::memcpy(GlobalLock(block), bytes, size);
  GlobalUnlock(block);
  return block;
}

TEST_F(RecordTest, LockImageRecordAcceptsTheMagicAndLeavesTheRecordLocked) {
  TestImage image({.depth = 32, .width = 2, .height = 2});
  ImageRecord* record = LockImageRecord(image.handle());
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(LockCount(image.handle()), 1);
  GlobalUnlock(image.handle());
}

TEST_F(RecordTest, LockImageRecordRejectsAWrongMagicAndUnlocks) {
  char bytes[120] = {'I', 'M', '2', '1'};
  HGLOBAL block = MakeBlock(bytes, sizeof bytes);
  EXPECT_EQ(LockImageRecord(block), nullptr);
  EXPECT_EQ(LockCount(block), 0);
  GlobalFree(block);
}

TEST_F(RecordTest, LockImageRecordRejectsBlocksTooSmallForARecord) {
  char bytes[119] = {'I', 'M', '2', '0'};
  HGLOBAL block = MakeBlock(bytes, sizeof bytes);
  EXPECT_EQ(LockImageRecord(block), nullptr);
  EXPECT_EQ(LockCount(block), 0);
  GlobalFree(block);
}

TEST_F(RecordTest, LockImageRecordRejectsNullFreedAndUnlockableHandles) {
  EXPECT_EQ(LockImageRecord(nullptr), nullptr);
  char bytes[120] = {'I', 'M', '2', '0'};
  HGLOBAL block = MakeBlock(bytes, sizeof bytes);
  Win32EmuFailNextLock(1);
  EXPECT_EQ(LockImageRecord(block), nullptr);
  GlobalFree(block);
  EXPECT_EQ(LockImageRecord(block), nullptr);
}

TEST_F(RecordTest, CreateImageRecordFillsTheRecordAsTheHostExpects) {
  BitmapSpec bitmapSpec{.depth = 8, .width = 3, .height = -5, .clrUsed = 4, .palette = {0x11, 0x22, 0x33, 0x44}};
  HGLOBAL bitmap = test::MakeBitmap(bitmapSpec);
  HGLOBAL handle = CreateImageRecord(bitmap);
  ASSERT_NE(handle, nullptr);
  TestImage image(handle);
  EXPECT_EQ(LockCount(handle), 0);
  EXPECT_EQ(LockCount(bitmap), 0);

  const std::vector<uint8_t> raw = test::BlockBytes(handle);
  ASSERT_EQ(raw.size(), 120u);
  EXPECT_EQ(std::memcmp(raw.data(), "IM20", 4), 0);
  EXPECT_EQ(std::vector<uint8_t>(raw.begin() + 64, raw.begin() + 68), (std::vector<uint8_t>{0x20, 0, 0xCC, 0}));
  EXPECT_EQ(std::vector<uint8_t>(raw.begin() + 104, raw.begin() + 108), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));

  const ImageRecord r = image.record();
  EXPECT_EQ(r.flags, 16u);
  EXPECT_EQ(r.width, 3);
  EXPECT_EQ(r.height, 5);
  EXPECT_EQ(r.baseWidth, 3);
  EXPECT_EQ(r.baseHeight, 5);
  EXPECT_EQ(r.host32, 0xFFFFFFFFu);
  EXPECT_EQ(r.host84, 1u);
  EXPECT_EQ(r.host92, 1u);
  EXPECT_EQ(r.host88 | r.host96 | r.host112 | r.host116 | r.host28 | r.host44 | r.gdiObject, 0u);
  EXPECT_EQ(r.transparentColor, 0u);
  EXPECT_EQ(OrmiHandleFromField(r.bitmap), bitmap);

  // The header copy holds the header and colour table, and stays locked for the record's life.
  const std::vector<uint8_t> copy = image.headerCopyBytes();
  const std::vector<uint8_t> bits = test::BlockBytes(bitmap);
  ASSERT_EQ(copy.size(), 40u + 16u);
  EXPECT_TRUE(std::equal(copy.begin(), copy.end(), bits.begin()));
  EXPECT_EQ(LockCount(GlobalHandle(OrmiPointerFromField(r.header))), 1);
}

TEST_F(RecordTest, CreateImageRecordOfNoBitmapAllocatesNothing) {
  const size_t before = Win32EmuLiveBlocks();
  const long allocs = Win32EmuAllocCalls();
  EXPECT_EQ(CreateImageRecord(nullptr), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), before);
  EXPECT_EQ(Win32EmuAllocCalls(), allocs);
}

TEST_F(RecordTest, CreateImageRecordRefusesABitmapWhoseTablesLeaveTheBlock) {
  HGLOBAL bitmap = test::MakeBitmap({.depth = 8, .width = 4, .height = 1, .sizeOverride = 300});
  EXPECT_EQ(CreateImageRecord(bitmap), nullptr);
  EXPECT_EQ(LockCount(bitmap), 0);
  GlobalFree(bitmap);
}

// Each allocation and lock that CreateImageRecord makes, made to fail in turn.
class CreateImageRecordFailureTest : public RecordTest, public ::testing::WithParamInterface<int> {};

TEST_P(CreateImageRecordFailureTest, FailsCleanly) {
  HGLOBAL bitmap = test::MakeBitmap({.depth = 24, .width = 3, .height = 3});
  const size_t before = Win32EmuLiveBlocks();
  const bool failAlloc = GetParam() > 0;
  if (failAlloc)
    Win32EmuFailNextAlloc(GetParam());
  else
    Win32EmuFailNextLock(-GetParam());
  EXPECT_EQ(CreateImageRecord(bitmap), nullptr);
  EXPECT_EQ(Win32EmuLiveBlocks(), before);
  EXPECT_EQ(LockCount(bitmap), 0);
  GlobalFree(bitmap);
}

// 1, 2: the record and the header copy fail to allocate; -1..-3: the bitmap, record, header copy fail to lock.
INSTANTIATE_TEST_SUITE_P(EachStep, CreateImageRecordFailureTest, ::testing::Values(1, 2, -1, -2, -3));

TEST_F(RecordTest, HeaderCopyOfRefusesMissingAndStaleCopies) {
  TestImage image({.depth = 32, .width = 2, .height = 2});
  ImageRecord r = image.record();
  EXPECT_TRUE(HeaderCopyOf(r).has_value());
  r.header = 0;
  EXPECT_FALSE(HeaderCopyOf(r).has_value());
  HGLOBAL small = GlobalAlloc(GMEM_FIXED, 8);
  r.header = OrmiFieldFromPointer(small);
  EXPECT_FALSE(HeaderCopyOf(r).has_value());
  GlobalFree(small);
  r.header = OrmiFieldFromPointer(small);
  EXPECT_FALSE(HeaderCopyOf(r).has_value());
}

TEST_F(RecordTest, DirectFrameRefusesTheLockedFlagAndDeletesTheGdiObject) {
  TestImage image({.depth = 32, .width = 2, .height = 2});
  HGDIOBJ gdi = Win32EmuCreateGdiObject();
  image.edit([&](ImageRecord& r) {
    r.gdiObject = OrmiFieldFromGdiObject(gdi);
    r.flags |= ORMI_FLAG_LOCKED_IMAGE;
  });
  int calls = 0;
  auto work = [&](ImageRecord&) { return ++calls; };
  EXPECT_EQ(WithDirectRecord(image.handle(), LockedFlag::Refuse, work), 0);
  EXPECT_FALSE(Win32EmuGdiObjectDeleted(gdi));
  EXPECT_EQ(WithDirectRecord(image.handle(), LockedFlag::Ignore, work), 1);
  EXPECT_TRUE(Win32EmuGdiObjectDeleted(gdi));
  EXPECT_EQ(image.record().gdiObject, 0u);
  EXPECT_EQ(LockCount(image.handle()), 0);

  // The direct frame does not test the magic; the validating frame does.
  image.edit([](ImageRecord& r) { r.magic[3] = '1'; });
  EXPECT_EQ(WithDirectRecord(image.handle(), LockedFlag::Ignore, work), 2);
  EXPECT_EQ(WithValidatedRecord(image.handle(), work), 0);
  EXPECT_EQ(calls, 2);
}

TEST_F(RecordTest, FramesRefuseARecordWithoutBitmapOrHeaderCopy) {
  TestImage image({.depth = 24, .width = 2, .height = 2});
  auto work = [](ImageRecord&) { return 7; };
  EXPECT_EQ(WithValidatedRecord(image.handle(), kDepth32, work), 0);
  EXPECT_EQ(WithValidatedRecord(image.handle(), DepthSet{24}, work), 7);
  const ImageRecord saved = image.record();
  image.edit([](ImageRecord& r) { r.header = 0; });
  EXPECT_EQ(WithValidatedRecord(image.handle(), DepthSet{24}, work), 0);
  EXPECT_EQ(WithValidatedRecord(image.handle(), work), 7);
  image.edit([&](ImageRecord& r) {
    r.header = saved.header;
    r.bitmap = 0;
  });
  EXPECT_EQ(WithValidatedRecord(image.handle(), work), 0);
  EXPECT_EQ(WithDirectRecord(image.handle(), LockedFlag::Ignore, work), 0);
  EXPECT_EQ(LockCount(image.handle()), 0);
  image.edit([&](ImageRecord& r) { r.bitmap = saved.bitmap; });
}

}  // namespace
}  // namespace ormi
