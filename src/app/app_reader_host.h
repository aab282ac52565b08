#pragma once
// What the payload reader drives in the running player: the settings store,
// the application title, the screen-sized background and the real message box.
#include <string>

#include "payload/background.h"
#include "payload/reader.h"
#include "platform/desktop.h"

namespace saver {

class AppReaderHost final : public IReaderHost {
 public:
  void ReadSettings(PayloadData& data) override;
  void SetApplicationTitle(const std::string& title) override;
  void PaintBackground(PayloadData& data) override;
  void LoadBackgroundPicture(PayloadData& data) override;
  void ClearBackgroundPicture() override;
  IMessageBox* MessageBox() override { return &DesktopMessageBox(); }
  void RequestTerminate() override { terminated_ = true; }

  bool Terminated() const { return terminated_; }
  const TBackground& Background() const { return background_; }

 private:
  TBackground background_;
  bool terminated_ = false;
};

}  // namespace saver
