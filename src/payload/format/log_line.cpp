#include "payload/format/log_line.h"

#include <cstdio>
#include <cstdlib>
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
  if (!target || !*target) return;
  WriteLogLine(target, text);
}

void WriteWhole(FILE* f, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), f);
  std::fputc('\n', f);
}

}  // namespace

void WriteLogLine(const std::string& target, const std::string& text) {
  if (target == "-") {
    WriteWhole(stderr, text);
    std::fflush(stderr);
    return;
  }
  // Opened per line so that a log survives a crash and other processes can append.
  if (FILE* f = std::fopen(target.c_str(), "a")) {
    WriteWhole(f, text);
    std::fclose(f);
  }
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
