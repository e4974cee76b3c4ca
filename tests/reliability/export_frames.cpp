#include "reliability/export_frames.h"

#include <cstdlib>

namespace ormi::test {
namespace {

const std::vector<ExportFrame>& Table() {
  // clang-format off
  static const std::vector<ExportFrame> table = {
      // name               magic  locked gdi    whole  rec unreached topDown  noCopy    copyDiffers
      {"ImgRotate",          false, false, true,  false, 1, kZero,    kZero,    kZero,    kZero, {{90}, {180}, {-45}}},
      {"ImgBlockRotate",     false, false, true,  false, 1, kZero,    kZero,    kZero,    kZero, {{270, 1}, {-45, 3}}},
      {"ImgMirror",          true,  false, true,  false, 1, kZero,    kChanged, kZero,    kZero, {{1, 0}, {1, 1}}},
      {"ImgInvert",          true,  false, false, true,  1, kKept,    kChanged, kChanged, kChanged},
      {"ImgBrightness",      false, true,  true,  false, 1, kZero,    kChanged, kChanged, kChanged},
      {"ImgContrast",        true,  false, false, false, 1, kZero,    kChanged, kChanged, kChanged},
      {"ImgGamma",           false, true,  true,  false, 1, kZero,    kChanged, kChanged, kChanged},
      {"ImgAdjContrast",     true,  false, false, false, 1, kKept,    kKept,    kZero,    kZero, {{0}}},
      {"ImgEqualise",        true,  false, false, false, 1, kKept,    kKept,    kZero,    kZero},
      {"ImgNormalise",       true,  false, false, false, 1, kKept,    kChanged, kZero,    kZero},
      {"ImgAdjustColorRGB",  true,  false, false, false, 1, kKept,    kKept,    kZero,    kZero},
      {"ImgAdjustColorHSI",  true,  false, false, false, 1, kKept,    kKept,    kZero,    kZero},
      {"ImgGammaCorrection", true,  false, false, false, 1, kZero,    kKept,    kChanged, kChanged, {{23, 30}, {11, 20}, {11, 40}}},
      {"ImgColorCorrection", true,  false, false, false, 1, kZero,    kKept,    kChanged, kChanged},
      {"ImgLoadGammaTable",  true,  false, false, false, 0, kZero,    kZero,    kZero,    kZero},
      // Filters: a bitmap that cannot be locked and a ring that cannot be had both leave the image.
      {"ImgBlur",            true,  false, false, false, 1, kKept,    kKept,    kZero,    kZero},
      {"ImgSharpen",         true,  false, false, false, 1, kKept,    kKept,    kZero,    kZero},
      {"ImgEmboss",          true,  false, false, false, 1, kKept,    kKept,    kZero,    kZero},
      {"ImgEdge",            true,  false, false, false, 1, kKept,    kKept,    kZero,    kZero},
      // Despeckle works through rings of rows instead of planes from about 87 rows of 126 pixels.
      {"ImgDespeckle",       true,  false, false, false, 1, kKept,    kKept,    kZero,    kZero, {}, {{.depth = 32, .width = 126, .height = 90}}},
      {"ImgEnhance",         true,  false, false, false, 1, kKept,    kKept,    kZero,    kZero},
      {"ImgOpaque",          true,  false, false, false, 1, kZeroMarked, kChanged, kZero, kZero},
      // Source record, destination record, then the bitmaps; the transparency fields are copied
      // once both records are locked.
      {"ImgCopyAlpha",       true,  false, false, false, 2, kZeroMarked, kZeroMarked, kChanged, kChanged},
      {"ImgInsertAlpha",     true,  false, false, false, 1, kZeroMarked, kChanged, kChanged, kChanged},
      {"ImgDiff",            true,  false, false, false, 1, kZero,    kMade,    kMade,    kMade},
      {"TavoSetAlphaColor",  true,  false, false, false, 2, kZero,    kZero,    kChanged, kChanged},
      {"TavoGradient",       true,  false, false, false, 0, kZero,    kZero,    kZero,    kZero},
      {"TavoEmbossIcon",     true,  false, false, false, 1, kZero,    kZero,    kChanged, kChanged},
      {"TavoGradientForText", true, false, false, false, 0, kZero,    kZero,    kZero,    kZero},
      {"TavoTileForText",    true,  false, false, false, 0, kZero,    kZero,    kZero,    kZero},
  };
  // clang-format on
  return table;
}

}  // namespace

const ExportFrame& ExportFrameOf(std::string_view exportName) {
  for (const ExportFrame& entry : Table())
    if (entry.exportName == exportName) return entry;
  ADD_FAILURE() << exportName << " has no entry in the frame table";
  std::abort();
}

void ExpectOutcome(intptr_t result, const PreparedCall::Snapshot& before, const PreparedCall::Snapshot& after,
                   Outcome expected) {
  if (expected.result == Result::NonZero) {
    EXPECT_NE(result, 0);
  } else if (expected.result != Result::Any) {
    EXPECT_EQ(result, expected.result == Result::One ? 1 : 0);
  }
  EXPECT_EQ(after.locks, before.locks);
  EXPECT_EQ(after.extraLocks, before.extraLocks);
  if (expected.changes == Changes::Any) return;
  if (expected.changes == Changes::Pixels) {
    EXPECT_TRUE(after.bitmap != before.bitmap || after.dcPixels != before.dcPixels) << "the picture did not change";
    return;
  }
  EXPECT_EQ(after.bitmap, before.bitmap) << "pixels or colour table changed";
  EXPECT_EQ(after.headerCopy, before.headerCopy) << "header copy changed";
  EXPECT_EQ(after.extras, before.extras) << "an extra picture changed";
  EXPECT_EQ(after.dcPixels, before.dcPixels) << "painted";
  if (expected.changes == Changes::None) {
    EXPECT_EQ(after.record, before.record) << "record changed";
  }
}

}  // namespace ormi::test
