// The media player over libmpv. One mpv handle per player, started on a
// thread of its own when the player is made and destroyed with the player. Every call into mpv happens on the UI
// thread: the players are used there, and mpv's wakeup callback only posts
// the reading of its events to it.
#include <mpv/client.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/media_player.h"
#include "platform/mpv/mpv_library.h"
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

// What starting a handle gives: the handle, or why there is none.
struct Started {
  mpv_handle* h = nullptr;
  std::string vo;  // the video outputs to use with a display
  std::string ao;  // the sound outputs asked for ("" for the library's own list)
  std::string error;
};

// Makes a handle with the saver's options; may run on a thread of its own.
Started StartHandle() {
  Started s;
  const TMpvLibrary* api = MpvLibrary();
  if (!api) {
    s.error = "the media library (libmpv) is not installed";
    return s;
  }
  mpv_handle* h = api->create();
  if (!h) {
    s.error = "the media library cannot start";
    return s;
  }
  TMpvOptions options = DefaultMpvOptions();
  if (const char* extra = std::getenv("SAVER_MPV_OPTIONS")) {
    for (auto& option : ParseMpvOptions(extra)) options.push_back(std::move(option));
  }
  for (const auto& [name, value] : options) {
    // The video outputs are chosen with the display (none without one).
    if (name == "vo") {
      s.vo = value;
      continue;
    }
    if (name == "ao") s.ao = value;
    const int error = api->set_option_string(h, name.c_str(), value.c_str());
    if (error < 0) {
      std::fprintf(stderr, "saver: media option %s=%s: %s\n", name.c_str(), value.c_str(),
                   api->error_string(error));
    }
  }
  const int error = api->initialize(h);
  if (error < 0) {
    s.error = std::string("the media library cannot start: ") + api->error_string(error);
    api->terminate_destroy(h);
    return s;
  }
  s.h = h;
  return s;
}

// mpv refuses other numeric locales. The locale belongs to the process, so
// it is set on the UI thread before any handle starts.
void UseCLocale() {
  const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
  if (!numeric || std::strcmp(numeric, "C") != 0) std::setlocale(LC_NUMERIC, "C");
}

// The first player's handle starts on a thread made with the process, which
// also loads the library, so both are ready soon after the first track
// opens. (Made in a player's constructor instead, its thread could only start
// once the library had loaded: making a thread waits for the loader's lock.)
std::mutex g_spareMutex;
std::future<Started> g_spare;
std::weak_ptr<Link> g_spareTaker;  // the player waiting for it

// Loading the library and its dependencies takes a core for a fifth of a
// second, and the loader's lock with it, which every new thread and plugin of
// the program waits for. So the thread waits until the program has shown
// what it shows first (StartMediaLibrary), a player needs its handle now, or
// kLoadGateTimeout has passed; at the exit it gives up instead.
constexpr std::chrono::seconds kLoadGateTimeout{2};
std::mutex g_gateMutex;
std::condition_variable g_gateChanged;
enum class Gate { Closed, Open, Abandoned } g_gate = Gate::Closed;

void SetGate(Gate gate) {
  {
    std::lock_guard<std::mutex> lock(g_gateMutex);
    if (g_gate != Gate::Closed) return;
    g_gate = gate;
  }
  g_gateChanged.notify_all();
}

// Whether the library may load: false once the program is ending.
bool PassGate() {
  std::unique_lock<std::mutex> lock(g_gateMutex);
  g_gateChanged.wait_for(lock, kLoadGateTimeout, [] { return g_gate != Gate::Closed; });
  return g_gate != Gate::Abandoned;
}

// Destroyed before g_spare, whose destructor waits for the thread.
struct AbandonGateAtExit {
  ~AbandonGateAtExit() { SetGate(Gate::Abandoned); }
} g_abandonGateAtExit;

std::future<Started> TakeSpareHandle(const std::shared_ptr<Link>& taker) {
  std::lock_guard<std::mutex> lock(g_spareMutex);
  if (g_spare.valid()) g_spareTaker = taker;
  return std::move(g_spare);
}

// Tells the player that took the spare handle that it is ready.
void SpareHandleReady();

class MpvMediaPlayer final : public IMediaPlayer {
 public:
  MpvMediaPlayer() : link_(std::make_shared<Link>()) {
    link_->player = this;
    link_->self = link_;
    starting_ = TakeSpareHandle(link_);
  }

