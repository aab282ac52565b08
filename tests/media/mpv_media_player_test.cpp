// The media player over libmpv, playing real files headless (no audio or
// video output) with the UI thread pumped by the test.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "media/media_files.h"
#include "platform/media_player.h"
#include "platform/mpv/mpv_options.h"
#include "platform/ui_thread.h"

namespace saver {
namespace {

using namespace saver::testing;
namespace fs = std::filesystem;

size_t Entries(const char* folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

// A player that records the ends it reports.
struct Watched {
  explicit Watched(bool notify = true) {
    player->SetNotify(notify);
    player->OnNotify = [this](bool ok) { ends.push_back(ok); };
  }
  Watched(const Watched&) = delete;
  Watched& operator=(const Watched&) = delete;
  void Start(const fs::path& file) {
    player->SetFileName(file.string());
    player->Open();
    player->Play();
  }
  std::unique_ptr<IMediaPlayer> player = CreateMediaPlayer();
  std::vector<bool> ends;
};

class MpvPlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("SAVER_MPV_OPTIONS", "ao=null,vo=null", 1);
    std::string templ = (fs::temp_directory_path() / "saver-media-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir = templ;
    SetUiThread(&ui);
    UseMpvMediaPlayer();
    StartMediaLibrary();
  }
  void TearDown() override {
    SetMediaPlayerFactory(nullptr);
    SetUiThread(nullptr);
    fs::remove_all(dir);
    ::unsetenv("SAVER_MPV_OPTIONS");
  }

  // Pumps the UI thread until pred holds, giving up after a while so that a
  // failure fails instead of hanging.
  bool PumpUntil(const std::function<bool()>& pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    ui.PumpUntil([&] { return pred() || std::chrono::steady_clock::now() > deadline; });
    return pred();
  }
  void PumpPending() {
    PumpUntil([&] { return ui.Pending() == 0; });
  }

  fs::path Wav(const std::string& name, double seconds, bool silent = false) {
    const fs::path path = dir / name;
    WriteWav(path, seconds, silent);
    return path;
  }

  PumpedUiThread ui;
  fs::path dir;
};

TEST_F(MpvPlayer, PlaysTracksToTheirEndAndOpensTheNextFromTheReport) {
  // The media library wants the "C" numeric locale, which the desktop's
  // toolkit may have changed: the player puts it back.
  ASSERT_NE(std::setlocale(LC_NUMERIC, "C.UTF-8"), nullptr);
  const fs::path first = Wav("first.wav", 0.3), second = Wav("second.wav", 0.3);
  Watched w;
  std::vector<std::pair<std::string, bool>> reports;
  w.player->OnNotify = [&](bool ok) {
    reports.emplace_back(fs::path(w.player->FileName()).filename().string(), ok);
    if (reports.size() == 1) w.Start(second);
  };
  w.Start(first);
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  EXPECT_TRUE(w.player->NaturalRect().IsEmpty());
  ASSERT_TRUE(PumpUntil([&] { return reports.size() >= 2; }));
  PumpPending();
  const std::vector<std::pair<std::string, bool>> expected = {{"first.wav", true},
                                                              {"second.wav", true}};
  EXPECT_EQ(reports, expected);
}

// Missing files and random bytes are the contract suite's; these are
// files the library would take for something else than one media file.
TEST_F(MpvPlayer, FoldersAndPlaylistsFailAndLeaveThePlayerUsable) {
  // A playlist must not send the player to what it names.
  const fs::path list = dir / "list.wav";
  std::ofstream(list) << "#EXTM3U\n" << Wav("named.wav", 0.2).string() << "\n";
  struct Case {
    const char* name;
    std::string file;
  };
  const Case cases[] = {
      {"a folder", dir.string()},
      {"a playlist", list.string()},
  };
  Watched w;
  EXPECT_THROW(w.player->Play(), MediaError) << "nothing was opened yet";
  w.player->SetFileName("");
  EXPECT_THROW(w.player->Open(), MediaError) << "no name";
  // A video is loaded by Open, which says when it cannot be.
  w.player->SetDisplay(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    w.player->SetFileName(c.file);
    try {
      w.player->Open();
      ADD_FAILURE() << "opened";
    } catch (const MediaError& e) {
      EXPECT_NE(std::string(e.what()).find(c.file), std::string::npos) << e.what();
    }
    EXPECT_THROW(w.player->Play(), MediaError) << "nothing is open after a failure";
  }
  // Sound loads without the caller waiting: a file that cannot play ends
  // as a failure, and so does a header without sound.
  w.player->SetDisplay(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    w.ends.clear();
    w.Start(c.file);
    ASSERT_TRUE(PumpUntil([&] { return !w.ends.empty(); }));
    EXPECT_EQ(w.ends, std::vector<bool>{false});
  }
  w.ends.clear();
  w.Start(Wav("empty.wav", 0));
  ASSERT_TRUE(PumpUntil([&] { return !w.ends.empty(); }));
  w.Start(Wav("good.wav", 0.2));
  ASSERT_TRUE(PumpUntil([&] { return w.ends.size() >= 2; }));
  PumpPending();
  EXPECT_EQ(w.ends, (std::vector<bool>{false, true}));
}

TEST_F(MpvPlayer, EndsAreSilentWhenNotifyIsOffClosedOrDestroyed) {
  const fs::path track = Wav("track.wav", 0.3);
  Watched off(false), closed, reopened;
  int destroyedReports = 0;
  auto destroyed = std::make_unique<Watched>();
  destroyed->player->OnNotify = [&](bool) { ++destroyedReports; };

  off.Start(track);
  closed.Start(track);
  closed.player->Close();
  destroyed->Start(track);
  destroyed.reset();
  // Opening another file supersedes the first: only the second one ends.
  reopened.Start(track);
  reopened.Start(track);
  // Started last, its end comes after the others would have ended.
  Watched marker;
  marker.Start(track);
  ASSERT_TRUE(PumpUntil([&] { return !marker.ends.empty() && reopened.ends.size() >= 1; }));
  PumpPending();
  EXPECT_TRUE(off.ends.empty());
  EXPECT_TRUE(closed.ends.empty());
  EXPECT_EQ(destroyedReports, 0);
  EXPECT_EQ(reopened.ends, std::vector<bool>{true});

  // The closed player plays again.
  closed.Start(track);
  ASSERT_TRUE(PumpUntil([&] { return !closed.ends.empty(); }));
  EXPECT_EQ(closed.ends, std::vector<bool>{true});
}

TEST_F(MpvPlayer, ATrackThatNeverEndsStopsAtOnce) {
  // Ten minutes: a Close or destruction that waited for the end would hang
  // the test.
  const fs::path endless = Wav("endless.wav", 600, true);
  Watched closed;
  closed.Start(endless);
  closed.player->Close();
  {
    Watched destroyed;
    destroyed.Start(endless);
  }
  closed.Start(Wav("short.wav", 0.2));
  ASSERT_TRUE(PumpUntil([&] { return !closed.ends.empty(); }));
  PumpPending();
  EXPECT_EQ(closed.ends, std::vector<bool>{true});
}

TEST_F(MpvPlayer, ManyPlayersLeaveNoDescriptorsOrThreadsBehind) {
  const fs::path track = Wav("tick.wav", 0.05);
  auto cycle = [&] {
    auto player = CreateMediaPlayer();
    player->SetNotify(true);
    player->OnNotify = [](bool) {};
    player->SetFileName(track.string());
    player->Open();
    player->Play();
    player->Close();
  };
  cycle();  // whatever the media library sets up once for the process
  PumpPending();
  const size_t fds = Entries("/proc/self/fd"), threads = Entries("/proc/self/task");
  for (int i = 0; i < 100; ++i) cycle();
  // One player opening and closing over and over.
  Watched one;
  for (int i = 0; i < 300; ++i) {
    one.player->SetFileName(track.string());
    one.player->Open();
    one.player->Close();
  }
  one.player.reset();
  // A thread of the media library may take a moment to be gone.
  PumpUntil(
      [&] { return Entries("/proc/self/fd") <= fds && Entries("/proc/self/task") <= threads; });
  EXPECT_LE(Entries("/proc/self/fd"), fds);
  EXPECT_LE(Entries("/proc/self/task"), threads);
}

bool LibraryMapped() {
  std::ifstream maps("/proc/self/maps");
  const std::string text((std::istreambuf_iterator<char>(maps)), {});
  return text.find("libmpv") != std::string::npos;
}

// Loading the library takes a core for a moment: it waits until the program
// lets it, once its first picture is on screen. (In a fresh process, where
// nothing loaded it before.)
TEST(MpvLibrary, LoadsOnlyOnceTheProgramLetsIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        PumpedUiThread ui;
        SetUiThread(&ui);
        UseMpvMediaPlayer();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (LibraryMapped()) std::_Exit(1);
        StartMediaLibrary();
        for (int i = 0; i < 1000 && !LibraryMapped(); ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::_Exit(LibraryMapped() ? 0 : 2);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(MpvOptions, OverridesAreNameValuePairsSeparatedByCommas) {
  struct Case {
    const char* text;
    TMpvOptions expected;
  };
  const Case cases[] = {
      {"", {}},
      {"ao=null,vo=null", {{"ao", "null"}, {"vo", "null"}}},
      {" ao = null , hwdec=no ", {{"ao", "null"}, {"hwdec", "no"}}},
      {"vo=xv,x11,ao=null", {{"vo", "xv,x11"}, {"ao", "null"}}},
      {"stray,=x,ao=null,,", {{"ao", "null"}}},
      {"wid=", {{"wid", ""}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseMpvOptions(c.text), c.expected) << c.text;
  }
}

}  // namespace
}  // namespace saver
