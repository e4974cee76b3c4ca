// What the six filters share: the export frame and its refusals, the bitmap checks, the working
// memory discipline, the border rule and the three ways of selecting pixels.
#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "filter_test_support.h"
#include "filters/filter_frame.h"
#include "filters/filter_math.h"
#include "filters/row_ring.h"

namespace ormi {
namespace {

using test::BitmapSpec;
using test::Grey;
using test::LockStateOf;
using test::Spec32;
using test::TestImage;

struct FilterCase {
  const char* name;
  int (*call)(HGLOBAL image);
  int border;         // rows and columns on each side that are never written (0: none)
  int workingBlocks;  // GlobalAlloc calls of one run
  bool offersAlphaKey;
};

// Amounts at which each filter changes a random image visibly.
int Blur(HGLOBAL h) { return ImgBlur(h, 0); }
int Sharpen(HGLOBAL h) { return ImgSharpen(h, 50); }
int Edge(HGLOBAL h) { return ImgEdge(h, 0); }

const FilterCase kBlur{"Blur", Blur, 1, 1, true};
const FilterCase kSharpen{"Sharpen", Sharpen, 1, 1, true};
const FilterCase kEmboss{"Emboss", ImgEmboss, 1, 1, true};
const FilterCase kEdge{"Edge", Edge, 1, 1, false};
const FilterCase kDespeckle{"Despeckle", ImgDespeckle, 0, 4, false};
const FilterCase kEnhance{"Enhance", ImgEnhance, 2, 2, false};

const FilterCase kFilters[] = {kBlur, kSharpen, kEmboss, kEdge, kDespeckle, kEnhance};
const FilterCase kWindowFilters[] = {kBlur, kSharpen, kEmboss, kEdge, kEnhance};
// Filters whose result is their kernel's alone (emboss and edge normalise the whole bitmap after
// it; their border and selection are tested without the normalisation in their own file).
const FilterCase kKernelOnlyFilters[] = {kBlur, kSharpen, kDespeckle, kEnhance};
const FilterCase kKernelOnlyWindowFilters[] = {kBlur, kSharpen, kEnhance};

std::string NameOf(const ::testing::TestParamInfo<FilterCase>& info) { return info.param.name; }

class FilterFrameTest : public test::FilterTest, public ::testing::WithParamInterface<FilterCase> {
 protected:
  int Run(const TestImage& image) { return Checked(image, GetParam().call); }

  // A random 32-bit image with every alpha byte as given (or random when alpha < 0).
  static void Randomise(TestImage& image, int width, int height, unsigned seed, int alpha = -1) {
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const uint32_t value = static_cast<uint32_t>(random());
        image.setPixel(x, y, alpha < 0 ? value : (value & 0xFFFFFFu) | static_cast<uint32_t>(alpha) << 24);
      }
    }
  }

  // Runs the filter and expects 1 with every byte of the bitmap unchanged.
  void ExpectUntouched(const TestImage& image) {
    const std::vector<uint8_t> before = image.bytes();
    EXPECT_EQ(Run(image), 1);
    EXPECT_EQ(image.bytes(), before);
  }
};

TEST_P(FilterFrameTest, OtherDepthsAreRefusedWithZero) {
  for (int depth : {1, 8, 16, 24}) {
    TestImage image({.depth = depth, .width = 8, .height = 8});
    const std::vector<uint8_t> before = image.bytes();
    EXPECT_EQ(Run(image), 0) << depth;
    EXPECT_EQ(image.bytes(), before);
  }
}

TEST_P(FilterFrameTest, DepthIsReadFromTheHeaderCopy) {
  // The bitmap says 32 bits, the header copy 24: refused. A record without a header copy too.
  TestImage image(Spec32(8, 8));
  const std::vector<uint8_t> before = image.bytes();
  const uint32_t header = image.record().header;
  auto* copy = static_cast<BITMAPINFOHEADER*>(OrmiPointerFromField(header));
  copy->biBitCount = 24;
  EXPECT_EQ(Run(image), 0);
  copy->biBitCount = 32;
  image.edit([](ImageRecord& r) { r.header = 0; });
  EXPECT_EQ(GetParam().call(image.handle()), 0);
  image.edit([&](ImageRecord& r) { r.header = header; });
  EXPECT_EQ(image.bytes(), before);
}

