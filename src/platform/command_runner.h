#pragma once
// Runs short helper programs (the desktop's settings tools) and captures
// what they print.
#include <chrono>
#include <string>
#include <vector>

namespace saver {

struct TCommandResult {
  bool Started = false;  // false: the program is not on PATH or could not be started
  int ExitStatus = -1;   // the exit code; -1 when it ended by a signal or the time ran out
  std::string Output;    // what it wrote to standard output
  bool Succeeded() const { return Started && ExitStatus == 0; }
};

class ICommandRunner {
 public:
  virtual ~ICommandRunner() = default;
  // Runs argv[0] (a name looked up on PATH, or a path with a '/') with the
  // rest as its arguments, waits for it and returns how it ended. Never
  // raises for a program that fails.
  virtual TCommandResult Run(const std::vector<std::string>& argv) = 0;
};

// Runs the program directly (no shell) with standard input from /dev/null,
// standard output captured, standard error discarded and none of the
// saver's other descriptors. A bare name is looked up in the absolute
// folders of PATH only. The program runs in a process group of its own;
// when it has not ended within the timeout the whole group is killed and
// the result says ExitStatus -1.
class ProcessRunner final : public ICommandRunner {
 public:
  explicit ProcessRunner(std::chrono::milliseconds timeout = std::chrono::seconds(5))
      : timeout_(timeout) {}
  TCommandResult Run(const std::vector<std::string>& argv) override;

 private:
  std::chrono::milliseconds timeout_;
};

// The first runnable regular file called name in an absolute PATH folder,
// or "" when there is none.
std::string FindProgramOnPath(const std::string& name);

}  // namespace saver
