// The alpha writes (opaque, insert alpha, copy alpha): every vector level against the scalar loops,
// which are the plain implementation. Identical bytes and records for every size and selection
// mode, with levels and colours that reach each of the opaque rules and the ends of their ranges.
#include <gtest/gtest.h>

#include <functional>

#include "reference/differential.h"

namespace ormi::test {
namespace {

// A call on a fresh image with the twin's pixels and record, at the given level.
struct Outcome {
  int result;
  std::vector<uint8_t> bytes;
  uint32_t transparency, transparentColor;
  bool operator==(const Outcome&) const = default;
};

Outcome RunOn(const TestImage& original, SimdLevel level, const std::function<int(const TestImage&)>& call) {
  const ScopedSimdLevel forced(level);
  TestImage image(BitmapSpec{.depth = 32,
                             .width = static_cast<int>(original.header().biWidth),
                             .height = static_cast<int>(original.header().biHeight)});
  SetBlockBytes(image.bitmap(), original.bytes());
  const ImageRecord from = original.record();
  image.edit([&](ImageRecord& r) {
    r.transparency = from.transparency;
    r.transparentColor = from.transparentColor;
  });
  const int result = call(image);
  return {result, image.bytes(), image.record().transparency, image.record().transparentColor};
}

class AlphaOpsDifferentialTest : public MemoryCheckedTest {};

TEST_F(AlphaOpsDifferentialTest, VectorLevelsMatchTheScalarLoops) {
  // (level, colour) pairs: hard key, uniform (level < 1), soft key, fade through the record's
  // alpha mode, and levels whose sums wrap or saturate.
  const std::vector<std::pair<int, int>> opaqueArgs{{55, 0},
                                                    {0, 0},
                                                    {-1, 0},
                                                    {255, 0},
                                                    {256, 0},
                                                    {-300, 0},
                                                    {10, 0x123456},
                                                    {7, -2147483647 - 1},
                                                    {3, static_cast<int>(0x80FFFFFFu)},
                                                    {1000, 0x010203}};
  const std::vector<std::pair<int, int>> insertArgs{{0, 0xFFFFFF}, {77, 0x123456}, {255, 0}, {300, 0xFFFFFF}};
  uint32_t seed = 3100;
  size_t turn = 0;
  for (int width : DifferentialWidths()) {
    for (SelectionMode mode : AllSelectionModes()) {
      const BitmapSpec bitmapSpec{.depth = 32, .width = width, .height = width % 2 ? 3 : 2};
      const ImageTwins twins = MakeImageTwins(bitmapSpec, mode, ++seed);
      const auto [amount, colour] = opaqueArgs[turn % opaqueArgs.size()];
      // Every other call inserts at the colour of the image's key, which several pixels carry.
      const auto [alpha, listedColour] = insertArgs[turn % insertArgs.size()];
      const int insertColour =
          turn % 2 ? static_cast<int>(twins.optimised->record().transparentColor & 0xFFFFFF) : listedColour;
      ++turn;
      const std::vector<std::pair<const char*, std::function<int(const TestImage&)>>> calls{
          {"opaque", [&, amount, colour](const TestImage& i) { return ImgOpaque(i.handle(), amount, colour); }},
          {"insert",
           [&, alpha, insertColour](const TestImage& i) { return ImgInsertAlpha(i.handle(), alpha, insertColour); }},
          {"copy", [&](const TestImage& i) { return ImgCopyAlpha(i.handle(), twins.reference->handle()); }}};
      for (const auto& [name, call] : calls) {
        const Outcome expected = RunOn(*twins.optimised, SimdLevel::Scalar, call);
        for (SimdLevel level : SimdLevelsToTest()) {
          ASSERT_EQ(RunOn(*twins.optimised, level, call), expected) << name << " " << CaseName(bitmapSpec, mode, level);
        }
      }
    }
  }
}

}  // namespace
}  // namespace ormi::test