  ~MpvMediaPlayer() override {
    link_->player = nullptr;
    if (starting_.valid()) {
      const Started s = starting_.get();
      if (s.h) MpvLibrary()->terminate_destroy(s.h);
    }
    if (h_) {
      // Once this returns mpv calls back no more; the core's threads end in
      // mpv_terminate_destroy.
      api_->set_wakeup_callback(h_, nullptr, nullptr);
      api_->terminate_destroy(h_);
    }
  }

  MpvMediaPlayer(const MpvMediaPlayer&) = delete;
  MpvMediaPlayer& operator=(const MpvMediaPlayer&) = delete;

  void SetFileName(const std::string& path) override { file_ = path; }
  std::string FileName() const override { return file_; }

  void Open() override {
    if (file_.empty()) throw MediaError("no media file to open");
    UseCLocale();
    // Whatever was open is superseded from here on, even if this fails.
    state_ = State::Closed;
    entry_ = 0;
    natural_ = {};
    pending_ = Pending::None;
    if (!display_) {
      // Sound loads in the background: the caller never waits for it.
      if (!Ready()) {
        pending_ = Pending::Open;
      } else {
        Load(true);
      }
      state_ = State::Paused;
      return;
    }
    Handle();
    Load(true);
    WaitLoaded();
    state_ = State::Paused;
    natural_ = ReadNaturalRect();
  }

  // The spare handle this player took is ready: what was asked of it meanwhile starts now.
  void SpareReady() {
    const Pending pending = std::exchange(pending_, Pending::None);
    if (pending == Pending::None) return;
    try {
      Handle();
      Load(pending == Pending::Open);
    } catch (const MediaError&) {
      state_ = State::Closed;
      if (notify_ && OnNotify) {
        const auto notify = OnNotify;
        notify(false);
      }
    }
  }

  void Close() override {
    pending_ = Pending::None;
    if (h_ && state_ != State::Closed) {
      const char* args[] = {"stop", nullptr};
      api_->command(h_, args);
    }
    state_ = State::Closed;
    entry_ = 0;
    natural_ = {};
  }

