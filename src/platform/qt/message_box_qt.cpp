#include <QMessageBox>
#include <QString>

#include "platform/desktop.h"
#include "platform/message_box.h"

namespace saver {

namespace {

class QtMessageBox final : public IMessageBox {
 public:
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override;
};

void QtMessageBox::Show(const std::string& text, const std::string& caption, MessageIcon icon) {
  QMessageBox::Icon qtIcon = QMessageBox::Critical;
  if (icon == MessageIcon::Information) qtIcon = QMessageBox::Information;
  if (icon == MessageIcon::Warning) qtIcon = QMessageBox::Warning;
  // Texts use CR LF line breaks; Qt lays out plain LF.
  QString body = QString::fromUtf8(text.data(), qsizetype(text.size()));
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(qtIcon, QString::fromUtf8(caption.data(), qsizetype(caption.size())), body,
                  QMessageBox::Ok);
  box.exec();
}

}  // namespace

IMessageBox& DesktopMessageBox() {
  static QtMessageBox box;
  return box;
}

}  // namespace saver
