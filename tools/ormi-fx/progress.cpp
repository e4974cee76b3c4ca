#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace ormi::fx {
namespace {

size_t TerminalWidth() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

Progress::Progress(size_t total, bool onTerminal)
    : total_(total), onTerminal_(onTerminal), start_(std::chrono::steady_clock::now()) {}

Progress::~Progress() {
  if (!onTerminal_) return;
  clear();
  const long seconds = static_cast<long>(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_).count());
  std::fprintf(stderr, "%s\n", Line(done_, total_, seconds, "done", TerminalWidth()).c_str());
}

std::string Progress::Line(size_t done, size_t total, long seconds, const std::string& file, size_t width) {
  char head[64];
  std::snprintf(head, sizeof head, "[%zu/%zu] %ld:%02ld ", done, total, seconds / 60, seconds % 60);
  std::string line = head;
  // Keep the end of a long name: it is the part that tells files apart.
  const size_t room = width > line.size() + 1 ? width - line.size() - 1 : 0;
  if (file.size() <= room) return line + file;
  if (room <= 3) return line + file.substr(0, room);
  return line + "..." + file.substr(file.size() - (room - 3));
}

void Progress::begin(const std::string& file) {
  current_ = file;
  draw();
}

void Progress::done() {
  ++done_;
  draw();
}

void Progress::message(const std::string& line) {
  clear();
  std::fprintf(stderr, "%s\n", line.c_str());
  draw();
}

void Progress::draw() {
  if (!onTerminal_) return;
  const long seconds = static_cast<long>(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_).count());
  std::fprintf(stderr, "\r\033[K%s", Line(done_, total_, seconds, current_, TerminalWidth()).c_str());
  std::fflush(stderr);
}

void Progress::clear() {
  if (!onTerminal_) return;
  std::fprintf(stderr, "\r\033[K");
}

}  // namespace ormi::fx
