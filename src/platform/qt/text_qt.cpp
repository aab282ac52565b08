#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>

#include <cmath>

#include "platform/desktop.h"
#include "platform/text.h"

namespace saver {

namespace {

QFont ToQFont(const TFontInfo& info) {
  QFont font(QString::fromUtf8(info.Name.c_str()));
  // Points at 96 pixels per inch, independent of the screen's reported density.
  font.setPixelSize(std::max(1, int(std::lround(info.Size * 96.0 / 72.0))));
  font.setBold(info.Bold);
  font.setItalic(info.Italic);
  font.setUnderline(info.Underline);
  font.setStrikeOut(info.StrikeOut);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

// Qt breaks lines at "\n" only.
QString ToQText(const std::string& text) {
  const auto lines = SplitLines(text);
  QString out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += QChar('\n');
    out += QString::fromUtf8(lines[i].c_str());
  }
  return out;
}

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip;

class QtTextRenderer final : public ITextRenderer {
 public:
  TTextSize Measure(const std::string& text, const TFontInfo& font) override {
    EnsureGuiApplication();
    const QFontMetrics metrics(ToQFont(font));
    const QRect r = metrics.boundingRect(QRect(0, 0, 0, 0), kTextFlags, ToQText(text));
    return TTextSize{r.width(), r.height()};
  }

  void Draw(TBitmap32& target, int32_t x, int32_t y, const std::string& text,
            const TFontInfo& font, TColor32 color) override {
    if (target.Empty()) return;
    EnsureGuiApplication();
    // Format_ARGB32 is 0xAARRGGBB in native words: the bitmap's own layout.
    QImage image(reinterpret_cast<uchar*>(target.Bits()), target.Width(), target.Height(),
                 target.Width() * 4, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(ToQFont(font));
    painter.setPen(QColor::fromRgba(color));
    const QFontMetrics metrics(painter.font());
    const QString qtext = ToQText(text);
    const QRect box = metrics.boundingRect(QRect(0, 0, 0, 0), kTextFlags, qtext);
    painter.drawText(QRect(x, y, box.width(), box.height()), kTextFlags, qtext);
  }
};

}  // namespace

ITextRenderer& DesktopTextRenderer() {
  static QtTextRenderer renderer;
  return renderer;
}

}  // namespace saver
