#include "app/app_reader_host.h"

#include <QApplication>
#include <QString>

#include "platform/cp1252.h"
#include "platform/screen.h"
#include "settings/settings_store.h"

namespace saver {

void AppReaderHost::ReadSettings(PayloadData& data) { saver::ReadSettings(data); }

void AppReaderHost::SetApplicationTitle(const std::string& title) {
  IReaderHost::SetApplicationTitle(title);
  QApplication::setApplicationDisplayName(QString::fromStdString(Cp1252ToUtf8(title)));
}

void AppReaderHost::PaintBackground(PayloadData& data) {
  background_.Picture.reset();
  background_.Paint(data.Trailer, Screen().Width(), Screen().Height());
}

void AppReaderHost::LoadBackgroundPicture(PayloadData& data) { background_.LoadPicture(data); }

void AppReaderHost::ClearBackgroundPicture() { background_.Picture.reset(); }

}  // namespace saver