TEST_P(FilterFrameTest, RecordRefusalsReturnZero) {
  EXPECT_EQ(GetParam().call(nullptr), 0);
  TestImage image(Spec32(8, 8));
  Randomise(image, 8, 8, 1);
  const std::vector<uint8_t> before = image.bytes();

  image.edit([](ImageRecord& r) { r.magic[3] = '1'; });
  EXPECT_EQ(Run(image), 0);
  image.edit([](ImageRecord& r) { r.magic[3] = '0'; });

  const uint32_t bitmap = image.record().bitmap;
  image.edit([](ImageRecord& r) { r.bitmap = 0; });
  EXPECT_EQ(Run(image), 0);
  image.edit([&](ImageRecord& r) { r.bitmap = bitmap; });

  Win32EmuFailNextLock(1);  // the record
  EXPECT_EQ(GetParam().call(image.handle()), 0);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1}));
}

TEST_P(FilterFrameTest, BitmapThatDoesNotLockLeavesTheImageWithOne) {
  TestImage image(Spec32(8, 8));
  Randomise(image, 8, 8, 2);
  const std::vector<uint8_t> before = image.bytes();
  Win32EmuFailNextLock(2);
  EXPECT_EQ(GetParam().call(image.handle()), 1);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1}));
}

// The window filters: a border that is never written, and a minimum size.
class WindowFilterTest : public FilterFrameTest {};

TEST_P(WindowFilterTest, ImagesTooSmallForTheWindowOrTopDownStay) {
  const int side = 2 * GetParam().border + 1;
  for (const BitmapSpec& shape : {Spec32(side - 1, 9), Spec32(9, side - 1), Spec32(9, -9)}) {
    TestImage image(shape);
    Randomise(image, shape.width, std::abs(shape.height), 3);
    const long allocations = Win32EmuAllocCalls();
    ExpectUntouched(image);
    EXPECT_EQ(Win32EmuAllocCalls(), allocations) << "refused before anything is allocated";
  }
}

TEST_P(FilterFrameTest, HeadersClaimingMoreThanTheBlockAreRefused) {
  // 9 rows claimed, 8 held; and a width whose 32-bit row size wraps to 4 bytes on a 32-bit build.
  const std::vector<BitmapSpec> shapes = {
      {.depth = 32, .width = 9, .height = 9, .sizeOverride = 40 + 9 * 4 * 8},
      {.depth = 32, .width = 0x40000001, .height = 9, .sizeOverride = 40 + 9 * 4 * 8},
      {.depth = 32, .width = 9, .height = 0x7FFFFFFF, .sizeOverride = 40 + 9 * 4 * 8},
  };
  for (const BitmapSpec& shape : shapes) {
    TestImage image(shape);
    const long allocations = Win32EmuAllocCalls();
    ExpectUntouched(image);
    EXPECT_EQ(Win32EmuAllocCalls(), allocations);
  }
}

TEST_P(FilterFrameTest, EveryWorkingBlockThatFailsLeavesTheImageAndNothingLive) {
  for (int failing = 1; failing <= GetParam().workingBlocks; ++failing) {
    TestImage image(Spec32(9, 7));
    Randomise(image, 9, 7, 4);
    const std::vector<uint8_t> before = image.bytes();
    const size_t live = Win32EmuLiveBlocks();
    Win32EmuFailNextAlloc(failing);
    EXPECT_EQ(Run(image), 1) << failing;
    EXPECT_EQ(image.bytes(), before) << failing;
    EXPECT_EQ(Win32EmuLiveBlocks(), live) << failing;
  }
  // A working block that is allocated but does not lock is freed too (record, bitmap, then it).
  TestImage image(Spec32(9, 7));
  Randomise(image, 9, 7, 5);
  const std::vector<uint8_t> before = image.bytes();
  Win32EmuFailNextLock(3);
  EXPECT_EQ(GetParam().call(image.handle()), 1);
  EXPECT_EQ(image.bytes(), before);
  EXPECT_EQ(LockStateOf(image), (test::LockState{0, 0, 1}));
}

