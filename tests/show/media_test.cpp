// Music, video items and the wallpaper key, with the scripted media player.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <set>

#include "payload/decoders/picture_decoder.h"
#include "payload/format/log_line.h"
#include "show/show_harness.h"

namespace saver {
namespace {

using namespace saver::testing;

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The content of the track playing now ("" when nothing plays).
std::string Playing(ShowHarness& show) {
  ScriptedMediaPlayer* p = show.desk.player;
  return p && p->Playing() ? ReadFile(p->FileName()) : "";
}

// Lets the playing track end n times and returns what played, the first included.
std::vector<std::string> PlayThrough(ShowHarness& show, int ends) {
  std::vector<std::string> played;
  for (int i = 0; i <= ends; ++i) {
    const std::string now = Playing(show);
    played.push_back(now);
    if (now.empty()) break;
    show.desk.player->Finish(true);
  }
  return played;
}

std::string TempPath(ShowHarness& show, const std::string& name) {
  return show.desk.scratch.Path("saver-" + std::to_string(geteuid()) + "/" + name);
}

struct Playlist {
  int32_t tracks;
  bool loop, shuffle, oneRandom;
};

ShowHarness& WithMusic(ShowHarness& show, const Playlist& p, const std::string& ext = ".wav") {
  for (int32_t i = 0; i < p.tracks; ++i) show.b.AddMusic(Bytes("track" + std::to_string(i)), ext);
  show.b.trailer.Loop = p.loop;
  show.b.trailer.ShuffleMelody = p.shuffle;
  show.b.trailer.PlayOneRandom = p.oneRandom;
  return show;
}

TEST(ShowMusic, OrderedPlaylistsPlayOnceOrRepeat) {
  struct Case {
    const char* name;
    Playlist list;
    int ends;
    std::vector<std::string> played;
  };
  const Case cases[] = {
      {"no tracks", {0, true, false, false}, 1, {""}},
      {"one track", {1, false, false, false}, 2, {"track0", ""}},
      {"one track, repeated", {1, true, false, false}, 3, {"track0", "track0", "track0", "track0"}},
      {"three tracks", {3, false, false, false}, 4, {"track0", "track1", "track2", ""}},
      {"three tracks, repeated", {3, true, false, false}, 4,
       {"track0", "track1", "track2", "track0", "track1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShowHarness show(2);
    WithMusic(show, c.list).Start();
    EXPECT_EQ(PlayThrough(show, c.ends), c.played);
  }
}

TEST(ShowMusic, ShuffledPlaylistsPlayEachTrackOncePerRound) {
  for (bool loop : {false, true}) {
    SCOPED_TRACE(loop ? "repeated" : "once");
    ShowHarness show(2);
    WithMusic(show, {3, loop, true, false}).Start();
    const std::vector<std::string> played = PlayThrough(show, 6);
    const std::set<std::string> first(played.begin(), played.begin() + 3);
    EXPECT_EQ(first.size(), 3u);
    if (!loop) {
      EXPECT_EQ(played.size(), 4u);
      EXPECT_EQ(played.back(), "");
      EXPECT_EQ(show.w->MelodyIndex, -1);
    } else {
      ASSERT_EQ(played.size(), 7u);
      EXPECT_EQ(std::set<std::string>(played.begin() + 3, played.begin() + 6).size(), 3u);
    }
  }
  // Without tracks the shuffle finds nothing to draw.
  ShowHarness none(2);
  WithMusic(none, {0, false, true, false}).Start();
  EXPECT_EQ(none.w->MelodyIndex, -1);
}

TEST(ShowMusic, OneRandomTrackIsTheWholePlaylist) {
  ShowHarness show(2);
  WithMusic(show, {5, true, false, true}).Start();
  EXPECT_EQ(show.w->Data.MusicTable.size(), 1u);
  const std::vector<std::string> played = PlayThrough(show, 3);
  EXPECT_EQ(std::set<std::string>(played.begin(), played.end()).size(), 1u);
  EXPECT_FALSE(played[0].empty());
}

TEST(ShowMusic, TracksOfOneExtensionReuseTheFile) {
  ShowHarness show(2);
  WithMusic(show, {3, true, false, false}, ".mp3").Start();
  const std::string file = show.desk.player->FileName();
  EXPECT_EQ(std::filesystem::path(file).filename(), "SSSND.mp3");
  show.desk.player->Finish(true);
  EXPECT_EQ(show.desk.player->FileName(), file);
  EXPECT_EQ(ReadFile(file), "track1");
}

TEST(ShowMusic, ATrackThatCannotPlayIsSkippedAndWhenNoneCanTheMusicStops) {
  struct Case {
    const char* name;
    std::vector<int> bad;     // tracks the player cannot play
    int damaged;              // a track whose item cannot be extracted; -1: none
    std::vector<std::string> played;
  };
  // Tracks 0, 1 and 2 are .mp3, .wav and .ogg files, repeated.
  const Case cases[] = {
      {"the first cannot play", {0}, -1, {"track1", "track2", "track1", "track2"}},
      {"the first is damaged", {}, 0, {"track1", "track2", "track1", "track2"}},
      {"one in the middle", {1}, -1, {"track0", "track2", "track0", "track2"}},
      {"none can play", {0, 2}, 1, {""}},
  };
  const char* exts[] = {".mp3", ".wav", ".ogg"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShowHarness show(2);
    WithMusic(show, {0, true, false, false});
    for (int i = 0; i < 3; ++i) {
      const std::string data = "track" + std::to_string(i);
      show.b.AddMusic(Bytes(data), exts[i], i == c.damaged);
    }
    for (int i : c.bad) show.desk.unplayable.insert(TempPath(show, std::string("SSSND") + exts[i]));
    std::vector<uint8_t> saver = show.b.Build();
    if (c.damaged >= 0) {  // its compressed bytes broken: it cannot be inflated
      const std::vector<uint8_t> packed = Deflate(Bytes("track" + std::to_string(c.damaged)));
      auto at = std::search(saver.begin(), saver.end(), packed.begin(), packed.end());
      ASSERT_NE(at, saver.end());
      std::fill(at + 2, at + long(packed.size()), uint8_t(0xFF));
    }
    std::vector<std::string> log;
    SetLogSink([&](const std::string& line) { log.push_back(line); });
    show.path = show.desk.scratch.Write("show.scr", saver);
    show.w = std::make_unique<TSSWindow>(std::vector<std::string>{"/s"}, show.path);
    show.desk.ws.Run(show.w->Window());
    EXPECT_EQ(show.OnScreen(), 0) << "the pictures show whatever the music";
    std::vector<std::string> played;
    for (size_t i = 0; i < c.played.size(); ++i) {
      show.desk.ui.ProcessMessages();  // failures are reported a moment later
      played.push_back(Playing(show));
      if (show.desk.player->Playing()) show.desk.player->Finish(true);
    }
    show.desk.ui.ProcessMessages();
    SetLogSink(nullptr);
    EXPECT_EQ(played, c.played);
    const bool silent = c.played[0].empty();
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         "No music track can be played: the show goes on without music"),
              silent ? 1 : 0);
    if (silent) {  // and nothing more is tried
      const size_t calls = show.desk.player->log.size();
      ASSERT_TRUE(show.Tick());
      show.desk.ui.ProcessMessages();
      EXPECT_EQ(show.desk.player->log.size(), calls);
    }
  }
}

TEST(ShowMusic, MutedShowsPlayNothingAndCloseStopsThePlayerAndRemovesItsFile) {
  {
    ShowHarness muted(2);
    WithMusic(muted, {2, true, false, false});
    muted.b.trailer.Mute = 1;
    muted.Start();
    EXPECT_EQ(Playing(muted), "");
  }
  ShowHarness show(2);
  WithMusic(show, {2, true, false, false}).Start();
  const std::string file = show.desk.player->FileName();
  ASSERT_TRUE(std::filesystem::exists(file));
  show.Send(msg::KeyDown, 'A');
  EXPECT_TRUE(show.Fake().closed);
  EXPECT_FALSE(show.desk.player->Playing());
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(ShowMusic, ADaemonsWindowSmallerThanItsMonitorIsAPreviewAndPlaysNoMusic) {
  struct Case {
    const char* name;
    TRect daemon;
    bool music;
  };
  const Case cases[] = {
      {"a preview in the preferences", {100, 80, 300, 230}, false},
      {"the first monitor", {0, 0, 800, 600}, true},
      {"the second monitor", {800, 0, 1440, 480}, true},
      {"a preview on the second monitor", {900, 100, 1100, 250}, false},
      {"the whole screen", {0, 0, 1440, 600}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShowHarness show(2);
    show.desk.ws.monitors = {TRect{0, 0, 800, 600}, TRect{800, 0, 1440, 480}};
    show.desk.ws.screenRects[0x5000] = c.daemon;
    WithMusic(show, {2, true, false, false}).Start({"/s"}, 0x5000);
    EXPECT_EQ(Playing(show), c.music ? "track0" : "");
  }
}

TEST(ShowMusic, AThousandTrackChangesLeaveOneTrackFileAndCloseLeavesNone) {
  ShowHarness show(2);
  WithMusic(show, {3, true, false, false});
  show.b.music[1].entry.Ext = ".ogg";
  show.Start();
  for (int i = 0; i < 1000; ++i) show.desk.player->Finish(true);
  const std::string temp = show.desk.scratch.Path("saver-" + std::to_string(geteuid()));
  const auto files = [&] {
    return std::distance(std::filesystem::directory_iterator(temp), {});
  };
  EXPECT_EQ(files(), 1);
  EXPECT_EQ(Playing(show), "track1");  // 1000 ends after track0: 1000 mod 3 = 1
  show.Send(msg::KeyDown, 'A');
  EXPECT_EQ(files(), 0);
}

// A show of two pictures and a video item (item 2, in the given size
// mode) of w x h, with two tracks.
ShowHarness& WithVideo(ShowHarness& show, int32_t mode = 1, int32_t w = 20, int32_t h = 10) {
  WithMusic(show, {2, false, false, false});
  PictureEntry& video = show.b.AddPicture(Bytes("a video"), ".MPG");
  video.ItemStretch = mode;
  video.ItemSeconds = 7;
  show.desk.videos[TempPath(show, "SSIMG.MPG")] = TRect{0, 0, w, h};
  show.b.trailer.StartWithFirst = 0;
  return show;
}

TEST(ShowVideo, AVideoItemReplacesTheMusicAndTheNextTrackFollowsItUnlessMuted) {
  for (bool mute : {false, true}) {
    SCOPED_TRACE(mute ? "muted" : "with music");
    ShowHarness show(2);
    WithVideo(show).b.trailer.Mute = mute;
    show.Start();
    EXPECT_EQ(Playing(show), mute ? "" : "track0");
    ASSERT_TRUE(show.Tick());  // picture 1
    ASSERT_TRUE(show.Tick());  // the video
    EXPECT_TRUE(show.w->VideoPlaying);
    EXPECT_EQ(show.w->CurrentPicture, -1);
    EXPECT_EQ(Playing(show), "a video");
    EXPECT_TRUE(show.w->PanelDisplay().Visible());
    EXPECT_EQ(show.desk.player->display, show.w->PanelDisplay().Handle());
    EXPECT_EQ(show.OnScreen(), 1);  // the picture before stays around the panel
    EXPECT_FALSE(show.ShowTimer().Enabled());
    const std::string video = show.desk.player->FileName();

    show.desk.player->Finish(true);
    EXPECT_FALSE(show.w->VideoPlaying);
    EXPECT_FALSE(show.w->PanelDisplay().Visible());
    EXPECT_EQ(show.desk.player->display, 0u) << "tracks have no picture";
    EXPECT_FALSE(std::filesystem::exists(video));
    EXPECT_EQ(Playing(show), mute ? "" : "track1");
    EXPECT_EQ(show.ShowTimer().Interval(), 1u);
    ASSERT_TRUE(show.Tick());
    EXPECT_EQ(show.OnScreen(), 0);
  }
}

TEST(ShowVideo, ThePanelIsPlacedAsAPictureOfTheVideosSize) {
  struct Case {
    const char* name;
    int32_t mode, w, h;
    TRect panel;  // on the 64 x 48 screen; for random placement its size
  };
  const Case cases[] = {
      {"fit", 0, 20, 10, {0, 8, 64, 40}},
      {"stretch", 1, 20, 10, {0, 0, 64, 48}},
      {"centre", 2, 20, 10, {22, 19, 42, 29}},
      {"centre, larger than the screen: fitted", 2, 100, 10, {0, 21, 64, 27}},
      {"random", 3, 20, 10, {0, 0, 20, 10}},
      {"random, larger than the screen: fitted", 3, 100, 10, {0, 0, 64, 6}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShowHarness show(2);
    WithVideo(show, c.mode, c.w, c.h).Start();
    ASSERT_TRUE(show.Tick());
    ASSERT_TRUE(show.Tick());
    ASSERT_TRUE(show.w->VideoPlaying);
    const TRect panel = show.w->PanelDisplay().Bounds();
    EXPECT_EQ(show.desk.player->displayRect, (TRect{0, 0, panel.Width(), panel.Height()}));
    if (c.mode != 3) {
      EXPECT_EQ(panel, c.panel);
      continue;
    }
    EXPECT_EQ(panel.Width(), c.panel.Width());
    EXPECT_EQ(panel.Height(), c.panel.Height());
    EXPECT_TRUE(panel.Left >= 0 && panel.Top >= 0 && panel.Right <= 64 && panel.Bottom <= 48);
  }
}

TEST(ShowVideo, AVideoThatCannotPlayLeavesTheShowGoingAfterTheItemsTimeWithTheMusic) {
  for (bool atOpen : {true, false}) {
    SCOPED_TRACE(atOpen ? "fails to open" : "breaks off while playing");
    ShowHarness show(2);
    WithVideo(show);
    if (atOpen) show.desk.unplayable.insert(TempPath(show, "SSIMG.MPG"));
    show.Start();
    ASSERT_TRUE(show.Tick());  // picture 1
    ASSERT_TRUE(show.Tick());  // the video
    if (!atOpen) {
      ASSERT_TRUE(show.w->VideoPlaying);
      show.desk.player->Finish(false);
    }
    EXPECT_FALSE(show.w->VideoPlaying);
    EXPECT_FALSE(show.w->PanelDisplay().Visible());
    EXPECT_FALSE(std::filesystem::exists(TempPath(show, "SSIMG.MPG")));
    EXPECT_EQ(Playing(show), "track1");
    EXPECT_TRUE(show.ShowTimer().Enabled());
    EXPECT_EQ(show.ShowTimer().Interval(), 7000u);
    ASSERT_TRUE(show.Tick());
    EXPECT_EQ(show.OnScreen(), 0);
  }
}

TEST(ShowWallpaper, F2WritesThePictureAsABitmapAndPointsTheDesktopAtIt) {
  ShowHarness show(2);
  show.b.trailer.Stretch = 1;
  show.b.pictures[1].entry.ItemStretch = 0;  // not consulted
  show.Start();
  ASSERT_TRUE(show.Tick());
  show.Send(msg::KeyDown, vk::F2);
  EXPECT_FALSE(show.Fake().closed);
  const std::string file = show.desk.scratch.Path("data/saver/Screen Saver Wallpaper.bmp");
  const TBitmap32 written = DecodePictureFile(file, ".bmp");
  ASSERT_EQ(written.Width(), 8);  // the picture's own size, not the screen's
  ASSERT_EQ(written.Height(), 6);
  EXPECT_EQ(written.Pixel(3, 3) | 0xFF000000u, PictureColor(1));
  const auto values = show.desk.registry.ReadKey("Control Panel\\Desktop");
  ASSERT_TRUE(values);
  const std::pair<const char*, const char*> expected[] = {
      {"Wallpaper", nullptr}, {"TileWallpaper", "0"}, {"WallpaperStyle", "2"},
      {"WallpaperOriginX", "0"}, {"WallpaperOriginY", "0"}};
  for (const auto& [name, text] : expected) {
    const RegValue* v = FindValue(*values, name);
    ASSERT_NE(v, nullptr) << name;
    EXPECT_EQ(v->type, RegType::Sz);
    EXPECT_EQ(v->text, text ? text : file);
  }
  ASSERT_EQ(show.desk.wallpaper.calls.size(), 1u);
  EXPECT_EQ(show.desk.wallpaper.calls[0], std::make_pair(file, true));
  EXPECT_EQ(show.desk.text.calls.back().Text, "Setting this picture as wallpaper");
  EXPECT_EQ(show.desk.text.calls.back().X, 100);
  EXPECT_EQ(show.desk.text.calls.back().Y, 200);

  // Held, the key repeats: one wallpaper a press.
  for (int i = 0; i < 3; ++i) show.Send(msg::KeyDown, vk::F2, msg::KeyWasDown);
  EXPECT_EQ(show.desk.wallpaper.calls.size(), 1u);
  show.Send(msg::KeyDown, vk::F2);  // again: the same file and values
  EXPECT_EQ(show.desk.wallpaper.calls.size(), 2u);
  EXPECT_EQ(DecodePictureFile(file, ".bmp").Pixel(3, 3) | 0xFF000000u, PictureColor(1));
  const std::string temp = show.desk.scratch.Path("saver-" + std::to_string(geteuid()));
  for (const auto& f : std::filesystem::directory_iterator(temp))
    EXPECT_EQ(f.path().filename().string().rfind("SSWIMG", 0), std::string::npos);
}

TEST(ShowWallpaper, ABitmapItemIsCopiedAsItIsAndAStyleOtherThanStretchCentres) {
  ShowHarness show(0);
  TBitmap32 p(5, 3);
  p.Clear(PictureColor(2));
  show.b.AddPicture(EncodeBmp(p), ".BMP");
  show.b.trailer.Stretch = 2;
  show.Start();
  show.Send(msg::KeyDown, vk::F2);
  const std::string file = show.desk.scratch.Path("data/saver/Screen Saver Wallpaper.bmp");
  EXPECT_EQ(ReadFile(file), std::string(show.b.pictures[0].data.begin(), show.b.pictures[0].data.end()));
  EXPECT_EQ(show.desk.wallpaper.calls.back().second, false);
  EXPECT_EQ(show.desk.wallpaper.pictures.back().Pixel(4, 2) | 0xFF000000u, PictureColor(2));
  const auto values = show.desk.registry.ReadKey("Control Panel\\Desktop");
  EXPECT_EQ(FindValue(*values, "WallpaperStyle")->text, "0");
}

// A message box that lets the test act while it is up.
struct BoxWithInput final : IMessageBox {
  void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
    shown.push_back(text);
    if (whileUp) whileUp();
  }
  std::vector<std::string> shown;
  std::function<void()> whileUp;
};

TEST(ShowWallpaper, AFailureShowsItsErrorOverTheShowWhichGoesOnAndLeavesNoTemporaryFile) {
  struct Case {
    const char* name;
    bool bitmapItem, desktopRefuses;
    const char* error;
  } cases[] = {
      {"the desktop refuses", false, true, "\"gsettings\" failed with status 1"},
      {"the data folder is a file", false, false, "/data/saver"},
      // A bitmap item is copied: a failed copy is reported too.
      {"a folder where the wallpaper goes", true, false, "Screen Saver Wallpaper.bmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BoxWithInput box;
    ShowHarness show(2);
    if (c.bitmapItem) show.b.AddPicture(EncodeBmp(TBitmap32(3, 3)), ".bmp");
    show.b.trailer.ExitMouseButton = 1;
    show.b.trailer.StartWithFirst = 1;
    show.b.text.Exitlink = "https://example.com/bye";
    if (c.desktopRefuses) show.desk.wallpaper.failure = c.error;
    if (c.bitmapItem)
      std::filesystem::create_directories(
          show.desk.scratch.Path("data/saver/Screen Saver Wallpaper.bmp"));
    else if (!c.desktopRefuses)
      show.desk.scratch.Write("data", std::vector<uint8_t>{1});
    show.Start();
    if (c.bitmapItem) {
      while (show.w->CurrentPicture != 2) ASSERT_TRUE(show.Tick());
    }
    const int32_t before = show.w->CurrentPicture;
    SetMessageBoxService(&box);
    box.whileUp = [&] {
      // Whatever ends the show is ignored while the box is up.
      show.Send(msg::LButtonDown);
      show.Send(msg::KeyDown, 'X');
      show.Send(msg::Activate, 1);
      EXPECT_FALSE(show.Fake().closed);
      EXPECT_TRUE(show.desk.shell.opened.empty());
    };
    show.Send(msg::KeyDown, vk::F2);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_THAT(box.shown[0], ::testing::StartsWith("The wallpaper could not be set: "));
    EXPECT_THAT(box.shown[0], ::testing::HasSubstr(c.error));
    EXPECT_TRUE(show.Fake().Visible());
    for (const auto& f : std::filesystem::directory_iterator(
             show.desk.scratch.Path("saver-" + std::to_string(geteuid()))))
      EXPECT_EQ(f.path().filename().string().rfind("SSWIMG", 0), std::string::npos);
    // The show goes on, and input ends it again.
    ASSERT_TRUE(show.Tick());
    EXPECT_NE(show.w->CurrentPicture, before);
    show.Send(msg::KeyUp, vk::F2);
    EXPECT_TRUE(show.Fake().closed);
    EXPECT_EQ(show.desk.shell.opened, std::vector<std::string>{"https://example.com/bye"});
  }
}

TEST(ShowWallpaper, F2DuringAVideoOrWithoutTheKeyboardSettingWritesNothing) {
  for (bool duringVideo : {true, false}) {
    SCOPED_TRACE(duringVideo ? "during a video" : "Esc alone ends the show");
    ShowHarness show(duringVideo ? 0 : 2);
    if (duringVideo) {
      show.b.AddPicture(Bytes("a video"), ".avi");
    } else {
      show.b.trailer.ExitKeyboard = 0;
      show.b.trailer.ExitESC = 1;
    }
    show.Start();
    EXPECT_EQ(show.w->VideoPlaying, duringVideo);
    show.Send(msg::KeyDown, vk::F2);
    EXPECT_TRUE(show.desk.wallpaper.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(show.desk.scratch.Path("data/saver/Screen Saver Wallpaper.bmp")));
    EXPECT_FALSE(show.Fake().closed);
  }
}

}  // namespace
}  // namespace saver
