#pragma once
// The diagnostic log hook. The payload code passes one line per step; by
// default the lines go nowhere. When the environment variable SAVER_LOG names
// a file, each line is appended to it ("-" means standard error). Tests put
// their own sink behind the hook. Safe to call from any thread.
#include <functional>
#include <string>
#include <vector>

namespace saver {

void LogLine(const std::string& text);

// What the SAVER_LOG sink does with one line for a target: "-" writes it to
// standard error, any other target names a file it is appended to. The line
// goes out whole, zero bytes included, followed by a newline. False when the
// target is a pipe nobody reads (any more): the sink then stops logging,
// and the process goes on without a SIGPIPE.
bool WriteLogLine(const std::string& target, const std::string& text);

using LogSink = std::function<void(const std::string& line)>;
// Replaces the sink; an empty function restores the SAVER_LOG sink.
void SetLogSink(LogSink sink);

// While it lives, the lines its thread logs go into `lines` instead of the
// sink: work done ahead logs them when its result is used, and not at all
// when it is dropped.
class TLogCapture {
 public:
  explicit TLogCapture(std::vector<std::string>& lines);
  ~TLogCapture();
  TLogCapture(const TLogCapture&) = delete;
  TLogCapture& operator=(const TLogCapture&) = delete;

 private:
  std::vector<std::string>* previous_;
};

}  // namespace saver
