// The real player with the real media library on a private X server: where
// videos go on the screen, what a broken video or a missing library does to
// the show, and which modes load the library at all.
#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <sstream>

#include "app/player_fixture.h"
#include "payload/decoders/avi_writer.h"

namespace saver {
namespace {

using namespace saver::e2e;
using namespace saver::testing;
namespace fs = std::filesystem;

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TBitmap32 Solid(int32_t w, int32_t h, TColor32 c) {
  TBitmap32 b(w, h);
  b.Clear(c);
  return b;
}

// Where the screen shows colour c (each channel within 40 levels); empty
// when nowhere.
TRect AreaOf(const TBitmap32& s, TColor32 c) {
  TRect r{s.Width(), s.Height(), 0, 0};
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) {
      const TColor32 p = s.Pixel(x, y);
      if (std::abs(RedOf(p) - RedOf(c)) > 40 || std::abs(GreenOf(p) - GreenOf(c)) > 40 ||
          std::abs(BlueOf(p) - BlueOf(c)) > 40)
        continue;
      r = TRect{std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1),
                std::max(r.Bottom, y + 1)};
    }
  return r.Left < r.Right ? r : TRect{};
}

// The names of the files a process has open.
std::vector<std::string> OpenFiles(pid_t pid) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
    names.push_back(fs::read_symlink(fd.path(), ec).filename().string());
  return names;
}
bool HasOpen(pid_t pid, const std::string& name) {
  const std::vector<std::string> names = OpenFiles(pid);
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool MapsMediaLibrary(pid_t pid) {
  return ReadText("/proc/" + std::to_string(pid) + "/maps").find("libmpv") != std::string::npos;
}

class MediaPlayer : public Player {
 protected:
  // Video drawn by the processor alone: on a loaded machine the
  // library's software-rendered GPU output may take longer to start than
  // a short clip lasts.
  void SetUp() override {
    Player::SetUp();
    setenv("SAVER_MPV_OPTIONS", "ao=null,vo=x11", 1);
  }

  // A saver of solid pictures, shown a second each without transitions.
  SaverBuilder Plain(std::initializer_list<TColor32> pictures) {
    SaverBuilder b = Saver(false, false, true, false);
    b.pictures.clear();
    b.text.Effect = "";
    b.trailer.StartWithFirst = 0;
    for (TColor32 c : pictures) b.AddPng(Solid(64, 48, c));
    return b;
  }
  // A video of one colour, w x h, lasting `seconds`.
  std::vector<uint8_t> Clip(int32_t w, int32_t h, TColor32 c, double seconds = 2) {
    const std::string path = scratch.Path("clip.avi");
    TAviWriter video(path, w, h, 10);
    const TBitmap32 frame = Solid(w, h, c);
    for (int i = 0; i < int(seconds * 10); ++i) video.AddFrame(frame);
    video.Finish();
    return FileBytes(path);
  }
  // A silent track of `seconds`.
  std::vector<uint8_t> Track(double seconds) {
    const std::string path = scratch.Path("track.wav");
    WriteWav(path, seconds, true);
    return FileBytes(path);
  }
  bool Heard() {
    std::error_code ec;
    for (const auto& f : fs::directory_iterator(TempFolder(), ec))
      if (f.path().filename().string().rfind("SSSND", 0) == 0) return true;
    return false;
  }
};

const TColor32 kGrey = Color32(128, 128, 128), kBlue = Color32(40, 60, 200);

TEST_F(MediaPlayer, AVideoIsPlacedAsAPictureOfItsSizeInEverySizeModeAndAMutedShowStaysSilent) {
  struct Case {
    const char* name;
    int32_t mode, w, h;
    TColor32 colour;
    TRect area;  // on the 320 x 240 screen; for the random place its size
  };
  const Case cases[] = {
      {"fit", 0, 80, 45, Color32(255, 0, 255), {0, 30, 320, 210}},
      {"stretch", 1, 80, 45, Color32(0, 255, 255), {0, 0, 320, 240}},
      {"centre", 2, 80, 45, Color32(255, 255, 0), {120, 97, 200, 142}},
      {"random", 3, 80, 45, Color32(255, 128, 0), {0, 0, 80, 45}},
      {"centre, larger than the screen", 2, 400, 100, Color32(0, 255, 0), {0, 80, 320, 160}},
  };
  SaverBuilder b = Plain({kGrey});
  for (const Case& c : cases) {
    PictureEntry& video = b.AddPicture(Clip(c.w, c.h, c.colour), ".avi");
    video.ItemStretch = c.mode;
  }
  b.trailer.Mute = 1;
  b.trailer.Loop = 1;
  b.AddMusic(Track(30), ".wav");
  const std::string saver = Write(b);
  Launch(saver, {"/s"});
  // Where the screen showed each video most often: as one starts and ends,
  // a slow server shows parts of it for a moment.
  std::vector<std::map<std::array<int32_t, 4>, int>> places(std::size(cases));
  bool heard = false;
  const TColor32 last = cases[std::size(cases) - 1].colour;
  WaitUntil(
      [&] {
        const TBitmap32 s = x->Screenshot();
        heard = heard || Heard();
        for (size_t i = 0; i < std::size(cases); ++i)
          if (const TRect r = AreaOf(s, cases[i].colour); !r.IsEmpty())
            ++places[i][{r.Left, r.Top, r.Right, r.Bottom}];
        return !places.back().empty() && AreaOf(s, last).IsEmpty();  // the last one is over
      },
      60);
  std::vector<TRect> seen(std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    int most = 0;
    for (const auto& [r, count] : places[i])
      if (count > most) most = count, seen[i] = TRect{r[0], r[1], r[2], r[3]};
  }
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    const TRect r = seen[i];
    ASSERT_FALSE(r.IsEmpty()) << "never shown";
    if (c.mode != 3) {
      EXPECT_EQ(r, c.area);
      continue;
    }
    EXPECT_EQ(r.Width(), c.area.Width());
    EXPECT_EQ(r.Height(), c.area.Height());
    EXPECT_TRUE(r.Left >= 0 && r.Top >= 0 && r.Right <= 320 && r.Bottom <= 240);
  }
  EXPECT_FALSE(heard) << "muted, yet a track was taken out to play";
  Xdo("key x");
  EXPECT_EQ(WaitExit(), 0) << output;
  EXPECT_TRUE(fs::is_empty(TempFolder()));
}

