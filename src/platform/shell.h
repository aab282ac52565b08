#pragma once
// The shell: opens an address (a web page, a file) with the user's
// preferred program, without waiting for that program.
#include <string>
#include <vector>

namespace saver {

class IShell {
 public:
  virtual ~IShell() = default;
  // Starts opening utf8Address and returns at once; failures are not reported.
  virtual void Open(const std::string& utf8Address) = 0;
};

// The desktop's shell: `xdg-open ADDRESS`, found on PATH, started detached
// (it outlives the saver and is never waited for). Nothing happens when
// there is no xdg-open.
class XdgShell final : public IShell {
 public:
  void Open(const std::string& utf8Address) override;
};

// Test double: remembers what it was asked to open.
class RecordingShell final : public IShell {
 public:
  void Open(const std::string& utf8Address) override { opened.push_back(utf8Address); }
  std::vector<std::string> opened;
};

// The process's shell: an XdgShell unless a test set another.
IShell& Shell();
void SetShell(IShell* shell);  // nullptr restores the default

}  // namespace saver
