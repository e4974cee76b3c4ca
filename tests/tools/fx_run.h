// Running the ormi-fx binary from tests, and what the exports give in this process for the same
// decoded picture, to hold its files against.
#pragma once

#include <filesystem>
#include <regex>
#include <utility>

#include "host/color_text.h"
#include "host/effect_check.h"
#include "host/image_handle.h"
#include "host/picture_samples.h"

namespace ormi::test {

namespace fs = std::filesystem;

// `prefix` goes before the binary (environment settings, "cd DIR &&").
inline ShellRun RunFx(const std::string& arguments, const std::string& prefix = "") {
  return Shell(prefix + " " + ORMI_FX + " " + arguments);
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A 32-bit picture with smooth ramps, hard edges and (when `alpha`) varied alpha bytes; the
// fourth byte is 255 otherwise.
inline HGLOBAL MakeTestPicture(int width, int height, bool alpha) {
  HGLOBAL bitmap = MakeBitmap({.depth = 32, .width = width, .height = height});
  for (int r = 0; r < height; ++r)
    for (int x = 0; x < width; ++x) {
      const uint32_t red = x * 255 / (width - 1), green = r * 255 / (height - 1), blue = (x + r) % 3 ? 40 : 200;
      const uint32_t a = alpha ? static_cast<uint32_t>((x * 7 + r * 3) % 4 * 85) : 255u;
      WritePixel(bitmap, x, r, a << 24 | red << 16 | green << 8 | blue);
    }
  return bitmap;
}

// A fresh folder per test.
class FxFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int count = 0;
    dir_ = fs::path(::testing::TempDir()) / ("ormi_fx_" + std::to_string(::getpid()) + "_" + std::to_string(count++));
    fs::remove_all(dir_), fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // "@name" becomes the path of name in the test's folder.
  std::string Expand(const std::string& text) const { return std::regex_replace(text, std::regex("@"), Path("")); }

  // Files for the effect's extra pictures, of the input's size: a PNG with alpha and a row at alpha
  // 0, a 1-bit text mask with a pattern, a small tile. Returns the options that name them.
  std::string WriteExtras(const host::EffectInfo& effect, std::vector<std::string>& files, int width, int height) {
    std::string options;
    for (const host::ExtraInput& extra : effect.extras) {
      const bool alpha = extra.kind == host::ExtraKind::AlphaImage, mask = extra.kind == host::ExtraKind::TextMask;
      HGLOBAL picture = mask ? MakeBitmap({.depth = 1, .width = width, .height = height, .palette = {0, 0xFFFFFF}})
                             : MakeTestPicture(alpha ? width : 5, alpha ? height : 3, alpha);
      for (int x = 0; x < width && (mask || alpha); ++x)
        for (int r = 0; r < height; ++r)
          WritePixel(picture, x, r,
                     mask ? (x / 3 + r / 2) % 2 : ReadPixel(picture, x, r) & (r == height / 2 ? 0xFFFFFF : ~0u));
      files.push_back(Path(std::string(extra.name) + (alpha ? ".png" : ".bmp")));
      WriteFile(files.back(), picture, alpha);
      options += std::string(" --") + extra.name + " " + files.back();
    }
    return options;
  }

  fs::path dir_;
};

// What the exports give in this process: the file decoded (converted to `convertTo` bits), its
// record carrying alpha when the file has it (or `alpha` says so), then every step applied; a new
// image takes the old one's place.
struct Expected {
  HGLOBAL bitmap = nullptr;            // 32-bit copy of the result, or 0 when a step refused
  bool alpha = false;                  // the record carries alpha afterwards
  int depth = 0;                       // the result's own depth
  ~Expected() { GlobalFree(bitmap); }  // a null handle is refused, as on Windows
};

struct StepCall {
  const host::EffectInfo* effect;
  std::vector<double> values;
  std::vector<std::string> extraFiles = {};  // in the order of the effect's extras
};

inline void ComputeExpected(const std::string& input, const std::vector<StepCall>& steps, Expected& expected,
                            int convertTo = 0, bool alpha = false) {
  host::Picture picture = host::ReadPicture(input);
  ASSERT_NE(picture.bitmap, nullptr) << picture.error;
  if (convertTo != 0) GlobalFree(std::exchange(picture.bitmap, host::ConvertBitmapDepth(picture.bitmap, convertTo)));
  HGLOBAL image = host::WrapBitmap(picture.bitmap);
  if (alpha || (picture.hasAlpha && convertTo % 32 == 0)) host::SetAlphaTransparency(image);
  for (const StepCall& step : steps) {
    // The extra pictures as a host passes them: an image handle for an alpha picture (its record
    // following its file), the plain bitmap of a mask or a tile.
    std::vector<HGLOBAL> extras;
    const auto wrapped = [&](size_t i) { return step.effect->extras[i].kind == host::ExtraKind::AlphaImage; };
    for (size_t i = 0; i < step.extraFiles.size(); ++i) {
      host::Picture extra = host::ReadPicture(step.extraFiles[i]);
      extras.push_back(wrapped(i) ? host::WrapBitmap(extra.bitmap) : extra.bitmap);
      if (wrapped(i) && extra.hasAlpha) host::SetAlphaTransparency(extras.back());
    }
    const host::PictureFacts size = host::FactsOfBitmap(host::BitmapOfImage(image));
    host::EffectArgs args{image, step.values, extras, RECT{0, 0, size.width - 1, size.height - 1}};
    const bool painted = step.effect->result == host::ResultKind::Painted;
    if (painted) args.dc = Win32EmuCreateMemoryDC(size.width, size.height);
    const intptr_t result = step.effect->invoke(args);
    HGLOBAL replacement = nullptr;
    if (result != 0 && painted) {
      // The device context's row 0 is the top; what landed there is opaque.
      HGLOBAL bitmap = MakeBitmap({.depth = 32, .width = size.width, .height = size.height});
      const uint32_t* pixels = Win32EmuMemoryDCPixels(args.dc);
      for (int r = 0; r < size.height; ++r)
        for (int x = 0; x < size.width; ++x)
          WritePixel(bitmap, x, r, pixels[static_cast<size_t>(size.height - 1 - r) * size.width + x] | 0xFF000000u);
      replacement = host::WrapBitmap(bitmap);
    }
    if (painted) Win32EmuDeleteMemoryDC(args.dc);
    for (size_t i = 0; i < extras.size(); ++i)
      wrapped(i) ? host::FreeImageHandle(extras[i]) : (void)GlobalFree(extras[i]);
    if (result == 0) return host::FreeImageHandle(image);
    if (step.effect->result == host::ResultKind::NewImage) replacement = reinterpret_cast<HGLOBAL>(result);
    // The text fills' alpha bytes carry the transparency.
    if (step.effect->result == host::ResultKind::NewBitmap)
      host::SetAlphaTransparency(replacement = host::WrapBitmap(reinterpret_cast<HGLOBAL>(result)));
    if (replacement) host::FreeImageHandle(std::exchange(image, replacement));
  }
  expected.alpha = host::FactsOfImage(image).carriesAlpha;
  expected.depth = host::FactsOfBitmap(host::BitmapOfImage(image)).depth;
  expected.bitmap = host::ConvertBitmapDepth(host::BitmapOfImage(image), 32);
  host::FreeImageHandle(image);
  ASSERT_NE(expected.bitmap, nullptr) << "the result's bitmap cannot be converted";
}

// The written file against the expected result: same size and depth (BMP), same colours, and
// alpha written exactly when the record carries it.
inline void ExpectFileMatches(const std::string& path, const Expected& expected) {
  ASSERT_NE(expected.bitmap, nullptr);
  host::Picture written = host::ReadPicture(path);
  ASSERT_NE(written.bitmap, nullptr) << path << ": " << written.error;
  if (written.format == host::PictureFormat::Bmp) {
    EXPECT_EQ(host::FactsOfBitmap(written.bitmap).depth, expected.depth);
    // A BMP whose alpha bytes are all 0 reads as one without alpha.
    EXPECT_EQ(written.hasAlpha, expected.alpha && host::HasNonZeroAlpha(expected.bitmap)) << path;
  }
  EXPECT_TRUE(written.format != host::PictureFormat::Png || written.hasAlpha == expected.alpha) << path;
  const host::PictureFacts size = host::FactsOfBitmap(expected.bitmap), got = host::FactsOfBitmap(written.bitmap);
  EXPECT_TRUE(got.width == size.width && got.height == size.height) << path;
  // Colours always; the alpha bytes where they were written.
  std::vector<uint8_t> want = BitmapRgba(expected.bitmap), have = BitmapRgba(written.bitmap);
  GlobalFree(written.bitmap);
  for (size_t i = 3; !expected.alpha && i < want.size() && i < have.size(); i += 4) want[i] = have[i] = 0;
  EXPECT_TRUE(!want.empty() && have == want) << path;
}

}  // namespace ormi::test
