#include "host/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace ormi::host {
namespace {

constexpr size_t kReadChunk = size_t{1} << 20;

std::string Reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool WriteAll(int fd, const std::vector<uint8_t>& bytes, std::string& error) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      if (wrote == 0) errno = EIO;
      error = Reason("cannot write");
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return true;
}

// Devices, pipes and standard output cannot be replaced by a rename: their bytes go straight in.
bool WriteInPlace(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  const int fd = path == "-" ? STDOUT_FILENO : ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    error = Reason("cannot open");
    return false;
  }
  bool written = WriteAll(fd, bytes, error);
  if (fd != STDOUT_FILENO && ::close(fd) != 0 && written) {
    error = Reason("cannot write");
    written = false;
  }
  return written;
}

// A new file beside `target` that no other writer can be using (O_EXCL), with the mode that the
// umask gives a new file.
int CreateTemporary(const std::filesystem::path& target, std::string& name, std::string& error) {
  static std::atomic<unsigned> counter{0};
  const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate = target;
    candidate.replace_filename("." + target.filename().string() + "." + std::to_string(::getpid()) + "-" +
                               std::to_string(counter++) + "-" + std::to_string((ticks + attempt) % 100000) + ".tmp");
    name = candidate.string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      if (fd < 0) error = Reason("cannot create a temporary file");
      return fd;
    }
  }
  error = "cannot create a temporary file";
  return -1;
}

}  // namespace

InputFile::~InputFile() {
  if (owned_) ::close(fd_);
}

bool InputFile::open(const std::string& path, std::string& error) {
  if (path == "-") {
    fd_ = STDIN_FILENO;
  } else {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
      error = std::strerror(errno);
      return false;
    }
    owned_ = true;
  }
  struct stat info {};
  if (::fstat(fd_, &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      error = "is a directory";
      return false;
    }
    if (S_ISREG(info.st_mode)) size_ = static_cast<uint64_t>(info.st_size);
  }
  return true;
}

bool InputFile::readUpTo(std::vector<uint8_t>& bytes, uint64_t limit, std::string& error) {
  while (bytes.size() < limit) {
    const size_t have = bytes.size();
    const size_t want = static_cast<size_t>(std::min<uint64_t>(limit - have, kReadChunk));
    bytes.resize(have + want);
    const ssize_t got = ::read(fd_, bytes.data() + have, want);
    bytes.resize(have + static_cast<size_t>(got > 0 ? got : 0));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = Reason("read error");
      return false;
    }
    if (got == 0) break;
  }
  return true;
}

bool WriteFileSafely(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path target(path);
  // A link is followed, so that the file it names is replaced and the link stays.
  if (fs::is_symlink(fs::symlink_status(target, ec))) target = fs::weakly_canonical(target, ec);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (path == "-" || (exists && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode))) {
    return WriteInPlace(path, bytes, error);
  }
  if (exists && S_ISDIR(existing.st_mode)) {
    error = "is a directory";
    return false;
  }
  std::string temporary;
  const int fd = CreateTemporary(target, temporary, error);
  if (fd < 0) return false;
  // A replaced file keeps its permissions.
  bool written = !exists || ::fchmod(fd, existing.st_mode & 07777) == 0;
  if (!written) error = Reason("cannot write");
  written = written && WriteAll(fd, bytes, error);
  if (written && ::fsync(fd) != 0) {
    error = Reason("cannot write");
    written = false;
  }
  if (::close(fd) != 0 && written) {
    error = Reason("cannot write");
    written = false;
  }
  if (written && ::rename(temporary.c_str(), target.c_str()) != 0) {
    error = Reason("cannot replace the file");
    written = false;
  }
  if (!written) {
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder.
  fs::path folder = target.parent_path();
  if (const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {
  }, second{};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

}  // namespace ormi::host
