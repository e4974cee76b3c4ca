// The frames of the tone exports: what each refuses, what it returns when the bitmap cannot be
// reached, which record fields it touches, and that every lock is released on every path.
#include <gtest/gtest.h>

#include "support/test_image.h"
#include "tone_test_support.h"

namespace ormi {
namespace {

using test::TestImage;

struct ExportCase {
  const char* name;
  int (*call)(HGLOBAL image);
  bool directFrame;     // no magic test, refuses the locked-image flag, deletes the GDI object
  bool depthFromCopy;   // refuses a header copy that is missing or not 32-bit
  int unreachedBitmap;  // result when the bitmap does not lock or does not hold its rows
};

void PrintTo(const ExportCase& c, std::ostream* os) { *os << c.name; }

class ToneFrameTest : public test::MemoryCheckedTest, public ::testing::WithParamInterface<ExportCase> {
 protected:
  // A 5 by 5 image with 25 different greys, which every export changes.
  static std::unique_ptr<TestImage> MakeImage(int depth = 32) {
    auto image = std::make_unique<TestImage>(test::BitmapSpec{.depth = depth, .width = 5, .height = 5});
    for (int r = 0; r < 5; ++r) {
      for (int x = 0; x < 5; ++x) image->setPixel(x, r, test::Grey(static_cast<uint32_t>(40 + 7 * (5 * r + x))));
    }
    return image;
  }
  static int Call(const TestImage& image) { return test::CallInPlace(image, GetParam().call); }
};

TEST_P(ToneFrameTest, ChangesAnOrdinaryImage) {
  auto image = MakeImage();
  const std::vector<uint8_t> before = image->bytes();
  EXPECT_EQ(Call(*image), 1);
  EXPECT_NE(image->bytes(), before);
}

TEST_P(ToneFrameTest, RefusesANullHandleAndARecordWithoutBitmap) {
  EXPECT_EQ(GetParam().call(nullptr), 0);
  auto image = MakeImage();
  const std::vector<uint8_t> before = image->bytes();
  const uint32_t bitmap = image->record().bitmap;
  image->edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(Call(*image), 0);
  image->edit([&](ImageRecord& r) { r.bitmap = bitmap; });
  EXPECT_EQ(image->bytes(), before);
}

TEST_P(ToneFrameTest, TestsTheMagicUnlessItIsADirectFrame) {
  auto image = MakeImage();
  const std::vector<uint8_t> before = image->bytes();
  image->edit([](ImageRecord& r) { r.magic[3] = '1'; });
  const int result = Call(*image);
  image->edit([](ImageRecord& r) { r.magic[3] = '0'; });
  if (GetParam().directFrame) {
    EXPECT_EQ(result, 1);
    EXPECT_NE(image->bytes(), before);
  } else {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(image->bytes(), before);
  }
}

TEST_P(ToneFrameTest, LockFailuresReleaseEverythingTaken) {
  auto image = MakeImage();
  const std::vector<uint8_t> before = image->bytes();
  // Called directly: the injected failure counts every lock, the checks' own included.
  Win32EmuFailNextLock(1);  // the record
  EXPECT_EQ(GetParam().call(image->handle()), 0);
  Win32EmuFailNextLock(2);  // the bitmap
  EXPECT_EQ(GetParam().call(image->handle()), GetParam().unreachedBitmap);
  EXPECT_EQ(image->bytes(), before);
  EXPECT_EQ(test::LockStateOf(*image), (test::LockState{0, 0, 1}));
}

TEST_P(ToneFrameTest, AnInjectedAllocationFailureChangesNothingBecauseNothingIsAllocated) {
  auto image = MakeImage();
  auto reference = MakeImage();
  Win32EmuFailNextAlloc(1);
  EXPECT_EQ(Call(*image), 1);
  Win32EmuFailNextAlloc(0);
  EXPECT_EQ(Call(*reference), 1);
  EXPECT_EQ(image->bytes(), reference->bytes());
}

TEST_P(ToneFrameTest, BitmapsThatClaimMoreRowsThanTheirBlockAreNotTouched) {
  TestImage image({.depth = 32, .width = 5, .height = 6, .sizeOverride = 40 + 20 * 5});
  for (int x = 0; x < 5; ++x) image.setPixel(x, 0, test::Grey(static_cast<uint32_t>(30 * x)));
  const std::vector<uint8_t> before = image.bytes();
  EXPECT_EQ(Call(image), GetParam().unreachedBitmap);
  EXPECT_EQ(image.bytes(), before);
}

TEST_P(ToneFrameTest, ReadsTheDepthFromTheHeaderCopyOnlyWhereItShould) {
  auto image = MakeImage();
  const uint32_t header = image->record().header;
  image->edit([](ImageRecord& r) { r.header = 0; });
  EXPECT_EQ(Call(*image), GetParam().depthFromCopy ? 0 : 1);
  image->edit([&](ImageRecord& r) { r.header = header; });

  // A copy that says 24 bits refuses the 32-bit-only exports before the bitmap is locked.
  auto* copy = static_cast<BITMAPINFOHEADER*>(OrmiPointerFromField(header));
  copy->biBitCount = 24;
  const std::vector<uint8_t> before = image->bytes();
  EXPECT_EQ(Call(*image), GetParam().depthFromCopy ? 0 : 1);
  if (GetParam().depthFromCopy) {
    EXPECT_EQ(image->bytes(), before);
  }
  copy->biBitCount = 32;
}

TEST_P(ToneFrameTest, TheBitmapsOwnDepthDecidesOnceTheCopyLetItThrough) {
  auto image = MakeImage(24);
  auto* copy = static_cast<BITMAPINFOHEADER*>(OrmiPointerFromField(image->record().header));
  copy->biBitCount = 32;  // the copy disagrees with the bitmap
  const std::vector<uint8_t> before = image->bytes();
  EXPECT_EQ(Call(*image), 1);
  // The 32-bit exports leave a 24-bit bitmap alone; the others take it.
  EXPECT_EQ(image->bytes() == before, GetParam().depthFromCopy);
}

TEST_P(ToneFrameTest, TheLockedImageFlagAndTheGdiObjectBelongToTheDirectFrame) {
  auto image = MakeImage();
  HGDIOBJ object = Win32EmuCreateGdiObject();
  image->edit([&](ImageRecord& r) {
    r.flags |= ORMI_FLAG_LOCKED_IMAGE;
    r.gdiObject = OrmiFieldFromGdiObject(object);
  });
  const std::vector<uint8_t> before = image->bytes();
  if (GetParam().directFrame) {
    EXPECT_EQ(Call(*image), 0);
    EXPECT_EQ(image->bytes(), before);
    EXPECT_FALSE(Win32EmuGdiObjectDeleted(object));
    image->edit([](ImageRecord& r) { r.flags &= ~ORMI_FLAG_LOCKED_IMAGE; });
    // The object goes even when the bitmap then fails to lock.
    Win32EmuFailNextLock(2);
    EXPECT_EQ(GetParam().call(image->handle()), 0);
    EXPECT_EQ(test::LockStateOf(*image), (test::LockState{0, 0, 1}));
    EXPECT_TRUE(Win32EmuGdiObjectDeleted(object));
    EXPECT_EQ(image->record().gdiObject, 0u);
  } else {
    EXPECT_EQ(Call(*image), 1);
    EXPECT_FALSE(Win32EmuGdiObjectDeleted(object));
    EXPECT_EQ(image->record().gdiObject, OrmiFieldFromGdiObject(object));
    DeleteObject(object);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Exports, ToneFrameTest,
    ::testing::Values(
        ExportCase{"Brightness", [](HGLOBAL h) { return ImgBrightness(h, 20); }, true, false, 0},
        ExportCase{"Gamma", [](HGLOBAL h) { return ImgGamma(h, 20); }, true, false, 0},
        ExportCase{"Contrast", [](HGLOBAL h) { return ImgContrast(h, 50); }, false, false, 0},
        ExportCase{"Equalise", ImgEqualise, false, true, 1}, ExportCase{"Normalise", ImgNormalise, false, true, 1},
        ExportCase{"AdjContrast", [](HGLOBAL h) { return ImgAdjContrast(h, 1); }, false, true, 1},
        ExportCase{"AdjustColorRGB", [](HGLOBAL h) { return ImgAdjustColorRGB(h, 10, 0, -10); }, false, true, 1},
        ExportCase{"AdjustColorHSI", [](HGLOBAL h) { return ImgAdjustColorHSI(h, 0.1, 0.1, 0.1); }, false, true, 1}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace ormi
