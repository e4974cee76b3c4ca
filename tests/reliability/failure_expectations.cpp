#include "reliability/failure_expectations.h"

namespace ormi::test {
namespace {

constexpr FailOutcome kZero{FailResult::Zero};
constexpr FailOutcome kOne{FailResult::One};
// The record is marked before the bitmap is locked, so it keeps the mark when that lock fails.
constexpr FailOutcome kZeroMarked{FailResult::Zero, FailChanges::RecordOnly};

const std::vector<FailureExpectation>& Table() {
  static const std::vector<FailureExpectation> table = {
      // Rotations: record, source bitmap, new bitmap, then the new record; a new record that cannot
      // have its header copy is not made.
      {"ImgRotate", {kZero, kZero}, kZero, kZero, {{90}, {180}, {-45}}},
      {"ImgBlockRotate", {kZero, kZero}, kZero, kZero, {{270, 1}, {-45, 3}}},
      {"ImgMirror", {kZero, kZero}, kZero, kZero, {{1, 0}, {1, 1}}},
      {"ImgInvert", {kZero, kOne}, kOne, kOne},
      {"ImgBrightness", {kZero, kZero}, kZero, kZero},
      {"ImgContrast", {kZero, kZero}, kZero, kZero},
      {"ImgGamma", {kZero, kZero}, kZero, kZero},
      {"ImgAdjContrast", {kZero, kOne}, kOne, kOne, {{0}}},
      {"ImgEqualise", {kZero, kOne}, kOne, kOne},
      {"ImgNormalise", {kZero, kOne}, kOne, kOne},
      {"ImgAdjustColorRGB", {kZero, kOne}, kOne, kOne},
      {"ImgAdjustColorHSI", {kZero, kOne}, kOne, kOne},
      {"ImgGammaCorrection", {kZero, kZero}, kZero, kZero, {{23, 30}, {11, 20}, {11, 40}}},
      {"ImgColorCorrection", {kZero, kZero}, kZero, kZero},
      {"ImgLoadGammaTable", {}, kZero, kZero},
      // Filters: a bitmap that cannot be locked and a ring that cannot be had both leave the image.
      {"ImgBlur", {kZero, kOne}, kOne, kOne},
      {"ImgSharpen", {kZero, kOne}, kOne, kOne},
      {"ImgEmboss", {kZero, kOne}, kOne, kOne},
      {"ImgEdge", {kZero, kOne}, kOne, kOne},
      {"ImgDespeckle", {kZero, kOne}, kOne, kOne},
      {"ImgEnhance", {kZero, kOne}, kOne, kOne},
      {"ImgOpaque", {kZero, kZeroMarked}, kZeroMarked, kZeroMarked},
      // Source record, destination record, then the bitmaps; the transparency fields are copied
      // once both records are locked.
      {"ImgCopyAlpha", {kZero, kZero, kZeroMarked}, kZeroMarked, kZeroMarked},
      {"ImgInsertAlpha", {kZero, kZeroMarked}, kZeroMarked, kZeroMarked},
      {"ImgDiff", {kZero, kZero}, kZero, kZero},
      {"TavoSetAlphaColor", {kZero, kZero}, kZero, kZero},
      {"TavoGradient", {}, kZero, kZero},
      {"TavoEmbossIcon", {kZero, kZero}, kZero, kZero},
      {"TavoGradientForText", {}, kZero, kZero},
      {"TavoTileForText", {}, kZero, kZero},
  };
  return table;
}

}  // namespace

const FailureExpectation* FailureExpectationOf(std::string_view exportName) {
  for (const FailureExpectation& entry : Table()) {
    if (entry.exportName == exportName) return &entry;
  }
  return nullptr;
}

}  // namespace ormi::test
