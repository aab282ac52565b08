#include "platform/screen.h"

#include <atomic>

namespace saver {

BitmapScreen::BitmapScreen() : desktop_(800, 600) { desktop_.Clear(0xFF000000u); }

void BitmapScreen::CaptureDesktop(TBitmap32& canvas) {
  TBitmap32 copy = desktop_;
  copy.ResetAlpha(255);
  copy.DrawMode = TDrawMode::Opaque;
  copy.DrawTo(canvas, 0, 0);
}

namespace {
BitmapScreen& DefaultScreen() {
  static BitmapScreen screen;
  return screen;
}
std::atomic<IScreen*> g_screen{nullptr};
}  // namespace

IScreen& Screen() {
  IScreen* s = g_screen.load();
  return s ? *s : DefaultScreen();
}
void SetScreen(IScreen* screen) { g_screen.store(screen); }

}  // namespace saver
