#pragma once
// The shell: opens an address (a web page, a file) with the user's
// preferred program, without waiting for that program.
#include <optional>
#include <string>

namespace saver {

// What the shell hands to the opener for utf8Address, or nullopt when it
// refuses the address. Only web pages (http, https) and mail (mailto) are
// opened, and the program's own addresses chosen when it was built (the F1
// page and the project's page, which may be files): a file, a desktop entry
// or an option ("--version") from a saver's text fields would have the
// opener show or run whatever the saver names. Spaces and control bytes,
// which no address holds, are percent-encoded.
std::optional<std::string> OpenableAddress(const std::string& utf8Address);

class IShell {
 public:
  virtual ~IShell() = default;
  // Starts opening utf8Address and returns at once; failures are not
  // reported. A refused address (OpenableAddress) is not opened: one line on
  // standard error says so.
  void Open(const std::string& utf8Address);

 protected:
  // Starts the opener with an address the shell let through.
  virtual void Launch(const std::string& address) = 0;
};

// The desktop's shell: `xdg-open ADDRESS`, found on PATH, started detached
// (it outlives the saver and is never waited for). Nothing happens when
// there is no xdg-open.
class XdgShell final : public IShell {
 protected:
  void Launch(const std::string& address) override;
};

// The process's shell: an XdgShell unless a test set another.
IShell& Shell();
void SetShell(IShell* shell);  // nullptr restores the default

}  // namespace saver
