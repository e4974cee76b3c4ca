// Inputs the fuzzers found, kept as regression tests: each once made an export misbehave.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "host/catalog.h"
#include "host/image_handle.h"

#include "support/test_image.h"

namespace ormi::test {
namespace {

using Clock = std::chrono::steady_clock;

class FuzzFindingsTest : public MemoryCheckedTest {};

// A header whose rows have no bytes (no width, or no bits per pixel) fits any block whatever
// its height; mirroring its columns walked billions of empty rows.
TEST_F(FuzzFindingsTest, MirroringColumnsOfRowsWithoutBytesTakesNoTime) {
  for (const BitmapSpec& bitmapSpec :
       {BitmapSpec{.depth = 32, .width = 0, .height = 0x7FFFFFFF, .sizeOverride = 40},
        BitmapSpec{.depth = 0, .width = 720907, .height = 0x7FFFFFFF, .sizeOverride = 40}}) {
    TestImage image(bitmapSpec);
    const std::vector<uint8_t> before = image.bytes();
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(ImgMirror(image.handle(), 0, 1), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500)) << "depth " << bitmapSpec.depth;
    EXPECT_EQ(image.bytes(), before);
  }
}

// A host's header copy of a size that is no multiple of 4 may start at any address; it was read
// through a typed pointer, which the undefined-behaviour sanitizer reports as misaligned.
TEST_F(FuzzFindingsTest, AHeaderCopyAtAnOddAddressIsReadBytewise) {
  for (const char* exportName : {"ImgInvert", "ImgEqualise", "ImgMirror", "ImgRotate"}) {
    SCOPED_TRACE(exportName);
    const host::EffectInfo* effect = host::FindEffect(exportName);
    ASSERT_NE(effect, nullptr);
    TestImage image({.depth = 32, .width = 6, .height = 6});
    for (int i = 0; i < 36; ++i) image.setPixel(i % 6, i / 6, 0x010203u * static_cast<uint32_t>(i));

    const std::vector<uint8_t> copy = image.headerCopyBytes();
    HGLOBAL odd = GlobalAlloc(GHND, copy.size() + 1);
    auto* oddCopy = static_cast<uint8_t*>(GlobalLock(odd));
    ASSERT_NE(reinterpret_cast<uintptr_t>(oddCopy) % 4, 0u) << "the emulation ends every block at its guard page";
    std::memcpy(oddCopy, copy.data(), copy.size());
    void* original = OrmiPointerFromField(image.record().header);
    image.edit([&](ImageRecord& r) { r.header = OrmiFieldFromPointer(oddCopy); });
    GlobalUnlock(GlobalHandle(original));
    GlobalFree(GlobalHandle(original));

    const std::vector<double> values = host::DefaultValues(*effect);
    const intptr_t result = effect->invoke({.image = image.handle(), .values = values});
    EXPECT_NE(result, 0);
    if (effect->result == host::ResultKind::NewImage) host::FreeImageHandle(reinterpret_cast<HGLOBAL>(result));
  }
}

}  // namespace
}  // namespace ormi::test
