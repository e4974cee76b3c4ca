// Files as picture readers and writers need them: read in bounded steps (a hostile file or a
// device never makes us read more than its header accounts for), written through a temporary
// file that replaces the target only once it is complete. "-" names standard input or output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ormi::host {

// An open file or standard input, read a piece at a time.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  bool open(const std::string& path, std::string& error);
  // Appends up to `limit - bytes.size()` more bytes (fewer at the end of the file).
  bool readUpTo(std::vector<uint8_t>& bytes, uint64_t limit, std::string& error);
  // The size of a regular file; nullopt for a pipe, a terminal or a device.
  std::optional<uint64_t> size() const { return size_; }

 private:
  int fd_ = -1;
  bool owned_ = false;
  std::optional<uint64_t> size_;
};

// Writes `bytes` as the file `path`: into a new temporary file beside it, flushed to the disk,
// then renamed over the target, so that the target is either what it was or the whole new file.
// A file that cannot be replaced (a device, a pipe, "-" for standard output) is written in place.
bool WriteFileSafely(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// Whether two paths name the same existing file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace ormi::host
