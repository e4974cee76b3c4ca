// Despeckle against its plain reference: identical bytes from both schedules (whole planes and the
// row pipeline) and from the export's own choice, at every vector level, selection mode and many
// sizes, on random levels and on levels crowded round the comparisons' edges (equal neighbours,
// neighbours one and two apart, 0 and 255).
#include <gtest/gtest.h>

#include "filters/despeckle.h"
#include "reference/differential.h"
#include "reference/reference.h"

namespace ormi::test {
namespace {

enum class Levels { Random, Crowded };

// Few levels, so that neighbours are often equal or one or two apart, and the two ends.
constexpr uint8_t kCrowded[] = {0, 1, 2, 3, 4, 100, 101, 102, 103, 200, 252, 253, 254, 255};

uint32_t ColorrefOf(uint32_t pixel) { return (pixel >> 16 & 0xFF) | (pixel & 0xFF00) | (pixel & 0xFF) << 16; }

// Maps the colour bytes of both twins alike (alpha stays) and keeps a present key present.
void CrowdLevels(const ImageTwins& twins, const BitmapSpec& bitmapSpec, SelectionMode mode) {
  std::vector<uint8_t> bytes = twins.optimised->bytes();
  const size_t bits = BitsOffsetOf(bitmapSpec);
  for (size_t i = bits; i < bytes.size(); ++i) {
    if ((i - bits) % 4 != 3) bytes[i] = kCrowded[bytes[i] % sizeof kCrowded];
  }
  for (TestImage* image : {twins.optimised.get(), twins.reference.get()}) {
    SetBlockBytes(image->bitmap(), bytes);
    if (mode == SelectionMode::KeyPresent) image->setColorKey(ColorrefOf(twins.optimised->pixel(0, 0)));
  }
}

// The reference on the twin's locked bitmap, with the transparency its record gives.
void RunReference(const TestImage& image) {
  HGLOBAL bitmap = image.bitmap();
  const DibBlock block{static_cast<uint8_t*>(GlobalLock(bitmap)), GlobalSize(bitmap)};
  reference::DespecklePixels(block, TransparencyArgOf(image.record()));
  GlobalUnlock(bitmap);
}

int RunOptimised(const TestImage& image, DespeckleSchedule schedule) {
  if (schedule == DespeckleSchedule::BySize) return ImgDespeckle(image.handle());
  HGLOBAL bitmap = image.bitmap();
  const DibBlock block{static_cast<uint8_t*>(GlobalLock(bitmap)), GlobalSize(bitmap)};
  const int result = ImgDespecklePixels(block, TransparencyArgOf(image.record()), schedule);
  GlobalUnlock(bitmap);
  return result;
}

const char* ScheduleName(DespeckleSchedule schedule) {
  switch (schedule) {
    case DespeckleSchedule::BySize: return "by-size";
    case DespeckleSchedule::Planes: return "planes";
    case DespeckleSchedule::Rows: return "rows";
  }
  return "?";
}

class DespeckleDifferentialTest : public MemoryCheckedTest {
 protected:
  void Compare(int width, int height, uint32_t seed) {
    const BitmapSpec bitmapSpec{.depth = 32, .width = width, .height = height};
    for (SelectionMode mode : AllSelectionModes()) {
      for (Levels levels : {Levels::Random, Levels::Crowded}) {
        for (DespeckleSchedule schedule :
             {DespeckleSchedule::BySize, DespeckleSchedule::Planes, DespeckleSchedule::Rows}) {
          const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, seed++);
          if (levels == Levels::Crowded) CrowdLevels(twins, bitmapSpec, mode);
          const std::string name = CaseName(bitmapSpec, mode, ActiveSimdLevel()) + " " + ScheduleName(schedule) +
                                   (levels == Levels::Crowded ? " crowded" : " random");
          ASSERT_EQ(RunOptimised(*twins.optimised, schedule), 1) << name;
          RunReference(*twins.reference);
          ASSERT_EQ(twins.optimised->bytes(), twins.reference->bytes()) << name;
          if (HasFatalFailure()) return;
        }
      }
    }
  }
};

TEST_F(DespeckleDifferentialTest, EveryWidthWithShortHeightsMatchesReference) {
  uint32_t seed = 2600;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (int width : DifferentialWidths()) {
      Compare(width, 1 + width % 6, seed += 100);
      if (HasFatalFailure()) return;
    }
  }
}

TEST_F(DespeckleDifferentialTest, TallerImagesMatchReference) {
  // Round the heights where the export turns from planes to rows (87 at width 126, 72 at 254),
  // and a few more.
  const std::pair<int, int> sizes[] = {{1, 80},   {2, 72},   {31, 74},  {32, 40},  {33, 33},
                                       {126, 86}, {126, 87}, {254, 71}, {254, 72}, {257, 96}};
  uint32_t seed = 9100;
  for (SimdLevel level : SimdLevelsToTest()) {
    ScopedSimdLevel forced(level);
    for (const auto& [width, height] : sizes) {
      Compare(width, height, seed += 100);
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace ormi::test
