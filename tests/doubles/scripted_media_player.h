#pragma once
// Test double of the media player: it plays nothing, records what it was
// told, and ends playback when the test says so (Finish). Of a file it knows
// only what the test says: a file that is not there, or is named in
// unplayable, cannot play; one named in videos holds a video of that size.
// Like the real player it loads a file at Open only with a display set: only
// then does it know the video's size, or say at once that the file cannot
// play. Without a display a file that cannot play fails later, reported on
// the UI thread.
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/media_player.h"
#include "platform/ui_thread.h"

namespace saver {

class ScriptedMediaPlayer final : public IMediaPlayer {
 public:
  void SetFileName(const std::string& path) override { file_ = path; }
  std::string FileName() const override { return file_; }
  void Open() override {
    log.push_back("Open " + file_);
    if (file_.empty()) throw MediaError("no media file to open");
    Close(false);
    const bool playable = !unplayable.count(file_) && std::filesystem::is_regular_file(file_);
    if (display) {
      if (!playable) throw MediaError(file_ + ": cannot be played");
      if (auto v = videos.find(file_); v != videos.end()) natural_ = v->second;
    } else if (!playable) {
      FailLater();
    }
    open_ = true;
  }
  void Close() override { Close(true); }
  void Play() override {
    if (!open_) throw MediaError("nothing is open");
    log.push_back("Play " + file_);
    playing_ = true;
  }
  void SetNotify(bool notify) override { notify_ = notify; }
  bool Notify() const override { return notify_; }
  void SetDisplay(TWindowHandle window) override { display = window; }
  void SetDisplayRect(const TRect& rect) override { displayRect = rect; }
  TRect NaturalRect() const override { return natural_; }

  // Ends what is playing as the real player would: reported when notify is on.
  void Finish(bool success = true) {
    if (!playing_) return;
    playing_ = false;
    if (notify_ && OnNotify) OnNotify(success);
  }
  bool Playing() const { return playing_; }

  std::vector<std::string> log;           // "Open F", "Play F", "Close"
  std::set<std::string> unplayable;       // files that cannot play
  std::map<std::string, TRect> videos;    // files holding a video: its natural size
  TWindowHandle display = 0;
  TRect displayRect;

 private:
  void Close(bool logged) {
    if (logged) log.push_back("Close");
    open_ = playing_ = false;
    natural_ = {};
    ++opened_;  // a failure still to come belongs to what was open
  }

  // The file fails once the UI thread gets to it, unless it was closed or
  // replaced (or the player destroyed) by then.
  void FailLater() {
    UiThread().Post([alive = std::weak_ptr<int>(alive_), this, opened = opened_] {
      if (alive.expired() || opened != opened_) return;
      open_ = playing_ = false;
      if (notify_ && OnNotify) {
        const auto notify = OnNotify;  // the handler may replace it
        notify(false);
      }
    });
  }

  std::string file_;
  bool notify_ = false, open_ = false, playing_ = false;
  TRect natural_;
  int opened_ = 0;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace saver
