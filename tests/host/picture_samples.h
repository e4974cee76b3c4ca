// Picture files made for the tests: JPEGs in every colour space and scan layout the readers must
// take, EXIF blocks, pictures of flat 8x8 blocks whose colours survive JPEG compression; and the
// shell, file bytes and ImageMagick's convert that the file and ormi-fx tests share.
#pragma once

#include <jpeglib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "host/bitmap_convert.h"
#include "host/picture_file.h"
#include "support/test_image.h"

namespace ormi::test {

struct ShellRun {
  int status;
  std::string output;  // stdout and stderr together
};

inline ShellRun Shell(const std::string& command) {
  FILE* pipe = popen(("(" + command + ") 2>&1").c_str(), "r");
  std::string output;
  char chunk[512];
  while (size_t got = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, got);
  const int raw = pclose(pipe);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, output};
}

template <class Bytes = std::vector<uint8_t>>
inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
inline std::string ReadText(const std::string& path) { return ReadBytes<std::string>(path); }
inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
}
// A temporary file name of this process, so that tests running at once never share one.
inline std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "/ormi_" + std::to_string(getpid()) + "_" + name;
}

inline bool HaveConvert() { return Shell("command -v convert").status == 0; }
// A file's first picture as convert shows it (after `options`): RGBA bytes, rows from the top.
inline std::vector<uint8_t> ConvertToRgba(const std::string& path, const std::string& options = "") {
  const std::string raw = path + ".rgba";
  EXPECT_EQ(Shell("convert '" + path + "[0]' " + options + " -depth 8 rgba:" + raw).status, 0) << path;
  const std::vector<uint8_t> rgba = ReadBytes(raw);
  std::remove(raw.c_str());
  return rgba;
}
// 0xAARRGGBB values as RGBA bytes.
inline std::vector<uint8_t> ArgbToRgba(const std::vector<uint32_t>& argb) {
  std::vector<uint8_t> rgba;
  for (const uint32_t p : argb)
    rgba.insert(rgba.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
  return rgba;
}
// A bitmap of any depth as RGBA bytes, rows from the top (none for a top-down one).
inline std::vector<uint8_t> BitmapRgba(HGLOBAL bitmap) {
  HGLOBAL wide = host::ConvertBitmapDepth(bitmap, 32);
  std::vector<uint32_t> argb;
  const auto* header = wide ? static_cast<const BITMAPINFOHEADER*>(GlobalLock(wide)) : nullptr;
  const int width = header ? header->biWidth : 0, height = header ? header->biHeight : 0;
  if (wide) GlobalUnlock(wide);
  for (int r = height - 1; r >= 0; --r)
    for (int x = 0; x < width; ++x) argb.push_back(ReadPixel(wide, x, r));
  GlobalFree(wide);
  return ArgbToRgba(argb);
}

// Writes the bitmap and frees it.
inline void WriteFile(const std::string& path, HGLOBAL bitmap, bool withAlpha = false,
                      const host::WriteOptions& options = {}) {
  std::string error;
  EXPECT_TRUE(host::WritePicture(path, *host::FormatFromPath(path), bitmap, withAlpha, error, options)) << error;
  GlobalFree(bitmap);
}

struct JpegSpec {
  int width = 16, height = 16;
  J_COLOR_SPACE input = JCS_RGB, stored = JCS_YCbCr;
  std::function<std::array<uint8_t, 4>(int x, int y)> pixel;  // the input's components
  bool adobe = true;                                          // Adobe's marker (CMYK stored inverted)
  bool progressive = false;                                   // libjpeg's progression of ten scans
  bool scanPerCoefficient = false;  // a scan for each coefficient of each component: 190 scans
};

inline std::vector<uint8_t> JpegOf(const JpegSpec& layout) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = layout.width;
  info.image_height = layout.height;
  info.input_components = layout.input == JCS_CMYK ? 4 : 3;
  info.in_color_space = layout.input;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, layout.stored);
  jpeg_set_quality(&info, 100, TRUE);
  for (int c = 0; c < info.num_components; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
  info.write_Adobe_marker = layout.adobe;
  if (layout.progressive) jpeg_simple_progression(&info);
  std::vector<jpeg_scan_info> scans(1, jpeg_scan_info{3, {0, 1, 2}, 0, 0, 0, 0});
  for (int c = 0; c < 3 && layout.scanPerCoefficient; ++c)
    for (int k = 1; k < 64; ++k) scans.push_back({1, {c}, k, k, 0, 0});
  if (layout.scanPerCoefficient) info.scan_info = scans.data(), info.num_scans = static_cast<int>(scans.size());
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(layout.width) * info.input_components);
  for (int y = 0; y < layout.height; ++y) {
    for (int x = 0; x < layout.width; ++x) {
      const std::array<uint8_t, 4> p = layout.pixel(x, y);
      std::copy(p.begin(), p.begin() + info.input_components, row.begin() + x * info.input_components);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> file(buffer, buffer + size);
  std::free(buffer);
  return file;
}

// The file with an EXIF block that holds only an orientation, right after the start marker, in
// Motorola's byte order or Intel's.
inline std::vector<uint8_t> WithOrientation(std::vector<uint8_t> jpeg, uint8_t orientation, bool intel = false) {
  std::vector<uint8_t> exif = {0xFF, 0xE1, 0, 34,   'E', 'x', 'i', 'f', 0, 0, 'M', 'M',         0, 42, 0, 0, 0, 8,
                               0,    1,    1, 0x12, 0,   3,   0,   0,   0, 1, 0,   orientation, 0, 0,  0, 0, 0, 0};
  if (intel) {  // every field of two or four bytes reversed
    exif[10] = exif[11] = 'I';
    for (const size_t at : {12, 18, 20, 22}) std::swap(exif[at], exif[at + 1]);
    for (const size_t at : {14, 24}) std::reverse(exif.begin() + at, exif.begin() + at + 4);
    std::swap(exif[28], exif[29]);
  }
  jpeg.insert(jpeg.begin() + 2, exif.begin(), exif.end());
  return jpeg;
}

// Six flat 8x8 blocks, two across and three down, A to F in reading order.
constexpr std::array<uint32_t, 6> kBlockColours = {0xE01010, 0x10E010, 0x1010E0, 0xE0E010, 0x10E0E0, 0xF0F0F0};

inline std::array<uint8_t, 4> BlockPixel(int x, int y) {
  const uint32_t colour = kBlockColours[static_cast<size_t>(y / 8 * 2 + x / 8)];
  return {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8), static_cast<uint8_t>(colour), 0};
}

}  // namespace ormi::test

#define ORMI_SKIP_WITHOUT_CONVERT()                                                        \
  if (!::ormi::test::HaveConvert())                                                        \
  GTEST_SKIP() << "ImageMagick's convert is not installed (apt-get install imagemagick); " \
                  "the comparison with another program's reading is skipped"
