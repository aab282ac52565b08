#pragma once
// One error or information box, shown modally on the UI thread.
#include <string>
#include <vector>

namespace saver {

enum class MessageIcon { Error, Information, Warning };

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // text and caption are UTF-8.
  virtual void Show(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

// Test double and headless fallback: remembers every box it was asked to show.
class RecordingMessageBox final : public IMessageBox {
 public:
  struct Shown {
    std::string text, caption;
    MessageIcon icon;
  };
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
    shown.push_back({text, caption, icon});
  }
  std::vector<Shown> shown;
};

// Headless fallback: writes "caption: text" as one line to standard error.
class StderrMessageBox final : public IMessageBox {
 public:
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;
};

// The process's message box: a StderrMessageBox unless the desktop backend
// or a test set another.
IMessageBox& MessageBoxService();
void SetMessageBoxService(IMessageBox* box);  // nullptr restores the default

// Whether a box shown through MessageBoxService is up (its Show has not
// returned yet): input and requests that arrive meanwhile come from its loop.
bool MessageBoxShowing();

}  // namespace saver
