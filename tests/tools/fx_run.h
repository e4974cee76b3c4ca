// Running the ormi-fx binary from tests, and reading what it wrote beside what the exports give
// in this process for the same decoded picture.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/bitmap_convert.h"
#include "host/bmp_file.h"
#include "host/catalog.h"
#include "host/image_handle.h"
#include "host/picture_file.h"
#include "support/test_image.h"

namespace ormi::test {

namespace fs = std::filesystem;

struct FxRun {
  int status;
  std::string output;  // stdout and stderr together
};

inline FxRun RunFx(const std::string& arguments) {
  const std::string command = std::string(ORMI_FX) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char chunk[512];
  while (size_t got = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, got);
  const int raw = pclose(pipe);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, output};
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline std::string ReadText(const std::string& path) {
  std::ifstream file(path);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// A fresh folder per test.
class FxFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    dir_ = fs::path(::testing::TempDir()) / ("ormi_fx_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

// A 32-bit picture with smooth ramps, hard edges and (when `alpha`) varied alpha bytes; the
// fourth byte is 255 otherwise.
inline HGLOBAL MakeTestPicture(int width, int height, bool alpha) {
  HGLOBAL bitmap = MakeBitmap({.depth = 32, .width = width, .height = height});
  for (int r = 0; r < height; ++r) {
    for (int x = 0; x < width; ++x) {
      const uint32_t red = static_cast<uint32_t>(x * 255 / (width - 1));
      const uint32_t green = static_cast<uint32_t>(r * 255 / (height - 1));
      const uint32_t blue = (x + r) % 3 == 0 ? 200u : 40u;
      const uint32_t a = alpha ? static_cast<uint32_t>((x * 7 + r * 3) % 4 * 85) : 255u;
      WritePixel(bitmap, x, r, a << 24 | red << 16 | green << 8 | blue);
    }
  }
  return bitmap;
}

inline void WritePictureFile(const std::string& path, host::PictureFormat format, HGLOBAL bitmap, bool withAlpha) {
  std::string error;
  ASSERT_TRUE(host::WritePicture(path, format, bitmap, withAlpha, error)) << error;
}

inline bool RecordCarriesAlpha(HGLOBAL image) {
  const auto* record = static_cast<const ImageRecord*>(GlobalLock(image));
  const bool alpha =
      record->transparency != ORMI_NO_TRANSPARENCY && (record->transparentColor & ORMI_ALPHA_TRANSPARENCY) != 0;
  GlobalUnlock(image);
  return alpha;
}

// The transparency a test gives the record in this process, as the command line should.
struct Transparency {
  bool alpha = false;
  std::optional<uint32_t> colorKey;  // COLORREF
};

// What the exports give in this process: the file decoded, wrapped with the transparency that
// the file (or the test) says, then every step applied; a new image takes the old one's place.
struct Expected {
  HGLOBAL bitmap = nullptr;  // 32-bit copy of the result, or 0 when a step refused
  bool alpha = false;        // the record carries alpha afterwards
  int depth = 0;             // the result's own depth
  ~Expected() {
    if (bitmap) GlobalFree(bitmap);
  }
};

struct StepCall {
  const host::EffectInfo* effect;
  std::vector<double> values;
  std::vector<std::string> extraFiles = {};  // in the order of the effect's extras
};

// The extra pictures of one call as a host passes them: an image handle for an alpha picture,
// the plain bitmap for a mask or a tile.
class ExtraHandles {
 public:
  ExtraHandles(const host::EffectInfo& effect, const std::vector<std::string>& files) {
    for (size_t i = 0; i < effect.extras.size(); ++i) {
      host::Picture picture = host::ReadPicture(files.at(i));
      EXPECT_NE(picture.bitmap, nullptr) << files[i];
      const bool wrap = effect.extras[i].kind == host::ExtraKind::AlphaImage;
      images_.push_back(wrap);
      handles_.push_back(wrap ? host::WrapBitmap(picture.bitmap) : picture.bitmap);
      // An alpha picture's record follows its file, as the input's does.
      if (wrap && picture.hasAlpha) host::SetAlphaTransparency(handles_.back());
    }
  }
  ~ExtraHandles() {
    for (size_t i = 0; i < handles_.size(); ++i) {
      if (images_[i]) {
        host::FreeImageHandle(handles_[i]);
      } else {
        GlobalFree(handles_[i]);
      }
    }
  }
  ExtraHandles(const ExtraHandles&) = delete;
  ExtraHandles& operator=(const ExtraHandles&) = delete;
  const std::vector<HGLOBAL>& handles() const { return handles_; }

 private:
  std::vector<HGLOBAL> handles_;
  std::vector<bool> images_;
};

// A 32-bit bottom-up bitmap of a memory device context's pixels (its row 0 is the top), opaque.
inline HGLOBAL BitmapOfDC(HDC dc, int width, int height) {
  HGLOBAL bitmap = MakeBitmap({.depth = 32, .width = width, .height = height});
  const uint32_t* pixels = Win32EmuMemoryDCPixels(dc);
  for (int r = 0; r < height; ++r) {
    for (int x = 0; x < width; ++x) {
      WritePixel(bitmap, x, r, pixels[static_cast<size_t>(height - 1 - r) * width + x] | 0xFF000000u);
    }
  }
  return bitmap;
}

inline int DepthOfBitmap(HGLOBAL bitmap) {
  const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(bitmap));
  const int depth = header->biBitCount;
  GlobalUnlock(bitmap);
  return depth;
}

inline int WidthOf(HGLOBAL bitmap) {
  const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(bitmap));
  const int width = header->biWidth;
  GlobalUnlock(bitmap);
  return width;
}

inline int HeightOf(HGLOBAL bitmap) {
  const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(bitmap));
  const int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  GlobalUnlock(bitmap);
  return height;
}

