#pragma once
// The desktop message box (implemented in the Qt backend). Needs a
// QApplication; shows the box modally with a single OK button.
#include "platform/message_box.h"

namespace saver {

class QtMessageBox final : public IMessageBox {
 public:
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;
};

}  // namespace saver
