#include "support/imagemagick.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <unistd.h>

#include "host/bitmap_convert.h"
#include "support/test_image.h"

namespace ormi::test {

bool HaveConvert() {
  static const bool found = std::system("command -v convert >/dev/null 2>&1") == 0;
  return found;
}

bool RunConvert(const std::string& args, std::vector<uint8_t>* out) {
  FILE* pipe = popen(("convert " + args).c_str(), "r");
  if (!pipe) return false;
  uint8_t chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
    if (out) out->insert(out->end(), chunk, chunk + got);
  }
  return pclose(pipe) == 0;
}

std::vector<uint8_t> ConvertToRgba(const std::string& path, const std::string& options) {
  std::vector<uint8_t> rgba;
  EXPECT_TRUE(RunConvert("'" + path + "[0]' " + options + " -depth 8 rgba:-", &rgba)) << path;
  return rgba;
}

std::vector<uint8_t> ArgbToRgba(const std::vector<uint32_t>& argb) {
  std::vector<uint8_t> rgba;
  for (const uint32_t p : argb)
    rgba.insert(rgba.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
  return rgba;
}

std::vector<uint8_t> BitmapRgba(HGLOBAL bitmap) {
  HGLOBAL bitmap32 = host::ConvertBitmapDepth(bitmap, 32);
  std::vector<uint8_t> rgba;
  if (!bitmap32) return rgba;
  const std::vector<uint8_t> bytes = BlockBytes(bitmap32);
  BITMAPINFOHEADER header;
  std::memcpy(&header, bytes.data(), sizeof header);
  for (int r = header.biHeight - 1; r >= 0; --r) {
    const uint8_t* row = bytes.data() + 40 + size_t{4} * header.biWidth * r;
    for (int x = 0; x < header.biWidth; ++x)
      rgba.insert(rgba.end(), {row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]});
  }
  GlobalFree(bitmap32);
  return rgba;
}

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "/ormi_" + std::to_string(getpid()) + "_" + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace ormi::test
