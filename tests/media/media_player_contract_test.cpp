// What the show relies on of a media player, asserted of the libmpv backend
// (real files, no sound output, video drawn into a window on a private X
// server) and of the scripted double, which is told what the same files hold.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "desktop/xvfb_display.h"
#include "doubles/scripted_media_player.h"
#include "media/media_files.h"
#include "platform/media_player.h"
#include "platform/ui_thread.h"

namespace saver {
namespace {

using namespace saver::testing;
namespace fs = std::filesystem;

// The files every case plays: a tone, a video, random bytes named like a
// track, and a name with no file behind it.
struct MediaFiles {
  explicit MediaFiles(const fs::path& dir)
      : tone(dir / "tone.wav"), clip(dir / "clip.avi"), garbage(dir / "garbage.mp3"),
        missing(dir / "missing.wav") {
    WriteWav(tone, 0.3);
    WriteVideo(clip, kClip.Width(), kClip.Height(), 3, 10);
    std::mt19937 random(7);
    std::string bytes(4096, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    std::ofstream(garbage, std::ios::binary) << bytes;
  }
  static constexpr TRect kClip{0, 0, 50, 30};
  fs::path tone, clip, garbage, missing;
};

// The real player: sound goes nowhere, video into an X window.
class MpvBackend {
 public:
  static void StartSuite() {
    std::string error;
    x_ = test::XvfbDisplay::Start(160, 120, &error);
    ASSERT_TRUE(x_) << error;
    display_ = XOpenDisplay(x_->Name().c_str());
    window_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 160, 120, 0, 0, 0);
    XMapWindow(display_, window_);
    XSync(display_, 0);
  }
  static void EndSuite() {
    if (display_) XCloseDisplay(display_);
    display_ = nullptr;
    x_.reset();
  }
  MpvBackend() {
    ::setenv("SAVER_MPV_OPTIONS", "ao=null,vo=x11", 1);
    UseMpvMediaPlayer();
    StartMediaLibrary();
  }
  ~MpvBackend() {
    SetMediaPlayerFactory(nullptr);
    ::unsetenv("SAVER_MPV_OPTIONS");
  }
  void Know(const MediaFiles&) {}  // it reads the files
  std::unique_ptr<IMediaPlayer> Make() { return CreateMediaPlayer(); }
  TWindowHandle VideoWindow() const { return TWindowHandle(window_); }
  // Playback takes its real time.
  void RunUntil(PumpedUiThread& ui, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    ui.PumpUntil([&] { return done() || std::chrono::steady_clock::now() > deadline; });
    // Whatever else is queued by now (a second report would be).
    ui.PumpUntil([&] { return ui.Pending() == 0 || std::chrono::steady_clock::now() > deadline; });
  }

 private:
  static inline std::unique_ptr<test::XvfbDisplay> x_;
  static inline ::Display* display_ = nullptr;
  static inline Window window_ = 0;
};

// The double: told what the files hold; time passes when the test ends
// whatever plays.
class ScriptedBackend {
 public:
  static void StartSuite() {}
  static void EndSuite() {}
  void Know(const MediaFiles& files) {
    unplayable_ = {files.garbage.string()};
    videos_ = {{files.clip.string(), MediaFiles::kClip}};
  }
  std::unique_ptr<IMediaPlayer> Make() {
    auto p = std::make_unique<ScriptedMediaPlayer>();
    p->unplayable = unplayable_;
    p->videos = videos_;
    made_.push_back(p.get());
    return p;
  }
  TWindowHandle VideoWindow() const { return 0x4200; }
  void RunUntil(PumpedUiThread& ui, const std::function<bool()>& done) {
    ui.ProcessMessages();
    if (done()) return;
    for (ScriptedMediaPlayer* p : made_) p->Finish(true);
    ui.ProcessMessages();
  }
 private:
  std::set<std::string> unplayable_;
  std::map<std::string, TRect> videos_;
  std::vector<ScriptedMediaPlayer*> made_;
};

template <class Backend>
class MediaPlayerContract : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Backend::StartSuite(); }
  static void TearDownTestSuite() { Backend::EndSuite(); }
  void SetUp() override {
    SetUiThread(&ui);
    backend = std::make_unique<Backend>();
    backend->Know(files);
  }
  void TearDown() override {
    players.clear();
    backend.reset();
    SetUiThread(nullptr);
  }

