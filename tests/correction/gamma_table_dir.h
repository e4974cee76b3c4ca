// A gamma table folder for one test: $WINDIR points at a fresh temporary folder for the life of
// the object, and afterwards the environment and the module's table are as they were before.
#pragma once

#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "correction/gamma_table.h"

namespace ormi::test {

using GammaFile = std::vector<uint8_t>;

// 14 tables, table n filled by fill(n, x).
template <class Fill>
GammaFile MakeGammaFile(Fill fill) {
  GammaFile file(kGammaTableBytes);
  for (size_t n = 0; n < 14; ++n) {
    for (size_t x = 0; x < 256; ++x)
      file[256 * n + x] = static_cast<uint8_t>(fill(static_cast<int>(n), static_cast<int>(x)));
  }
  return file;
}

inline GammaFile IdentityGammaFile() {
  return MakeGammaFile([](int, int x) { return x; });
}

class GammaTableDir {
 public:
  GammaTableDir() {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("ormi-gamma-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    if (const char* old = std::getenv("WINDIR")) saved_ = old;
    setenv("WINDIR", dir_.c_str(), 1);
  }
  GammaTableDir(const GammaTableDir&) = delete;
  GammaTableDir& operator=(const GammaTableDir&) = delete;
  ~GammaTableDir() {
    if (saved_) {
      setenv("WINDIR", saved_->c_str(), 1);
    } else {
      unsetenv("WINDIR");
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
    ClearGammaTable();  // the next test loads its own tables
  }

  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path file() const { return dir_ / kGammaTableFileName; }
  void write(const GammaFile& bytes) const {
    std::ofstream out(file(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void remove() const { std::filesystem::remove(file()); }

 private:
  std::filesystem::path dir_;
  std::optional<std::string> saved_;
};

// The module's table as it stands.
inline GammaFile LoadedGammaTable() { return GammaFile(GammaTable, GammaTable + kGammaTableBytes); }

}  // namespace ormi::test
