// The media player over libmpv. One mpv handle per player, made at the first
// Open and destroyed with the player. Every call into mpv happens on the UI
// thread: the players are used there, and mpv's wakeup callback only posts
// the reading of its events to it.
#include <mpv/client.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/media_player.h"
#include "platform/mpv/mpv_options.h"
#include "platform/ui_thread.h"

namespace saver {

namespace {

// How long Open waits for mpv to load a file (or to say it cannot).
constexpr std::chrono::seconds kOpenTimeout{5};

class MpvMediaPlayer;

// What the wakeup callback and the functions it posts share with a player;
// it outlives the player, which clears `player` when it goes.
struct Link {
  MpvMediaPlayer* player = nullptr;
  std::atomic<bool> posted{false};  // a drain is queued and has not started
  std::weak_ptr<Link> self;
};

class MpvMediaPlayer final : public IMediaPlayer {
 public:
  MpvMediaPlayer() : link_(std::make_shared<Link>()) {
    link_->player = this;
    link_->self = link_;
  }

  ~MpvMediaPlayer() override {
    link_->player = nullptr;
    if (h_) {
      // Once this returns mpv calls back no more; the core's threads end in
      // mpv_terminate_destroy.
      mpv_set_wakeup_callback(h_, nullptr, nullptr);
      mpv_terminate_destroy(h_);
    }
  }

  MpvMediaPlayer(const MpvMediaPlayer&) = delete;
  MpvMediaPlayer& operator=(const MpvMediaPlayer&) = delete;

  void SetFileName(const std::string& path) override { file_ = path; }
  std::string FileName() const override { return file_; }

  void Open() override {
    if (file_.empty()) throw MediaError("no media file to open");
    Handle();
    // Whatever was open is superseded from here on, even if this fails.
    state_ = State::Closed;
    entry_ = 0;
    natural_ = {};
    Load(true);
    WaitLoaded();
    state_ = State::Paused;
    natural_ = ReadNaturalRect();
  }

  void Close() override {
    if (h_ && state_ != State::Closed) {
      const char* args[] = {"stop", nullptr};
      mpv_command(h_, args);
    }
    state_ = State::Closed;
    entry_ = 0;
    natural_ = {};
  }

  void Play() override {
    switch (state_) {
      case State::Closed:
        throw MediaError("no media file is open");
      case State::Ended:
        // Plays the file again from its start; a failure now is reported
        // like any failed playback.
        Load(false);
        break;
      case State::Paused:
      case State::Playing:
        SetString("pause", "no");
        break;
    }
    state_ = State::Playing;
  }

  void SetNotify(bool notify) override { notify_ = notify; }
  bool Notify() const override { return notify_; }

  void SetDisplay(TWindowHandle window) override {
    display_ = window;
    if (h_) ApplyDisplay();
  }
  // The display window is the panel itself and mpv fills all of it: there
  // is nothing to place within it.
  void SetDisplayRect(const TRect&) override {}
  TRect NaturalRect() const override { return natural_; }

 private:
  enum class State { Closed, Paused, Playing, Ended };

  static void Wakeup(void* context) {
    // Runs on one of mpv's threads with mpv's locks held: only queue work.
    Link* link = static_cast<Link*>(context);
    if (link->posted.exchange(true)) return;
    UiThread().Post([weak = link->self] {
      std::shared_ptr<Link> link = weak.lock();
      if (!link) return;
      link->posted = false;
      if (link->player) link->player->Drain(link);
    });
  }

  // Makes the handle at first use, under the numeric locale mpv insists on.
  void Handle() {
    if (h_) return;
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    if (!numeric || std::strcmp(numeric, "C") != 0) std::setlocale(LC_NUMERIC, "C");
    mpv_handle* h = mpv_create();
    if (!h) throw MediaError("the media library cannot start");
    TMpvOptions options = DefaultMpvOptions();
    if (const char* extra = std::getenv("SAVER_MPV_OPTIONS")) {
      for (auto& option : ParseMpvOptions(extra)) options.push_back(std::move(option));
    }
    for (const auto& [name, value] : options) {
      // The video outputs are chosen with the display (none without one).
      if (name == "vo") {
        vo_ = value;
        continue;
      }
      const int error = mpv_set_option_string(h, name.c_str(), value.c_str());
      if (error < 0) {
        std::fprintf(stderr, "saver: media option %s=%s: %s\n", name.c_str(), value.c_str(),
                     mpv_error_string(error));
      }
    }
    const int error = mpv_initialize(h);
    if (error < 0) {
      mpv_terminate_destroy(h);
      throw MediaError(std::string("the media library cannot start: ") + mpv_error_string(error));
    }
    h_ = h;
    applied_ = false;
    ApplyDisplay();
    mpv_set_wakeup_callback(h_, &MpvMediaPlayer::Wakeup, link_.get());
  }

