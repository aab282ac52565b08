#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

namespace saver {

void StderrMessageBox::Show(const std::string& text, const std::string& caption,
                            MessageIcon icon) {
  std::string line = text;
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), line.c_str());
}

namespace {

std::atomic<IMessageBox*> g_box{nullptr};
std::atomic<int> g_showing{0};

// Every box goes through here, so that it is known while one is up.
class CountingMessageBox final : public IMessageBox {
 public:
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
    struct Up {
      Up() { ++g_showing; }
      ~Up() { --g_showing; }
    } up;
    Target().Show(text, caption, icon);
  }

 private:
  static IMessageBox& Target() {
    if (IMessageBox* box = g_box.load()) return *box;
    static StderrMessageBox fallback;
    return fallback;
  }
};

}  // namespace

IMessageBox& MessageBoxService() {
  static CountingMessageBox box;
  return box;
}

bool MessageBoxShowing() { return g_showing.load() > 0; }

void SetMessageBoxService(IMessageBox* box) {
  // The service itself stands for whatever box is set: setting it keeps that.
  if (box != &MessageBoxService()) g_box.store(box);
}

}  // namespace saver
