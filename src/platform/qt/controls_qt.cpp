// Controls on the windows: panels and picture controls (dialog controls are
// in dialog_qt.cpp).
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <cstring>

#include "platform/qt/qt_backend.h"

namespace saver::qt {

QtPanel::QtPanel(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::Panel, parent) {
  // Picture controls on X11 have native windows, and a control drawn into
  // the window itself would lie beneath them whatever its order: on X11
  // panels and pictures have native windows, and the server keeps their order.
  if (window.System().X11()) setAttribute(Qt::WA_NativeWindow);
  // Opaque, in the window's colour, like the window beneath.
  setAutoFillBackground(true);
}

void QtPanel::SetBevel(TBevel bevel) {
  bevel_ = bevel;
  update();
}

void QtPanel::paintEvent(QPaintEvent*) {
  if (bevel_ != TBevel::Lowered) return;
  QPainter painter(this);
  const QRect r = rect();
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawLine(r.topLeft(), r.topRight());
  painter.drawLine(r.topLeft(), r.bottomLeft());
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(r.bottomLeft(), r.bottomRight());
  painter.drawLine(r.topRight(), r.bottomRight());
}

void QtPanel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Clicked();
}

QtPicture::QtPicture(QtWindow& window, std::string name, IControl* parent)
    : QtControl(window, std::move(name), TControlKind::Picture, parent), surface_(*this) {
  if (window.System().X11()) setAttribute(Qt::WA_NativeWindow);
  // The image covers the whole control: nothing beneath needs painting first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  if (x11::Connection* x = window.System().X11(); x && surface_.UseShared(*x)) {
    // A native window of its own that Qt leaves alone: the X server fills
    // it from the shared image.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
  }
}

QPaintEngine* QtPicture::paintEngine() const {
  return surface_.Shared() ? nullptr : QWidget::paintEngine();
}

void QtPicture::BoundsChanged() {
  surface_.Resize(Bounds().Width(), Bounds().Height());
  update();
}

void QtPicture::Repaint() {
  surface_.CopyIn(buffer_);
  surface_.Invalidate();
}

void QtPicture::paintEvent(QPaintEvent* event) {
  const qreal ratio = Ratio();
  if (surface_.Shared()) {
    for (const QRect& r : event->region()) surface_.Expose(ScaleToDevice(r, ratio));
    return;
  }
  const QImage& image = surface_.Image();
  QPainter painter(this);
  for (const QRect& r : event->region()) {
    // Device pixels of the image under r, drawn 1:1 (the image carries the
    // ratio); both are RGB32, so the raster engine copies rows.
    const TRect device =
        IntersectRect(ScaleToDevice(r, ratio), TRect{0, 0, image.width(), image.height()});
    if (!device.IsEmpty()) {
      const QRectF source(device.Left, device.Top, device.Width(), device.Height());
      const QRectF target(device.Left / ratio, device.Top / ratio, device.Width() / ratio,
                          device.Height() / ratio);
      painter.drawImage(target, image, source);
    }
    // A control larger than its image (rounding at fractional ratios) shows its colour there.
    const QRegion rest = QRegion(r) - QRegion(QRect(0, 0, int(image.width() / ratio),
                                                     int(image.height() / ratio)));
    for (const QRect& e : rest) painter.fillRect(e, QColor::fromRgb(color_));
  }
}

void QtPicture::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Clicked();
}

bool PictureSurface::UseShared(x11::Connection& connection) {
  // A trial image tells whether the server shares memory with us at all.
  if (!x11::SharedImage::Create(connection, 1, 1)) return false;
  connection_ = &connection;
  return true;
}

void PictureSurface::Resize(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  // The new image keeps what the old one showed where they overlap.
  TBitmap32 resized(width, height);
  resized.Clear(0xFF000000u);
  CopyTo(resized, IntersectRect(BoundsRect(), resized.BoundsRect()));
  dirty_ = TRect{};
  if (connection_) {
    shared_.reset();
    spare_.reset();
    width_ = width;
    height_ = height;
    if (width == 0 || height == 0) return;  // nothing to show
    shared_ = x11::SharedImage::Create(*connection_, width, height);
    if (shared_) {
      WriteRows(resized, resized.BoundsRect(), TPoint{0, 0});
      return;
    }
    // Sharing failed for this size: the bitmap store, painted by Qt, from now on.
    connection_ = nullptr;
    owner_.setAttribute(Qt::WA_PaintOnScreen, false);
  }
  shown_ = std::move(resized);
  width_ = width;
  height_ = height;
  // Format_RGB32 reads the same 0xAARRGGBB words and ignores alpha: the
  // paint is a plain copy.
  image_ = shown_.Empty() ? QImage()
                          : QImage(reinterpret_cast<uchar*>(shown_.Bits()), width, height,
                                   qsizetype(width) * 4, QImage::Format_RGB32);
  image_.setDevicePixelRatio(owner_.window()->devicePixelRatioF());
}

