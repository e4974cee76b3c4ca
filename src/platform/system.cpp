// GetWindowsDirectoryA: where the library finds its data files (the gamma table) outside Windows.
#include <ormi/win32.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kMarkerFile = "gammalut.tbl";

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string Parent(const std::string& path) {
  std::string::size_type slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// <directory of this library>/../<install data dir>, when an installed gamma table is there.
std::string InstalledDataDir() {
  // An internal symbol: an exported one could resolve to another module that defines the same name.
  static const char anchor = 0;
  Dl_info self{};
  if (dladdr(&anchor, &self) == 0 || self.dli_fname == nullptr || self.dli_fname[0] == '\0') return {};
  std::string library = self.dli_fname;
  char resolved[PATH_MAX];
  if (realpath(library.c_str(), resolved) != nullptr) library = resolved;
  std::string subdir = ORMI_INSTALL_DATA_SUBDIR;
  std::string dir = subdir.starts_with('/') ? subdir : Parent(Parent(library)) + "/" + subdir;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir.starts_with("//")) dir.erase(0, 1);  // the library sat in /lib: no "//usr"
  return IsRegularFile(dir + "/" + kMarkerFile) ? dir : std::string{};
}

std::string WindowsDirectory() {
  const char* windir = std::getenv("WINDIR");
  if (windir != nullptr && windir[0] != '\0') return windir;
  std::string installed = InstalledDataDir();
  return installed.empty() ? std::string{ORMI_BUILD_DATA_DIR} : installed;
}

}  // namespace

extern "C" UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  const std::string dir = WindowsDirectory();
  if (dir.size() >= UINT_MAX) return 0;
  const auto length = static_cast<UINT>(dir.size());
  // Too small (or no buffer): the size needed, terminating NUL included, and the buffer untouched.
  if (buffer == nullptr || size <= length) return length + 1;
  std::memcpy(buffer, dir.c_str(), dir.size() + 1);
  return length;
}