TEST_P(FilterFrameTest, OneRunTakesItsWorkingBlocksAndFreesThem) {
  TestImage image(Spec32(9, 7));
  Randomise(image, 9, 7, 6);
  const long allocations = Win32EmuAllocCalls();
  const std::vector<uint8_t> before = image.bytes();
  EXPECT_EQ(Run(image), 1);
  EXPECT_EQ(Win32EmuAllocCalls() - allocations, GetParam().workingBlocks);
  EXPECT_NE(image.bytes(), before);
}

class BorderTest : public FilterFrameTest {};

TEST_P(BorderTest, TheBorderNeverChanges) {
  const int border = GetParam().border;
  for (auto [width, height] : {std::pair{9, 7}, std::pair{2 * border + 1, 2 * border + 1}}) {
    TestImage image(Spec32(width, height));
    Randomise(image, width, height, 7);
    TestImage copy(Spec32(width, height));
    Randomise(copy, width, height, 7);
    ASSERT_EQ(Run(image), 1);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const bool edge = x < border || y < border || x >= width - border || y >= height - border;
        if (edge) {
          EXPECT_EQ(image.pixel(x, y), copy.pixel(x, y)) << x << "," << y;
        }
      }
    }
  }
}

class SelectionTest : public FilterFrameTest {};

// Selection: the filtered colours are those of an unkeyed run; the mode decides which pixels
// take them and with which alpha byte.
TEST_P(SelectionTest, ColourKeySkipsKeyPixelsAndClearsAlphaOfTheRest) {
  constexpr int kWidth = 12, kHeight = 10;
  constexpr uint32_t kKeyRef = 0x00123456, kKeyPixel = 0x00563412;
  auto prepare = [&](TestImage& image) {
    Randomise(image, kWidth, kHeight, 8);
    for (int i = 0; i < kWidth * kHeight; i += 3) image.setPixel(i % kWidth, i / kWidth, kKeyPixel);
    image.setPixel(5, 5, kKeyPixel | 0x01000000u);  // key colour but alpha 1: not the key
  };
  TestImage plain(Spec32(kWidth, kHeight)), keyed(Spec32(kWidth, kHeight)), source(Spec32(kWidth, kHeight));
  prepare(plain), prepare(keyed), prepare(source);
  keyed.setColorKey(kKeyRef);
  ASSERT_EQ(Run(plain), 1);
  ASSERT_EQ(Run(keyed), 1);
  const int border = GetParam().border;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t before = source.pixel(x, y);
      const bool edge = x < border || y < border || x >= kWidth - border || y >= kHeight - border;
      const uint32_t expected = before == kKeyPixel || edge ? before : plain.pixel(x, y) & 0xFFFFFFu;
      EXPECT_EQ(keyed.pixel(x, y), expected) << x << "," << y;
    }
  }
}

TEST_P(SelectionTest, BitThirtyOneSelectsByAlphaOrEveryPixel) {
  constexpr int kWidth = 11, kHeight = 9;
  TestImage plain(Spec32(kWidth, kHeight)), alpha(Spec32(kWidth, kHeight)), source(Spec32(kWidth, kHeight));
  for (TestImage* image : {&plain, &alpha, &source}) {
    Randomise(*image, kWidth, kHeight, 9);
    for (int x = 0; x < kWidth; ++x) image->setPixel(x, 4, image->pixel(x, 4) & 0xFFFFFFu);  // alpha 0
  }
  alpha.setAlphaTransparency(0x00FFFFFF);
  ASSERT_EQ(Run(plain), 1);
  ASSERT_EQ(Run(alpha), 1);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool transparent = (source.pixel(x, y) >> 24) == 0;
      const uint32_t expected = GetParam().offersAlphaKey && transparent ? source.pixel(x, y) : plain.pixel(x, y);
      EXPECT_EQ(alpha.pixel(x, y), expected) << x << "," << y;
      EXPECT_EQ(alpha.pixel(x, y) >> 24, source.pixel(x, y) >> 24);  // alpha is always kept
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Filters, FilterFrameTest, ::testing::ValuesIn(kFilters), NameOf);
INSTANTIATE_TEST_SUITE_P(Filters, WindowFilterTest, ::testing::ValuesIn(kWindowFilters), NameOf);
INSTANTIATE_TEST_SUITE_P(Filters, BorderTest, ::testing::ValuesIn(kKernelOnlyWindowFilters), NameOf);
INSTANTIATE_TEST_SUITE_P(Filters, SelectionTest, ::testing::ValuesIn(kKernelOnlyFilters), NameOf);

