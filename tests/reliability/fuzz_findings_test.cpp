// Inputs the fuzzers found, kept as regression tests: each once made an export misbehave.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <string_view>

#include "host/catalog.h"
#include "host/image_handle.h"

#include "reliability/catalog_calls.h"
#include "support/test_image.h"

namespace ormi::test {
namespace {

using Clock = std::chrono::steady_clock;

class FuzzFindingsTest : public MemoryCheckedTest {};

// A header whose rows have no bytes (no width, or no bits per pixel) fits any block whatever its
// height; walks over its billions of empty rows took seconds (the bound is a hang guard, far above
// the microseconds such a call takes).
struct ByteLessRows {
  int32_t width;
  uint16_t depth;  // 0: the export's own depth
};

class ByteLessRowsTest : public testing::TestWithParam<const char*> {};

TEST_P(ByteLessRowsTest, AreNotWalked) {
  const host::EffectInfo& effect = EffectNamed(GetParam());
  if (effect.result != host::ResultKind::InPlace && effect.result != host::ResultKind::NewImage) {
    GTEST_SKIP() << "takes no image record";
  }
  for (const ByteLessRows rows : {ByteLessRows{0, 0}, ByteLessRows{720907, 0xFFFF}}) {
    PreparedCall call(effect, 3);
    const auto claimHugeHeight = [&](void* header) {
      auto* info = static_cast<BITMAPINFOHEADER*>(header);
      info->biWidth = rows.width;
      info->biHeight = 0x7FFFFFFF;
      if (rows.depth != 0) info->biBitCount = 0;
    };
    HGLOBAL bitmap = call.image()->bitmap();
    claimHugeHeight(GlobalLock(bitmap));
    GlobalUnlock(bitmap);
    claimHugeHeight(OrmiPointerFromField(call.image()->record().header));
    const std::vector<uint8_t> before = call.image()->bytes();
    const LockState locksBefore = LockStateOf(*call.image());
    const Clock::time_point start = Clock::now();
    const intptr_t result = call.invoke();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << "width " << rows.width;
    EXPECT_EQ(LockStateOf(*call.image()), locksBefore);
    // The inversion walks the block to its end whatever the rows; the icon emboss rewrites its table.
    const std::string_view name = effect.exportName;
    if (name != "ImgInvert" && name != "TavoEmbossIcon") {
      EXPECT_EQ(call.image()->bytes(), before);
    }
    FreeResult(effect, result);
  }
}

INSTANTIATE_TEST_SUITE_P(Catalog, ByteLessRowsTest, testing::ValuesIn(CatalogExportNames()),
                         [](const testing::TestParamInfo<const char*>& param) { return std::string(param.param); });

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