void PictureSurface::WriteRows(const TBitmap32& src, const TRect& srcRect, TPoint dst) {
  const TRect from = IntersectRect(srcRect, src.BoundsRect());
  const TRect placed{dst.X + from.Left - srcRect.Left, dst.Y + from.Top - srcRect.Top,
                     dst.X + from.Right - srcRect.Left, dst.Y + from.Bottom - srcRect.Top};
  const TRect to = IntersectRect(placed, BoundsRect());
  if (to.IsEmpty()) return;
  const int32_t sx = from.Left + (to.Left - placed.Left), sy = from.Top + (to.Top - placed.Top);
  for (int32_t y = 0; y < to.Height(); ++y)
    std::memcpy(shared_->Row(to.Top + y) + to.Left, src.ScanLine(sy + y) + sx,
                size_t(to.Width()) * sizeof(TColor32));
}

void PictureSurface::StretchFrom(const TBitmap32& src, const TRect& srcRect,
                                 const TRect& dstRect) {
  const TRect target = IntersectRect(dstRect, BoundsRect());
  if (!shared_) {
    src.DrawTo(shown_, dstRect, srcRect);
    Mark(target);
    return;
  }
  if (target.IsEmpty()) return;
  const bool plainCopy = src.DrawMode == TDrawMode::Opaque && src.MasterAlpha == 255 &&
                         srcRect.Width() == dstRect.Width() &&
                         srcRect.Height() == dstRect.Height() &&
                         IntersectRect(srcRect, src.BoundsRect()) == srcRect;
  if (plainCopy && target == BoundsRect() && shared_->Busy()) {
    // A whole new frame while the server still copies the last one: it
    // goes into the other image, which then is the one shown.
    if (!spare_) spare_ = x11::SharedImage::Create(*connection_, width_, height_);
    if (spare_) {
      spare_->WaitIdle();
      std::swap(shared_, spare_);
    }
  }
  // The server may still be reading what was put last.
  shared_->WaitIdle();
  if (plainCopy) {
    // A frame of a transition: rows straight into the shared image.
    WriteRows(src, srcRect, TPoint{dstRect.Left, dstRect.Top});
  } else {
    // Stretching or blending: drawn by the bitmap code onto what is there.
    TBitmap32 work(target.Width(), target.Height());
    for (int32_t y = 0; y < target.Height(); ++y)
      std::memcpy(work.ScanLine(y), shared_->Row(target.Top + y) + target.Left,
                  size_t(target.Width()) * sizeof(TColor32));
    src.DrawTo(work,
               TRect{dstRect.Left - target.Left, dstRect.Top - target.Top,
                     dstRect.Right - target.Left, dstRect.Bottom - target.Top},
               srcRect);
    WriteRows(work, work.BoundsRect(), TPoint{target.Left, target.Top});
  }
  Mark(target);
}

void PictureSurface::CopyIn(const TBitmap32& src) {
  if (shared_) {
    shared_->WaitIdle();
    WriteRows(src, src.BoundsRect(), TPoint{0, 0});
  } else {
    shown_.CopyRect(src, src.BoundsRect(), TPoint{0, 0});
  }
  Mark(IntersectRect(src.BoundsRect(), BoundsRect()));
}

void PictureSurface::CopyTo(TBitmap32& dst, const TRect& rect) const {
  if (!shared_) {
    shown_.DrawTo(dst, rect, rect);
    return;
  }
  const TRect r = IntersectRect(IntersectRect(rect, BoundsRect()), dst.BoundsRect());
  for (int32_t y = r.Top; y < r.Bottom; ++y)
    std::memcpy(dst.ScanLine(y) + r.Left, shared_->Row(y) + r.Left,
                size_t(r.Width()) * sizeof(TColor32));
}

void PictureSurface::Mark(const TRect& rect) {
  if (rect.IsEmpty()) return;
  dirty_ = dirty_.IsEmpty()
               ? rect
               : TRect{std::min(dirty_.Left, rect.Left), std::min(dirty_.Top, rect.Top),
                       std::max(dirty_.Right, rect.Right), std::max(dirty_.Bottom, rect.Bottom)};
  if (!flushQueued_) {
    // What nobody invalidates still reaches the screen at the loop's next turn.
    flushQueued_ = true;
    QMetaObject::invokeMethod(
        &owner_,
        [this] {
          flushQueued_ = false;
          Invalidate();
        },
        Qt::QueuedConnection);
  }
}

void PictureSurface::Expose(const TRect& r) {
  if (shared_ && owner_.internalWinId()) shared_->Put(TWindowHandle(owner_.internalWinId()), r);
}

void PictureSurface::Invalidate() {
  if (dirty_.IsEmpty()) return;
  const TRect dirty = dirty_;
  dirty_ = TRect{};
  // Only a control on screen paints; a hidden one paints everything when shown.
  if (!owner_.isVisible()) return;
  if (Shared()) {
    Expose(dirty);
    return;
  }
  const qreal ratio = owner_.window()->devicePixelRatioF();
  if (image_.devicePixelRatio() != ratio) {
    // The window moved to a screen of another ratio.
    image_.setDevicePixelRatio(ratio);
    owner_.repaint();
    return;
  }
  owner_.repaint(ScaleToLogical(dirty, ratio));
}

}  // namespace saver::qt
