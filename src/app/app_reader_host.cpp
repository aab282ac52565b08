#include "app/app_reader_host.h"

#include <QApplication>
#include <QString>

#include "payload/back_picture.h"
#include "payload/picture_decoder.h"
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

void AppReaderHost::LoadBackgroundPicture(PayloadData& data) {
  std::string file = ExtractBackgroundPicture(data);
  background_.Picture = DecodePictureFile(file, data.Trailer.BackPictureExt);
  DrawBackPicture(background_.Bitmap, background_.Bitmap.Width(), background_.Bitmap.Height(),
                  data.Trailer.BackPictureMode, *background_.Picture);
}

void AppReaderHost::ClearBackgroundPicture() { background_.Picture.reset(); }

}  // namespace saver