  void Play() override {
    if (pending_ == Pending::Open) {
      pending_ = Pending::Play;
      state_ = State::Playing;
      return;
    }
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
  // What was asked while the spare handle was still starting.
  enum class Pending { None, Open, Play };

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

  // Whether the handle can be had without waiting (made now when there is no spare).
  bool Ready() {
    if (!h_ && starting_.valid() &&
        starting_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
      return false;
    Handle();
    return true;
  }

  // The handle: the spare one once its thread is done, or one made now.
  void Handle() {
    if (h_) return;
    if (!startError_.empty()) throw MediaError(startError_);
    UseCLocale();
    if (starting_.valid()) SetGate(Gate::Open);  // waiting here for the gate would stall
    Started s = starting_.valid() ? starting_.get() : StartHandle();
    if (!s.h) {
      startError_ = s.error;
      throw MediaError(startError_);
    }
    api_ = MpvLibrary();
    h_ = s.h;
    vo_ = s.vo;
    soundChecked_ = s.ao == "null";  // no sound was asked for
    applied_ = false;
    ApplyDisplay();
    api_->set_wakeup_callback(h_, &MpvMediaPlayer::Wakeup, link_.get());
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
      const int error = api_->set_property(h_, "wid", MPV_FORMAT_INT64, &value);
      if (error < 0) {
        std::fprintf(stderr, "saver: media window %lld: %s\n", static_cast<long long>(wid),
                     api_->error_string(error));
      }
    }
    if (voChanged) {
      // A new output list re-creates the video output, in the new window.
      SetString("vo", vo);
    } else if (widChanged && state_ != State::Closed) {
      // Same outputs, other window: reselecting the video track re-creates
      // the output there.
      if (char* vid = api_->get_property_string(h_, "vid")) {
        const std::string track = vid;
        api_->free(vid);
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
    const int error = api_->command_ret(h_, args, &result);
    if (error < 0) throw MediaError(file_ + ": " + api_->error_string(error));
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
    api_->free_node_contents(&result);
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
      const mpv_event* e = api_->wait_event(h_, left.count());
      switch (e->event_id) {
        case MPV_EVENT_START_FILE:
          started_ = static_cast<const mpv_event_start_file*>(e->data)->playlist_entry_id;
          break;
        case MPV_EVENT_FILE_LOADED:
          if (started_ == entry_) return;
          break;
        case MPV_EVENT_AUDIO_RECONFIG:
          CheckSoundOutput();
          break;
        case MPV_EVENT_END_FILE: {
          const auto* end = static_cast<const mpv_event_end_file*>(e->data);
          if (end->playlist_entry_id != entry_) break;
          state_ = State::Closed;
          entry_ = 0;
          throw MediaError(file_ + ": " +
                           (end->reason == MPV_END_FILE_REASON_ERROR
                                ? api_->error_string(end->error)
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
      const mpv_event* e = api_->wait_event(h_, 0);
      if (e->event_id == MPV_EVENT_NONE) return;
      if (e->event_id == MPV_EVENT_AUDIO_RECONFIG) CheckSoundOutput();
      if (e->event_id == MPV_EVENT_END_FILE) {
        Ended(*static_cast<const mpv_event_end_file*>(e->data));
      }
    }
  }

  void Ended(const mpv_event_end_file& end) {
    if (entry_ <= 0 || end.playlist_entry_id != entry_) return;  // closed or superseded
    if (end.reason == MPV_END_FILE_REASON_REDIRECT) {
      // A playlist or a folder, not a media file: what it names is not
      // played (an item must not send the player elsewhere).
      const char* args[] = {"stop", nullptr};
      api_->command(h_, args);
    } else if (end.reason != MPV_END_FILE_REASON_EOF && end.reason != MPV_END_FILE_REASON_ERROR) {
      return;
    }
    state_ = State::Ended;
    if (!notify_ || !OnNotify) return;
    // A copy: the handler may replace OnNotify or destroy the player.
    const auto notify = OnNotify;
    notify(end.reason == MPV_END_FILE_REASON_EOF);
  }

  // The library falls back to no sound output when it finds no device:
  // said once, and not looked for again with every track.
  void CheckSoundOutput() {
    if (soundChecked_) return;
    char* current = api_->get_property_string(h_, "current-ao");
    if (!current) return;  // no sound output yet
    const bool none = std::strcmp(current, "null") == 0;
    api_->free(current);
    soundChecked_ = true;
    if (!none) return;
    SetString("ao", "null");
    MediaNotice("no sound device: music and videos play without sound");
  }

  TRect ReadNaturalRect() const {
    int64_t width = 0, height = 0;
    if (api_->get_property(h_, "width", MPV_FORMAT_INT64, &width) < 0 ||
        api_->get_property(h_, "height", MPV_FORMAT_INT64, &height) < 0 || width <= 0 ||
        height <= 0) {
      return {};
    }
    return TRect{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
  }

  void SetString(const char* name, const std::string& value) {
    const int error = api_->set_property_string(h_, name, value.c_str());
    if (error < 0) {
      std::fprintf(stderr, "saver: media property %s=%s: %s\n", name, value.c_str(),
                   api_->error_string(error));
    }
  }

  std::shared_ptr<Link> link_;
  std::future<Started> starting_;
  std::string startError_;
  const TMpvLibrary* api_ = nullptr;
  mpv_handle* h_ = nullptr;
  std::string file_;
  bool notify_ = false;
  State state_ = State::Closed;
  Pending pending_ = Pending::None;
  int64_t entry_ = 0;    // playlist entry of the open file; 0: none
  int64_t started_ = 0;  // entry of the last start seen while opening

  bool soundChecked_ = false;  // whether there is a sound device is known

  TWindowHandle display_ = 0;
  TRect natural_;
  std::string vo_;        // video outputs to use with a display
  bool applied_ = false;  // whether wid and vo were given to mpv
  int64_t appliedWid_ = -1;
  std::string appliedVo_;
};

void SpareHandleReady() {
  std::shared_ptr<Link> link;
  {
    std::lock_guard<std::mutex> lock(g_spareMutex);
    link = g_spareTaker.lock();
  }
  if (link && link->player) link->player->SpareReady();
}

}  // namespace

void UseMpvMediaPlayer() {
  UseCLocale();
  // The sound server's client library writes its failures to standard
  // error (two lines each track without a server) unless told otherwise;
  // set here, before any thread of the library can read the environment.
  ::setenv("PIPEWIRE_DEBUG", "0", 0);
  {
    std::lock_guard<std::mutex> lock(g_spareMutex);
    if (!g_spare.valid())
      g_spare = std::async(std::launch::async, [] {
        if (!PassGate()) return Started{.error = "the program ended"};
        Started s = StartHandle();
        if (!s.h) {
          UiThread().Post([error = s.error] {
            MediaNotice(error + ": the show goes on without music and videos");
          });
        }
        UiThread().Post(SpareHandleReady);
        return s;
      });
  }
  SetMediaPlayerFactory([] { return std::make_unique<MpvMediaPlayer>(); });
  SetMediaLibraryForgo([] { SetGate(Gate::Abandoned); });
}

void StartMediaLibrary() { SetGate(Gate::Open); }

}  // namespace saver
