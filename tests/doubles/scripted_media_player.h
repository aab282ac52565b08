#pragma once
// Test double of the media player: it plays nothing, records what it was
// told, and ends playback when the test says so (Finish).
#include <set>
#include <string>
#include <vector>

#include "platform/media_player.h"

namespace saver {

class ScriptedMediaPlayer final : public IMediaPlayer {
 public:
  void SetFileName(const std::string& path) override { file_ = path; }
  std::string FileName() const override { return file_; }
  void Open() override {
    log.push_back("Open " + file_);
    if (unplayable.count(file_) || file_.empty()) throw MediaError("cannot open " + file_);
    open_ = true;
    playing_ = false;
  }
  void Close() override {
    log.push_back("Close");
    open_ = playing_ = false;
  }
  void Play() override {
    if (!open_) throw MediaError("nothing is open");
    log.push_back("Play " + file_);
    playing_ = true;
  }
  void SetNotify(bool notify) override { notify_ = notify; }
  bool Notify() const override { return notify_; }
  void SetDisplay(TWindowHandle window) override { display = window; }
  void SetDisplayRect(const TRect& rect) override { displayRect = rect; }
  TRect NaturalRect() const override { return natural; }

  // Ends what is playing as the real player would: reported when notify is on.
  void Finish(bool success = true) {
    if (!playing_) return;
    playing_ = false;
    if (notify_ && OnNotify) OnNotify(success);
  }
  bool Playing() const { return playing_; }

  std::vector<std::string> log;      // "Open F", "Play F", "Close"
  std::set<std::string> unplayable;  // files whose Open fails
  TRect natural;                     // what NaturalRect reports
  TWindowHandle display = 0;
  TRect displayRect;

 private:
  std::string file_;
  bool notify_ = false, open_ = false, playing_ = false;
};

}  // namespace saver
