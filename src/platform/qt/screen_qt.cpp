#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "platform/desktop.h"
#include "platform/qt/qt_backend.h"
#include "platform/screen.h"

namespace saver {

namespace {

// The screen the main window is on, in device pixels.
class QtScreen final : public IScreen {
 public:
  int32_t Width() const override { return Geometry().Width(); }
  int32_t Height() const override { return Geometry().Height(); }

  void CaptureDesktop(TBitmap32& canvas) override {
    QScreen* screen = Current();
    if (!screen) return;
    // The grab comes in device pixels (carrying the ratio), as the screen shows it.
    const QImage image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return;
    TBitmap32 shot(image.width(), image.height());
    for (int32_t y = 0; y < shot.Height(); ++y) {
      const auto* src = reinterpret_cast<const TColor32*>(image.constScanLine(y));
      std::copy(src, src + shot.Width(), shot.ScanLine(y));
    }
    shot.ResetAlpha(255);
    shot.DrawTo(canvas, 0, 0);
  }

 private:
  static QScreen* Current() {
    EnsureGuiApplication();
    return qt::QtSystem().MainScreen();
  }
  static TRect Geometry() {
    QScreen* screen = Current();
    return screen ? qt::DeviceRect(screen->geometry(), screen) : TRect{};
  }
};

}  // namespace

IScreen& DesktopScreen() {
  static QtScreen screen;
  return screen;
}

}  // namespace saver
