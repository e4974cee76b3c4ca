// GetWindowsDirectoryA of the Win32 emulation: $WINDIR, the installed data directory, buffer sizes.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <ormi/win32.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The data directory below an installation prefix, as the project installs it (default DATADIR).
constexpr const char* kInstalledDataSubdir = "share/ormi";

std::string Call(UINT (*get)(LPSTR, UINT)) {
  std::vector<char> buffer(4096, '\0');
  const UINT length = get(buffer.data(), static_cast<UINT>(buffer.size()));
  EXPECT_GT(length, 0u);
  EXPECT_LT(length, buffer.size());
  EXPECT_EQ(std::strlen(buffer.data()), length) << "the answer is the length copied";
  return std::string(buffer.data(), length);
}

// Sets or clears $WINDIR for one test and puts the old value back afterwards.
class Win32EmuWindowsDirectory : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("WINDIR")) saved_ = old;
  }
  void TearDown() override {
    if (saved_)
      setenv("WINDIR", saved_->c_str(), 1);
    else
      unsetenv("WINDIR");
  }
  std::optional<std::string> saved_;
};

TEST_F(Win32EmuWindowsDirectory, AnswersWindirWhenSet) {
  ASSERT_EQ(setenv("WINDIR", "/opt/some where/windows", 1), 0);
  EXPECT_EQ(Call(&GetWindowsDirectoryA), "/opt/some where/windows");
}

TEST_F(Win32EmuWindowsDirectory, EmptyWindirCountsAsUnset) {
  unsetenv("WINDIR");
  const std::string unset = Call(&GetWindowsDirectoryA);
  ASSERT_EQ(setenv("WINDIR", "", 1), 0);
  EXPECT_EQ(Call(&GetWindowsDirectoryA), unset);
}

TEST_F(Win32EmuWindowsDirectory, WithoutWindirAnswersAnAbsoluteDirectory) {
  unsetenv("WINDIR");
  const std::string dir = Call(&GetWindowsDirectoryA);
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.front(), '/');
  EXPECT_NE(dir.back(), '/') << "callers append the separator themselves";
}

TEST_F(Win32EmuWindowsDirectory, TooSmallBufferGetsTheNeededSizeAndStaysUntouched) {
  const std::string dir = "/some/windows/dir";
  ASSERT_EQ(setenv("WINDIR", dir.c_str(), 1), 0);
  const auto needed = static_cast<UINT>(dir.size() + 1);
  for (UINT size : {0u, 1u, needed - 2, needed - 1}) {
    std::vector<char> buffer(needed + 8, '#');
    EXPECT_EQ(GetWindowsDirectoryA(buffer.data(), size), needed) << "size " << size;
    for (char c : buffer) ASSERT_EQ(c, '#') << "size " << size;
  }
  EXPECT_EQ(GetWindowsDirectoryA(nullptr, 0), needed);

  std::vector<char> exact(needed + 8, '#');
  EXPECT_EQ(GetWindowsDirectoryA(exact.data(), needed), needed - 1);
  EXPECT_EQ(std::string(exact.data()), dir);
  EXPECT_EQ(exact[needed], '#') << "nothing written past the terminating NUL";
}

// Finds the loaded emulation library, to place a copy of it inside a fake installation prefix.
std::string LoadedEmulationLibrary() {
  std::string found;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* out) {
        if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "libormi-win32emu.so") != nullptr) {
          *static_cast<std::string*>(out) = info->dlpi_name;
          return 1;
        }
        return 0;
      },
      &found);
  return found;
}

class Win32EmuInstalledDataDir : public Win32EmuWindowsDirectory {
 protected:
  void SetUp() override {
    Win32EmuWindowsDirectory::SetUp();
    const std::string library = LoadedEmulationLibrary();
    ASSERT_FALSE(library.empty()) << "libormi-win32emu is not loaded";
    prefix_ = fs::canonical(fs::temp_directory_path()) / ("ormi-emu-prefix-" + std::to_string(getpid()));
    fs::remove_all(prefix_);
    fs::create_directories(prefix_ / "lib");
    fs::copy_file(library, prefix_ / "lib" / "libormi-win32emu.so");
    copy_ = dlopen((prefix_ / "lib" / "libormi-win32emu.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(copy_, nullptr) << dlerror();
    get_ = reinterpret_cast<UINT (*)(LPSTR, UINT)>(dlsym(copy_, "GetWindowsDirectoryA"));
    ASSERT_NE(get_, nullptr);
    unsetenv("WINDIR");
  }
  void TearDown() override {
    if (copy_ != nullptr) dlclose(copy_);
    fs::remove_all(prefix_);
    Win32EmuWindowsDirectory::TearDown();
  }

  void InstallTable() {
    fs::create_directories(DataDir());
    std::ofstream(DataDir() / "gammalut.tbl") << "table";
  }
  fs::path DataDir() const { return prefix_ / kInstalledDataSubdir; }

  fs::path prefix_;
  void* copy_ = nullptr;
  UINT (*get_)(LPSTR, UINT) = nullptr;
};

TEST_F(Win32EmuInstalledDataDir, PrefersTheInstalledDirectoryHoldingTheTable) {
  const std::string withoutTable = Call(get_);
  EXPECT_NE(withoutTable, DataDir().string()) << "no table there yet: the build tree answers";

  InstallTable();
  EXPECT_EQ(Call(get_), DataDir().string());

  ASSERT_EQ(setenv("WINDIR", "/elsewhere", 1), 0);
  EXPECT_EQ(Call(get_), "/elsewhere") << "$WINDIR still wins";
  unsetenv("WINDIR");

  fs::remove(DataDir() / "gammalut.tbl");
  EXPECT_EQ(Call(get_), withoutTable) << "without the table the build tree answers again";
}

TEST_F(Win32EmuInstalledDataDir, ADirectoryNamedLikeTheTableDoesNotCount) {
  const std::string withoutTable = Call(get_);
  fs::create_directories(DataDir() / "gammalut.tbl");
  EXPECT_EQ(Call(get_), withoutTable);
}

}  // namespace