  // Points the video at the display window, or at no output without one
  // (so that a video opened for its sound opens no window of its own).
  void ApplyDisplay() {
    const std::string vo = display_ ? vo_ : "null";
    // -1 is mpv's "no window"; 0 would mean the root window.
    const int64_t wid = display_ ? static_cast<int64_t>(display_) : -1;
    const bool widChanged = !applied_ || wid != appliedWid_;
    const bool voChanged = !applied_ || vo != appliedVo_;
    if (widChanged) {
      int64_t value = wid;
      const int error = mpv_set_property(h_, "wid", MPV_FORMAT_INT64, &value);
      if (error < 0) {
        std::fprintf(stderr, "saver: media window %lld: %s\n", static_cast<long long>(wid),
                     mpv_error_string(error));
      }
    }
    if (voChanged) {
      // A new output list re-creates the video output, in the new window.
      SetString("vo", vo);
    } else if (widChanged && state_ != State::Closed) {
      // Same outputs, other window: reselecting the video track re-creates
      // the output there.
      if (char* vid = mpv_get_property_string(h_, "vid")) {
        const std::string track = vid;
        mpv_free(vid);
        if (track != "no") {
          SetString("vid", "no");
          SetString("vid", track);
        }
      }
    }
    applied_ = true;
    appliedWid_ = wid;
    appliedVo_ = vo;
  }

  // Starts loading FileName in place of anything else and remembers its
  // playlist entry: events of older entries are not this file's.
  void Load(bool paused) {
    SetString("pause", paused ? "yes" : "no");
    const char* args[] = {"loadfile", file_.c_str(), "replace", nullptr};
    mpv_node result{};
    const int error = mpv_command_ret(h_, args, &result);
    if (error < 0) throw MediaError(file_ + ": " + mpv_error_string(error));
    entry_ = -1;
    if (result.format == MPV_FORMAT_NODE_MAP) {
      const mpv_node_list* map = result.u.list;
      for (int i = 0; i < map->num; ++i) {
        if (std::strcmp(map->keys[i], "playlist_entry_id") == 0 &&
            map->values[i].format == MPV_FORMAT_INT64) {
          entry_ = map->values[i].u.int64;
        }
      }
    }
    mpv_free_node_contents(&result);
    started_ = 0;
  }

  // Reads mpv's events here, on the calling thread, until the file loaded
  // or failed. Events of superseded files are dropped as the drain would.
  void WaitLoaded() {
    const auto deadline = std::chrono::steady_clock::now() + kOpenTimeout;
    for (;;) {
      const std::chrono::duration<double> left = deadline - std::chrono::steady_clock::now();
      if (left.count() <= 0) {
        Close();
        throw MediaError(file_ + ": the media library did not load it in time");
      }
      const mpv_event* e = mpv_wait_event(h_, left.count());
      switch (e->event_id) {
        case MPV_EVENT_START_FILE:
          started_ = static_cast<const mpv_event_start_file*>(e->data)->playlist_entry_id;
          break;
        case MPV_EVENT_FILE_LOADED:
          if (started_ == entry_) return;
          break;
        case MPV_EVENT_END_FILE: {
          const auto* end = static_cast<const mpv_event_end_file*>(e->data);
          if (end->playlist_entry_id != entry_) break;
          state_ = State::Closed;
          entry_ = 0;
          throw MediaError(file_ + ": " +
                           (end->reason == MPV_END_FILE_REASON_ERROR
                                ? mpv_error_string(end->error)
                                : "the media library stopped loading it"));
        }
        default:
          break;
      }
    }
  }

  // Reads what mpv has queued; ends of playback are reported here. OnNotify
  // may close, reopen or destroy this player.
  void Drain(const std::shared_ptr<Link>& link) {
    while (link->player) {
      const mpv_event* e = mpv_wait_event(h_, 0);
      if (e->event_id == MPV_EVENT_NONE) return;
      if (e->event_id == MPV_EVENT_END_FILE) {
        Ended(*static_cast<const mpv_event_end_file*>(e->data));
      }
    }
  }

  void Ended(const mpv_event_end_file& end) {
    if (entry_ <= 0 || end.playlist_entry_id != entry_) return;  // closed or superseded
    if (end.reason != MPV_END_FILE_REASON_EOF && end.reason != MPV_END_FILE_REASON_ERROR) return;
    state_ = State::Ended;
    if (!notify_ || !OnNotify) return;
    // A copy: the handler may replace OnNotify or destroy the player.
    const auto notify = OnNotify;
    notify(end.reason == MPV_END_FILE_REASON_EOF);
  }

  TRect ReadNaturalRect() const {
    int64_t width = 0, height = 0;
    if (mpv_get_property(h_, "width", MPV_FORMAT_INT64, &width) < 0 ||
        mpv_get_property(h_, "height", MPV_FORMAT_INT64, &height) < 0 || width <= 0 ||
        height <= 0) {
      return {};
    }
    return TRect{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
  }

  void SetString(const char* name, const std::string& value) {
    const int error = mpv_set_property_string(h_, name, value.c_str());
    if (error < 0) {
      std::fprintf(stderr, "saver: media property %s=%s: %s\n", name, value.c_str(),
                   mpv_error_string(error));
    }
  }

  std::shared_ptr<Link> link_;
  mpv_handle* h_ = nullptr;
  std::string file_;
  bool notify_ = false;
  State state_ = State::Closed;
  int64_t entry_ = 0;    // playlist entry of the open file; 0: none
  int64_t started_ = 0;  // entry of the last start seen while opening

  TWindowHandle display_ = 0;
  TRect natural_;
  std::string vo_;        // video outputs to use with a display
  bool applied_ = false;  // whether wid and vo were given to mpv
  int64_t appliedWid_ = -1;
  std::string appliedVo_;
};

}  // namespace

void UseMpvMediaPlayer() {
  SetMediaPlayerFactory([] { return std::make_unique<MpvMediaPlayer>(); });
}

}  // namespace saver
