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
}  // namespace

IMessageBox& MessageBoxService() {
  IMessageBox* box = g_box.load();
  if (box) return *box;
  static StderrMessageBox fallback;
  return fallback;
}

void SetMessageBoxService(IMessageBox* box) { g_box.store(box); }

}  // namespace saver
