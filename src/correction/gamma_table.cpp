// Loading the gamma table file. Every load starts from an all-zero buffer and a clear flag, so a
// failed reload never leaves old tables in use, and the bytes a short file does not cover stay 0.
// The file is only read: it is opened read-only, so a table the user may not write still loads.
#include "correction/gamma_table.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include <ormi/win32.h>

namespace ormi {

uint8_t GammaTable[kGammaTableBytes];
int32_t GammaTableLoaded = 0;

void ClearGammaTable() {
  std::memset(GammaTable, 0, sizeof GammaTable);
  GammaTableLoaded = 0;
}

namespace {

constexpr UINT kPathChars = MAX_PATH;  // including the terminating NUL

// "<windows directory><separator>gammalut.tbl", or false when there is no directory or the path
// would not fit in kPathChars.
bool GammaTablePath(std::array<char, kPathChars>& path) {
  const UINT length = GetWindowsDirectoryA(path.data(), kPathChars);
  // A length of kPathChars or more is the size the directory would need: it did not fit.
  if (length == 0 || length >= kPathChars) return false;
  const size_t nameLength = std::strlen(kGammaTableFileName);
  if (size_t{length} + 1 + nameLength + 1 > kPathChars) return false;
  path[length] = static_cast<char>(std::filesystem::path::preferred_separator);
  std::memcpy(path.data() + length + 1, kGammaTableFileName, nameLength + 1);
  return true;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

int LoadGammaTable() {
  ClearGammaTable();
  std::array<char, kPathChars> path{};
  if (!GammaTablePath(path)) return 0;
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.data(), "rb"));
  if (!file) return 0;
  std::array<uint8_t, kGammaTableBytes> contents{};
  if (std::fseek(file.get(), 0, SEEK_SET) != 0) return 0;
  std::fread(contents.data(), 1, contents.size(), file.get());
  // A short file is fine; a read that failed (a directory under that name, an I/O error) is not.
  if (std::ferror(file.get())) return 0;
  for (size_t i = 0; i < kGammaTableBytes; ++i) SetGammaTableByte(i, contents[i]);
  SetGammaTableLoaded(1);
  return 1;
}

}  // namespace ormi