inline void ComputeExpected(const std::string& input, const std::vector<StepCall>& steps, Expected& expected,
                            std::optional<Transparency> transparency = std::nullopt, int convertTo = 0) {
  host::Picture picture = host::ReadPicture(input);
  ASSERT_NE(picture.bitmap, nullptr) << picture.error;
  if (convertTo != 0) {
    HGLOBAL converted = host::ConvertBitmapDepth(picture.bitmap, convertTo);
    GlobalFree(picture.bitmap);
    picture.bitmap = converted;
    picture.hasAlpha = picture.hasAlpha && convertTo == 32;
  }
  const Transparency wanted = transparency.value_or(Transparency{.alpha = picture.hasAlpha});
  if (wanted.colorKey && !picture.hasAlpha && DepthOfBitmap(picture.bitmap) == 32) {
    // Keyed pictures without an alpha channel have alpha bytes 0, as a plain BMP does.
    for (int r = 0; r < HeightOf(picture.bitmap); ++r)
      for (int x = 0; x < WidthOf(picture.bitmap); ++x)
        WritePixel(picture.bitmap, x, r, ReadPixel(picture.bitmap, x, r) & 0xFFFFFF);
  }
  HGLOBAL image = host::WrapBitmap(picture.bitmap);
  ASSERT_NE(image, nullptr);
  if (wanted.colorKey) host::SetColorKey(image, *wanted.colorKey);
  if (wanted.alpha) host::SetAlphaTransparency(image);
  for (const StepCall& step : steps) {
    ExtraHandles extras(*step.effect, step.extraFiles);
    HGLOBAL bitmap = host::BitmapOfImage(image);
    const int width = WidthOf(bitmap), height = HeightOf(bitmap);
    host::EffectArgs args{image, step.values, extras.handles(), RECT{0, 0, width - 1, height - 1}};
    const bool painted = step.effect->result == host::ResultKind::Painted;
    if (painted) args.dc = Win32EmuCreateMemoryDC(width, height);
    const intptr_t result = step.effect->invoke(args);
    HGLOBAL replacement = nullptr;
    if (result != 0 && painted) replacement = host::WrapBitmap(BitmapOfDC(args.dc, width, height));
    if (painted) Win32EmuDeleteMemoryDC(args.dc);
    if (result == 0) {
      host::FreeImageHandle(image);
      return;
    }
    if (step.effect->result == host::ResultKind::NewImage) replacement = reinterpret_cast<HGLOBAL>(result);
    if (step.effect->result == host::ResultKind::NewBitmap) {
      // A new plain bitmap carries alpha as a file does: when its alpha bytes are not all 0.
      auto* fresh = reinterpret_cast<HGLOBAL>(result);
      const bool alpha = host::HasNonZeroAlpha(fresh);
      replacement = host::WrapBitmap(fresh);
      if (alpha) host::SetAlphaTransparency(replacement);
    }
    if (replacement) {
      host::FreeImageHandle(image);
      image = replacement;
    }
  }
  expected.alpha = RecordCarriesAlpha(image);
  HGLOBAL result = host::BitmapOfImage(image);
  ASSERT_NE(result, nullptr) << "the result is not an image";
  expected.depth = DepthOfBitmap(result);
  expected.bitmap = host::ConvertBitmapDepth(result, 32);
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
    EXPECT_EQ(DepthOfBitmap(written.bitmap), expected.depth);
    // A BMP whose alpha bytes are all 0 reads as one without alpha.
    EXPECT_EQ(written.hasAlpha, expected.alpha && host::HasNonZeroAlpha(expected.bitmap)) << path;
  }
  if (written.format == host::PictureFormat::Png) {
    EXPECT_EQ(written.hasAlpha, expected.alpha) << path;
  }
  HGLOBAL wide = host::ConvertBitmapDepth(written.bitmap, 32);
  GlobalFree(written.bitmap);
  ASSERT_NE(wide, nullptr);
  const int width = WidthOf(expected.bitmap), height = HeightOf(expected.bitmap);
  ASSERT_EQ(WidthOf(wide), width);
  ASSERT_EQ(HeightOf(wide), height);
  // Colours always; the alpha bytes where they were written.
  const uint32_t mask = expected.alpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
  int mismatches = 0;
  for (int r = 0; r < height && mismatches < 5; ++r) {
    for (int x = 0; x < width && mismatches < 5; ++x) {
      const uint32_t got = ReadPixel(wide, x, r) & mask, want = ReadPixel(expected.bitmap, x, r) & mask;
      if (got != want) {
        ++mismatches;
        ADD_FAILURE() << path << " pixel (" << x << ", row " << r << "): " << std::hex << got << " != " << want;
      }
    }
  }
  GlobalFree(wide);
}

}  // namespace ormi::test
