// Picture files made for the tests with libjpeg and the host's encoders: JPEGs in every colour
// space and scan layout the readers must take, EXIF blocks, and pictures of flat 8x8 blocks whose
// colours survive JPEG compression.
#pragma once

#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "host/picture_file.h"

namespace ormi::test {

inline void WritePictureFile(const std::string& path, host::PictureFormat format, HGLOBAL bitmap, bool withAlpha) {
  std::string error;
  ASSERT_TRUE(host::WritePicture(path, format, bitmap, withAlpha, error)) << error;
}

// The width and the number of rows of a packed bitmap.
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

struct JpegSpec {
  int width = 16, height = 16;
  J_COLOR_SPACE input = JCS_RGB, stored = JCS_YCbCr;
  std::function<std::array<uint8_t, 4>(int x, int y)> pixel;  // the input's components
  bool adobe = true;                                          // Adobe's marker (CMYK stored inverted)
  bool progressive = false;                                   // libjpeg's progression of ten scans
  bool scanPerCoefficient = false;  // a scan for each coefficient of each component: 190 scans
};

inline std::vector<uint8_t> JpegOf(const JpegSpec& spec) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = spec.width;
  info.image_height = spec.height;
  info.input_components = spec.input == JCS_CMYK ? 4 : 3;
  info.in_color_space = spec.input;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, spec.stored);
  jpeg_set_quality(&info, 100, TRUE);
  for (int c = 0; c < info.num_components; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
  info.write_Adobe_marker = spec.adobe;
  if (spec.progressive) jpeg_simple_progression(&info);
  std::vector<jpeg_scan_info> scans(1, jpeg_scan_info{3, {0, 1, 2}, 0, 0, 0, 0});
  for (int c = 0; c < 3 && spec.scanPerCoefficient; ++c)
    for (int k = 1; k < 64; ++k) scans.push_back({1, {c}, k, k, 0, 0});
  if (spec.scanPerCoefficient) info.scan_info = scans.data(), info.num_scans = static_cast<int>(scans.size());
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(spec.width) * info.input_components);
  for (int y = 0; y < spec.height; ++y) {
    for (int x = 0; x < spec.width; ++x) {
      const std::array<uint8_t, 4> p = spec.pixel(x, y);
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

// Whether every channel of two 0x..RRGGBB colours is within `tolerance`.
inline bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8) {
    if (std::abs(static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255)) > tolerance) return false;
  }
  return true;
}

}  // namespace ormi::test
