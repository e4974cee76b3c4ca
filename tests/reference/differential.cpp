#include "reference/differential.h"

#include <random>

namespace ormi::test {

std::vector<SimdLevel> SimdLevelsToTest() {
  std::vector<SimdLevel> levels;
  for (int level = 0; level <= static_cast<int>(DetectedSimdLevel()); ++level)
    levels.push_back(static_cast<SimdLevel>(level));
  return levels;
}

const char* SimdLevelName(SimdLevel level) {
  switch (level) {
    case SimdLevel::Scalar: return "scalar";
    case SimdLevel::Sse2: return "sse2";
    case SimdLevel::Avx2: return "avx2";
    case SimdLevel::Avx512: return "avx512";
  }
  return "?";
}

std::vector<int> DifferentialWidths() {
  std::vector<int> widths;
  for (int w = 1; w <= 67; ++w) widths.push_back(w);
  for (int w : {128, 255, 1000, 1031}) widths.push_back(w);
  return widths;
}

std::vector<SelectionMode> AllSelectionModes() {
  return {SelectionMode::None, SelectionMode::KeyPresent, SelectionMode::KeyAbsent, SelectionMode::AlphaCarries};
}

const char* SelectionModeName(SelectionMode mode) {
  switch (mode) {
    case SelectionMode::None: return "none";
    case SelectionMode::KeyPresent: return "key-present";
    case SelectionMode::KeyAbsent: return "key-absent";
    case SelectionMode::AlphaCarries: return "alpha";
  }
  return "?";
}

namespace {

// The colour key (0x00BBGGRR) that the pixel at (0, 0) matches, at any depth.
uint32_t ColorrefOfFirstPixel(const TestImage& image, int depth, const std::vector<uint32_t>& palette) {
  const uint32_t value = image.pixel(0, 0);
  uint32_t rgb = 0;  // 0xRRGGBB
  if (depth <= 8) {
    rgb = palette.empty() ? 0 : palette[value % palette.size()] & 0xFFFFFF;
  } else if (depth == 16) {
    // 5-5-5 fields, each the top bits of its byte.
    rgb = ((value >> 10) & 31) << 19 | ((value >> 5) & 31) << 11 | (value & 31) << 3;
  } else {
    rgb = value & 0xFFFFFF;
  }
  return (rgb >> 16) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
}

}  // namespace

ImageTwins MakeImageTwins(const BitmapSpec& specIn, SelectionMode mode, uint32_t seed) {
  BitmapSpec bitmapSpec = specIn;
  std::mt19937 random(seed);
  if (bitmapSpec.depth <= 8 && bitmapSpec.palette.empty()) {
    bitmapSpec.palette.resize(size_t{1} << bitmapSpec.depth);
    for (uint32_t& entry : bitmapSpec.palette) entry = static_cast<uint32_t>(random());
  }
  ImageTwins twins{std::make_unique<TestImage>(bitmapSpec), nullptr};
  std::vector<uint8_t> bytes = twins.optimised->bytes();
  for (size_t i = BitsOffsetOf(bitmapSpec); i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(random());
  if (bitmapSpec.depth == 32) {
    // A quarter of the pixels fully transparent, so that alpha selections meet both kinds.
    for (size_t i = BitsOffsetOf(bitmapSpec) + 3; i < bytes.size(); i += 4) {
      if (random() % 4 == 0) bytes[i] = 0;
    }
  }
  SetBlockBytes(twins.optimised->bitmap(), bytes);
  const int height = bitmapSpec.height < 0 ? -bitmapSpec.height : bitmapSpec.height;
  if (mode == SelectionMode::KeyPresent) {
    // Copies of the first pixel spread over the image, so that the key is met often.
    const uint32_t first = twins.optimised->pixel(0, 0);
    for (int i = 0; i < bitmapSpec.width * height / 5; ++i)
      twins.optimised->setPixel(static_cast<int>(random() % static_cast<uint32_t>(bitmapSpec.width)),
                                static_cast<int>(random() % static_cast<uint32_t>(height)), first);
  }
  twins.reference = std::make_unique<TestImage>(bitmapSpec);
  SetBlockBytes(twins.reference->bitmap(), twins.optimised->bytes());
  for (TestImage* image : {twins.optimised.get(), twins.reference.get()}) {
    switch (mode) {
      case SelectionMode::None: break;
      case SelectionMode::KeyPresent:
        image->setColorKey(ColorrefOfFirstPixel(*twins.optimised, bitmapSpec.depth, bitmapSpec.palette));
        break;
      case SelectionMode::KeyAbsent: image->setColorKey(0x00123457u); break;
      case SelectionMode::AlphaCarries: image->setAlphaTransparency(); break;
    }
  }
  return twins;
}

std::string CaseName(const BitmapSpec& bitmapSpec, SelectionMode mode, SimdLevel level) {
  return std::to_string(bitmapSpec.width) + "x" + std::to_string(bitmapSpec.height) + "@" +
         std::to_string(bitmapSpec.depth) + " " + SelectionModeName(mode) + " " + SimdLevelName(level);
}

}  // namespace ormi::test
