#pragma once
// Test double of the shell: remembers each address that reached the opener,
// after the shell's own refusal of addresses it does not open.
#include <string>
#include <vector>

#include "platform/shell.h"

namespace saver {

class RecordingShell final : public IShell {
 public:
  std::vector<std::string> opened;

 protected:
  void Launch(const std::string& address) override { opened.push_back(address); }
};

}  // namespace saver