TEST_F(MediaPlayer, ABrokenVideoIsLeftAfterItsTimeAndTheMusicGoesOnWithTheNextTrack) {
  SaverBuilder b = Plain({kGrey});
  std::vector<uint8_t> garbage(65536);
  std::mt19937 random(3);
  for (uint8_t& v : garbage) v = uint8_t(random());
  b.AddPicture(garbage, ".mp4").ItemSeconds = 2;
  b.AddPng(Solid(64, 48, kBlue));
  // Two long tracks, told apart by the names they are taken out under.
  b.AddMusic(Track(30), ".wav");
  b.AddMusic(Track(30), ".snd");
  b.trailer.Loop = 1;
  const std::string saver = Write(b);
  Launch(saver, {"/s"});
  ASSERT_TRUE(ScreenShows(Solid(320, 240, kGrey)));
  const auto grey = Clock::now();
  EXPECT_TRUE(WaitUntil([&] { return HasOpen(pid_, "SSSND.wav"); })) << "the first track";
  ASSERT_TRUE(ScreenShows(Solid(320, 240, kBlue))) << "the picture after the broken video";
  // The picture's second and the video's two.
  EXPECT_GT(Clock::now() - grey, std::chrono::milliseconds(2000));
  EXPECT_TRUE(WaitUntil([&] { return HasOpen(pid_, "SSSND.snd"); })) << "the next track";
  EXPECT_FALSE(fs::exists(TempFolder() + "/SSIMG.mp4"));
  Xdo("key x");
  EXPECT_EQ(WaitExit(), 0) << output;
}

