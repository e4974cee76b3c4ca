// ImageMagick's convert, to make the files other programs write and to read ours as they do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <ormi/win32.h>

namespace ormi::test {

bool HaveConvert();
// Runs `convert ARGS` through the shell; false when it fails. Its standard output in `out`.
bool RunConvert(const std::string& args, std::vector<uint8_t>* out = nullptr);
// A file's first picture as convert decodes it (after `options`): RGBA bytes, rows from the top.
std::vector<uint8_t> ConvertToRgba(const std::string& path, const std::string& options = "");
// 0xAARRGGBB values as RGBA bytes.
std::vector<uint8_t> ArgbToRgba(const std::vector<uint32_t>& argb);
// A bitmap of any depth as RGBA bytes, rows from the top.
std::vector<uint8_t> BitmapRgba(HGLOBAL bitmap);
std::vector<uint8_t> ReadBytes(const std::string& path);
// A temporary file name of this process, so that tests running at once never share one.
std::string TempPath(const std::string& name);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace ormi::test

#define ORMI_SKIP_WITHOUT_CONVERT()                                                        \
  if (!::ormi::test::HaveConvert())                                                        \
  GTEST_SKIP() << "ImageMagick's convert is not installed (apt-get install imagemagick); " \
                  "the comparison with another program's reading is skipped"
