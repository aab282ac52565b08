#include "payload/format/log_line.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace saver {
namespace {

std::mutex& SinkMutex() {
  static std::mutex m;
  return m;
}

thread_local std::vector<std::string>* t_capture = nullptr;

LogSink& CustomSink() {
  static LogSink sink;
  return sink;
}

void WriteToEnvironmentSink(const std::string& text) {
  static const char* target = std::getenv("SAVER_LOG");
  static bool closed = false;  // its reader went away: logging is over, the show is not
  if (!target || !*target || closed) return;
  closed = !WriteLogLine(target, text);
}

// Writes the line to fd in one piece. A pipe whose reader has gone raises
// SIGPIPE, which would end the process: the signal is held back for the
// write and taken here. False only in that case.
bool WriteLine(int fd, const std::string& text) {
  const std::string line = text + '\n';
  sigset_t pipeSignal, previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n > 0)
      done += size_t(n);
    else if (errno != EINTR)
      break;
  }
  const bool broken = done < line.size() && errno == EPIPE;
  if (broken) {
    const timespec now{};
    sigtimedwait(&pipeSignal, nullptr, &now);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return !broken;
}

}  // namespace

bool WriteLogLine(const std::string& target, const std::string& text) {
  if (target == "-") return WriteLine(STDERR_FILENO, text);
  // Opened per line so that a log survives a crash and other processes can
  // append. A pipe without a reader is not waited for: it counts as closed.
  const int fd = ::open(target.c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return errno != ENXIO;
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const bool written = WriteLine(fd, text);
  ::close(fd);
  return written;
}

void LogLine(const std::string& text) {
  if (t_capture) {
    t_capture->push_back(text);
    return;
  }
  std::lock_guard lock(SinkMutex());
  if (CustomSink())
    CustomSink()(text);
  else
    WriteToEnvironmentSink(text);
}

void SetLogSink(LogSink sink) {
  std::lock_guard lock(SinkMutex());
  CustomSink() = std::move(sink);
}

TLogCapture::TLogCapture(std::vector<std::string>& lines) : previous_(t_capture) {
  t_capture = &lines;
}

TLogCapture::~TLogCapture() { t_capture = previous_; }

}  // namespace saver