TEST_F(MediaPlayer, OnlyTheShowLoadsTheMediaLibrary) {
  SaverBuilder b = Plain({kGrey, kBlue});
  b.AddMusic(Track(30), ".wav");
  const std::string saver = Write(b);
  Display* d = XOpenDisplay(x->Name().c_str());
  const Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 20, 30, 152, 112, 0, 0, 0x00FF00);
  XMapWindow(d, parent);
  XSync(d, 0);
  struct Case {
    const char* name;
    std::vector<std::string> args;
    bool loads;
  };
  const Case cases[] = {
      {"settings", {"/c"}, false},
      {"preview", {"/p", std::to_string(parent)}, false},
      {"show", {"/s"}, true},
  };
  const TBitmap32 before = x->Screenshot();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Launch(saver, c.args);
    ASSERT_TRUE(WaitUntil([&] { return Mismatch(x->Screenshot(), before) > 0.01; }))
        << "never shown";
    // The show loads it once its first picture is up; the others would
    // have by the time the show had.
    EXPECT_EQ(WaitUntil([&] { return MapsMediaLibrary(pid_); }, 4), c.loads);
    EXPECT_TRUE(Running());
    kill(pid_, SIGTERM);
    EXPECT_EQ(WaitExit(), 0) << output;
  }
  XDestroyWindow(d, parent);
  XCloseDisplay(d);
}

TEST_F(MediaPlayer, WithoutTheMediaLibraryOrASoundDeviceOneLineSaysSoAndThePicturesGoOn) {
  struct Case {
    const char* name;
    const char* preload;
    const char* line;
  };
  const Case cases[] = {
      {"no media library", SAVER_TEST_NO_MEDIA_LIBRARY,
       "saver: the media library (libmpv) is not installed: the show goes on without music "
       "and videos\n"},
      {"no sound device", nullptr, "saver: no sound device: music and videos play without sound\n"},
  };
  SaverBuilder b = Plain({kGrey, kBlue});
  b.AddMusic(Track(0.4), ".wav");  // tracks come and go while the pictures change
  b.AddMusic(Track(0.4), ".wav");
  b.trailer.Loop = 1;
  const std::string saver = Write(b);
  const std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.preload && fs::exists("/dev/snd")) continue;  // this machine has sound
    const std::string log = scratch.Path("media.log");
    setenv("SAVER_LOG", log.c_str(), 1);
    if (c.preload) {
      setenv("LD_PRELOAD", c.preload, 1);
      // A sanitized player lets the stand-in come before its runtime.
      setenv("ASAN_OPTIONS", (asan + ":verify_asan_link_order=0").c_str(), 1);
    } else {
      setenv("SAVER_MPV_OPTIONS", "vo=x11", 1);  // the library looks for a sound output
    }
    Launch(saver, {"/s"});
    unsetenv("SAVER_LOG");
    unsetenv("LD_PRELOAD");
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    setenv("SAVER_MPV_OPTIONS", "ao=null,vo=x11", 1);
    EXPECT_TRUE(ScreenShows(Solid(320, 240, kGrey)));
    EXPECT_TRUE(ScreenShows(Solid(320, 240, kBlue)));
    EXPECT_TRUE(ScreenShows(Solid(320, 240, kGrey)));
    EXPECT_TRUE(WaitUntil([&] { return ReadText(log).find(c.line + 7) != std::string::npos; }));
    Xdo("key x");
    EXPECT_EQ(WaitExit(), 0) << output;
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
      if (line.rfind("QStandardPaths", 0) != 0) lines.push_back(line + "\n");
    EXPECT_EQ(lines, std::vector<std::string>{c.line});
  }
}

}  // namespace
}  // namespace saver
