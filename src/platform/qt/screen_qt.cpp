#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "platform/desktop.h"
#include "platform/screen.h"

namespace saver {

namespace {

class QtScreen final : public IScreen {
 public:
  int32_t Width() const override { return Geometry().width(); }
  int32_t Height() const override { return Geometry().height(); }

  void CaptureDesktop(TBitmap32& canvas) override {
    EnsureGuiApplication();
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect g = screen->geometry();
    const QImage image =
        screen->grabWindow(0, 0, 0, g.width(), g.height()).toImage().convertToFormat(
            QImage::Format_ARGB32);
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
  static QRect Geometry() {
    EnsureGuiApplication();
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
  }
};

}  // namespace

IScreen& DesktopScreen() {
  static QtScreen screen;
  return screen;
}

}  // namespace saver
