// The progress line of a batch on a terminal: files done of total, elapsed time, current file.
// Quiet when stderr is not a terminal; messages then go out as plain lines.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace ormi::fx {

class Progress {
 public:
  Progress(size_t total, bool onTerminal);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void begin(const std::string& file);  // the current file
  void done();                          // one more file finished
  // A line of its own on stderr (an error), with the progress line drawn again below it.
  void message(const std::string& line);

  // "[3/10] 0:04 photo.jpg", cut to `width` columns.
  static std::string Line(size_t done, size_t total, long seconds, const std::string& file, size_t width);

 private:
  void draw();
  void clear();

  size_t total_, done_ = 0;
  bool onTerminal_;
  std::string current_;
  std::chrono::steady_clock::time_point start_;
};

// Whether stderr is a terminal.
bool StderrIsTerminal();

}  // namespace ormi::fx
