#include "payload/log_line.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace saver {
namespace {

std::mutex& SinkMutex() {
  static std::mutex m;
  return m;
}

LogSink& CustomSink() {
  static LogSink sink;
  return sink;
}

void WriteToEnvironmentSink(const std::string& text) {
  static const char* target = std::getenv("SAVER_LOG");
  if (!target || !*target) return;
  if (std::string(target) == "-") {
    std::fprintf(stderr, "%s\n", text.c_str());
    return;
  }
  // Opened per line so that a log survives a crash and other processes can append.
  if (FILE* f = std::fopen(target, "a")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fputc('\n', f);
    std::fclose(f);
  }
}

}  // namespace

void LogLine(const std::string& text) {
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

}  // namespace saver