TEST(RowRingTest, SlotsFollowTheRowNumberModuloK) {
  const size_t live = Win32EmuLiveBlocks();
  {
    RowRing<5> ring(8);
    ASSERT_TRUE(ring);
    const uint8_t* base = ring.slot(0);
    for (uint32_t row = 0; row < 12; ++row) EXPECT_EQ(ring.slot(row), base + (row % 5) * 8);
    HGLOBAL handle = GlobalHandle(base);
    EXPECT_EQ(GlobalSize(handle), 40u);
    EXPECT_EQ(test::LockCount(handle), 1);  // locked for the whole run
    EXPECT_EQ(Win32EmuLiveBlocks(), live + 1);
  }
  EXPECT_EQ(Win32EmuLiveBlocks(), live);
}

TEST(RowRingTest, ARingBeyondTheAddressSpaceIsNotAllocated) {
  const long allocations = Win32EmuAllocCalls();
  RowRing<3> ring(std::numeric_limits<size_t>::max() / 2);
  EXPECT_FALSE(ring);
  EXPECT_EQ(Win32EmuAllocCalls(), allocations);
}

TEST(FilterMathTest, ExactDivisorMatchesTheSignedDivision) {
  std::mt19937 random(10);
  for (uint32_t d : {1u, 2u, 3u, 7u, 11u, 12u, 24u, 49u, 51u, 444u, 65535u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    const ExactDivisor divisor(d);
    for (int32_t n : {0, 1, -1, 2, -2, INT32_MAX, INT32_MIN, INT32_MIN + 1, static_cast<int32_t>(d & 0x7FFFFFFF),
                      -static_cast<int32_t>(d & 0x7FFFFFFF)}) {
      const int64_t expected = static_cast<int64_t>(n) / static_cast<int64_t>(d);
      EXPECT_EQ(divisor.divide(n), expected) << n << " / " << d;
    }
    for (int i = 0; i < 20000; ++i) {
      const uint32_t a = static_cast<uint32_t>(random());
      EXPECT_EQ(divisor.divideUnsigned(a), a / d) << a << " / " << d;
      const int32_t n = static_cast<int32_t>(a);
      ASSERT_EQ(divisor.divide(n), static_cast<int64_t>(n) / static_cast<int64_t>(d)) << n << " / " << d;
    }
  }
}

TEST(FilterMathTest, ConversionTruncatesAndHasAnAnswerForEveryDouble) {
  EXPECT_EQ(TruncToInt32(-0.5), 0);
  EXPECT_EQ(TruncToInt32(37.9), 37);
  EXPECT_EQ(TruncToInt32(-12.5), -12);
  EXPECT_EQ(TruncToInt32(2147483647.9), INT32_MAX);
  EXPECT_EQ(TruncToInt32(-2147483648.9), INT32_MIN);
  EXPECT_EQ(TruncToInt32(2147483648.0), INT32_MIN);
  EXPECT_EQ(TruncToInt32(-2147483649.0), INT32_MIN);
  EXPECT_EQ(TruncToInt32(std::numeric_limits<double>::quiet_NaN()), INT32_MIN);
  EXPECT_EQ(TruncToInt32(std::numeric_limits<double>::infinity()), INT32_MIN);
  EXPECT_EQ(WrapAdd(INT32_MAX, 12), INT32_MIN + 11);
}

}  // namespace
}  // namespace ormi