  // A player that records the ends it reports, and whether one came while
  // the show was still inside one of its calls.
  struct Watched {
    std::unique_ptr<IMediaPlayer> player;
    std::vector<bool> ends;
    bool inCall = false, reportedInCall = false;
    void Start(const fs::path& file, TWindowHandle display = 0) {
      inCall = true;
      player->SetDisplay(display);
      player->SetFileName(file.string());
      player->Open();
      player->Play();
      player->SetNotify(true);
      inCall = false;
    }
  };
  Watched& Watch(bool notify = true) {
    auto w = std::make_unique<Watched>();
    w->player = backend->Make();
    w->player->SetNotify(notify);
    Watched* raw = w.get();
    w->player->OnNotify = [raw](bool ok) {
      raw->ends.push_back(ok);
      raw->reportedInCall = raw->reportedInCall || raw->inCall;
    };
    players.push_back(std::move(w));
    return *raw;
  }
  void RunUntil(const std::function<bool()>& done) { backend->RunUntil(ui, done); }

  struct TempDir {
    TempDir() {
      std::string templ = (fs::temp_directory_path() / "saver-contract-XXXXXX").string();
      path = ::mkdtemp(templ.data());
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
  };

  PumpedUiThread ui;
  TempDir dir;
  MediaFiles files{dir.path};
  std::unique_ptr<Backend> backend;
  std::vector<std::unique_ptr<Watched>> players;
};

using Backends = ::testing::Types<ScriptedBackend, MpvBackend>;
class BackendNames {
 public:
  template <class T>
  static std::string GetName(int) {
    return std::is_same_v<T, MpvBackend> ? "Mpv" : "Scripted";
  }
};
TYPED_TEST_SUITE(MediaPlayerContract, Backends, BackendNames);

TYPED_TEST(MediaPlayerContract, EndsAreReportedOnceWithNotifyOnAndNeverForWhatWasClosed) {
  auto& played = this->Watch();
  auto& quiet = this->Watch(false);
  auto& closed = this->Watch();
  auto& replaced = this->Watch();
  played.Start(this->files.tone);
  quiet.Start(this->files.tone);
  quiet.player->SetNotify(false);
  closed.Start(this->files.tone);
  closed.player->Close();
  replaced.Start(this->files.garbage);
  replaced.Start(this->files.tone);  // the failing file is superseded
  EXPECT_TRUE(played.player->NaturalRect().IsEmpty()) << "a track has no picture";
  this->RunUntil([&] { return !played.ends.empty() && !replaced.ends.empty(); });
  EXPECT_EQ(played.ends, std::vector<bool>{true});
  EXPECT_TRUE(quiet.ends.empty());
  EXPECT_TRUE(closed.ends.empty());
  EXPECT_EQ(replaced.ends, std::vector<bool>{true});
  EXPECT_FALSE(played.reportedInCall);
}

TYPED_TEST(MediaPlayerContract, AVideoHasItsNaturalSizeOnceOpenedWithADisplay) {
  auto& w = this->Watch();
  // Opened for its sound alone it is not loaded yet: no size to place it by.
  w.Start(this->files.clip);
  EXPECT_TRUE(w.player->NaturalRect().IsEmpty());
  w.player->Close();
  w.Start(this->files.clip, this->backend->VideoWindow());
  EXPECT_EQ(w.player->NaturalRect(), MediaFiles::kClip);
  this->RunUntil([&] { return !w.ends.empty(); });
  EXPECT_EQ(w.ends, std::vector<bool>{true});
  // The size belongs to the file: a track opened next has none.
  w.Start(this->files.tone, this->backend->VideoWindow());
  EXPECT_TRUE(w.player->NaturalRect().IsEmpty());
}

TYPED_TEST(MediaPlayerContract, AFileThatCannotPlayFailsAtOnceWithADisplayAndLaterWithout) {
  auto& w = this->Watch();
  for (const fs::path& bad : {this->files.garbage, this->files.missing}) {
    SCOPED_TRACE(bad.filename().string());
    w.player->SetDisplay(this->backend->VideoWindow());
    w.player->SetFileName(bad.string());
    try {
      w.player->Open();
      ADD_FAILURE() << "opened";
    } catch (const MediaError& e) {
      EXPECT_NE(std::string(e.what()).find(bad.string()), std::string::npos) << e.what();
    }
    EXPECT_THROW(w.player->Play(), MediaError) << "nothing is open after a failure";
    EXPECT_TRUE(w.ends.empty());

    // Without a display the failure is the end of playback, reported after
    // the calls that started it have returned.
    w.ends.clear();
    EXPECT_NO_THROW(w.Start(bad));
    this->RunUntil([&] { return !w.ends.empty(); });
    EXPECT_EQ(w.ends, std::vector<bool>{false});
    EXPECT_FALSE(w.reportedInCall);
    w.ends.clear();
  }
  // The player plays what it can afterwards.
  w.Start(this->files.tone);
  this->RunUntil([&] { return !w.ends.empty(); });
  EXPECT_EQ(w.ends, std::vector<bool>{true});
}

}  // namespace
}  // namespace saver
