// GetWindowsDirectoryA of the Win32 emulation: $WINDIR, the installed data directory, buffer sizes.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <ormi/win32.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using GetDirectory = UINT (*)(LPSTR, UINT);

std::string Call(GetDirectory get) {
  std::vector<char> buffer(4096, '#');
  const UINT length = get(buffer.data(), static_cast<UINT>(buffer.size()));
  EXPECT_EQ(std::strlen(buffer.data()), length) << "the answer is the length copied";
  return std::string(buffer.data(), length);
}

// Sets $WINDIR (nullptr: unsets it) for one scope.
struct Windir {
  explicit Windir(const char* value) {
    if (const char* old = std::getenv("WINDIR")) saved = old;
    value ? setenv("WINDIR", value, 1) : unsetenv("WINDIR");
  }
  ~Windir() { saved.empty() ? unsetenv("WINDIR") : setenv("WINDIR", saved.c_str(), 1); }
  std::string saved;
};

std::string CallWith(const char* windir, GetDirectory get) {
  Windir set(windir);
  return Call(get);
}

TEST(Win32EmuWindowsDirectory, AnswersWindirElseAnAbsoluteDirectory) {
  const std::string unset = CallWith(nullptr, GetWindowsDirectoryA);
  ASSERT_FALSE(unset.empty());
  EXPECT_EQ(unset.front(), '/');
  EXPECT_NE(unset.back(), '/') << "callers append the separator themselves";
  EXPECT_EQ(CallWith("/opt/some where/windows", GetWindowsDirectoryA), "/opt/some where/windows");
  EXPECT_EQ(CallWith("", GetWindowsDirectoryA), unset) << "an empty $WINDIR counts as unset";
}

TEST(Win32EmuWindowsDirectory, TooSmallBufferGetsTheNeededSizeAndStaysUntouched) {
  const std::string dir = "/some/windows/dir";
  Windir windir(dir.c_str());
  const auto needed = static_cast<UINT>(dir.size() + 1);
  for (UINT size : {0u, 1u, needed - 1, needed}) {
    std::vector<char> buffer(needed + 8, '#');
    const UINT answer = GetWindowsDirectoryA(buffer.data(), size);
    EXPECT_EQ(answer, size < needed ? needed : needed - 1) << size;
    const std::string expected = size < needed ? std::string(needed + 8, '#') : dir + '\0' + std::string(8, '#');
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), expected) << "untouched, or the directory and nothing more";
  }
  EXPECT_EQ(GetWindowsDirectoryA(nullptr, 0), needed);
}

// Without $WINDIR, the data directory of the installation the emulation was loaded from answers
// once it holds the table: a copy of the library in a fake prefix shows it.
TEST(Win32EmuWindowsDirectory, PrefersTheInstalledDirectoryHoldingTheTable) {
  Dl_info loaded{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&GetWindowsDirectoryA), &loaded), 0);
  const std::string library = loaded.dli_fname;
  ASSERT_NE(library.find("libormi-win32emu.so"), std::string::npos) << library;
  const fs::path prefix = fs::canonical(fs::temp_directory_path()) / ("ormi-emu-" + std::to_string(getpid()));
  const fs::path data = prefix / "share/ormi";
  fs::remove_all(prefix);
  fs::create_directories(prefix / "lib");
  fs::copy_file(library, prefix / "lib/libormi-win32emu.so");
  void* copy = dlopen((prefix / "lib/libormi-win32emu.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(copy, nullptr) << dlerror();
  auto get = reinterpret_cast<GetDirectory>(dlsym(copy, "GetWindowsDirectoryA"));
  Windir windir(nullptr);
  const std::string buildTree = Call(get);
  EXPECT_NE(buildTree, data.string());
  fs::create_directories(data / "gammalut.tbl");
  EXPECT_EQ(Call(get), buildTree) << "a directory named like the table does not count";
  fs::remove(data / "gammalut.tbl");
  std::ofstream(data / "gammalut.tbl") << "table";
  EXPECT_EQ(Call(get), data.string());
  EXPECT_EQ(CallWith("/elsewhere", get), "/elsewhere") << "$WINDIR still wins";
  fs::remove(data / "gammalut.tbl");
  EXPECT_EQ(Call(get), buildTree);
  dlclose(copy);
  fs::remove_all(prefix);
}

}  // namespace
