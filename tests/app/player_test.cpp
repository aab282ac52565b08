// The real player binary on a private X server: what a user sees and does.
#include "app/player_fixture.h"

namespace saver {
namespace {

using namespace saver::e2e;
using namespace saver::testing;

TEST_F(Player, ShowsThePicturesFullScreenAndEndsOnAKeyOpeningTheExitLink) {
  SaverBuilder b = Saver(false, false, true, false);
  const std::string saver = Write(b);
  const TBitmap32 first = Composed(saver, 0), second = Composed(saver, 1);
  Launch(saver, {"/s"});
  EXPECT_TRUE(ScreenShows(first)) << "the first picture";
  EXPECT_TRUE(ScreenShows(second)) << "a later picture";
  Xdo("key x");
  EXPECT_EQ(WaitExit(), 0) << output;
  EXPECT_TRUE(WaitUntil([&] { return ReadText(scratch.Path("opened.txt")) == "https://example.com/goodbye\n"; }));
  EXPECT_TRUE(std::filesystem::is_empty(TempFolder()));
}

TEST_F(Player, InputEndsTheShowAsTheExitSettingsSay) {
  struct Case {
    const char* name;
    bool move, button, keyboard, esc;
    const char* input;
  };
  const Case cases[] = {
      {"mouse move", true, false, false, false, "mousemove_relative 40 40"},
      {"button", false, true, false, false, "click 1"},
      {"any key", false, false, true, false, "key a"},
      {"Esc alone", false, false, false, true, "key Escape"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SaverBuilder b = Saver(c.move, c.button, c.keyboard, c.esc);
    const std::string saver = Write(b);
    const TBitmap32 first = Composed(saver, 0);
    Launch(saver, {"/s"});
    ASSERT_TRUE(ScreenShows(first));
    Xdo(c.input);
    EXPECT_EQ(WaitExit(), 0) << output;
  }
}

TEST_F(Player, F2SetsThePictureOnScreenAsTheWallpaperAndItsReleaseEndsTheShow) {
  SaverBuilder b = Saver(false, false, true, false);
  b.trailer.Seconds = 30;
  const std::string saver = Write(b);
  Launch(saver, {"/s"});
  ASSERT_TRUE(ScreenShows(Composed(saver, 0)));
  Xdo("keydown F2");
  const std::string wallpaper = scratch.Path("data/saver/Screen Saver Wallpaper.bmp");
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(wallpaper); }));
  EXPECT_TRUE(Running());
  Xdo("keyup F2");
  EXPECT_EQ(WaitExit(), 0) << output;
  const TBitmap32 written = DecodePictureFile(wallpaper, ".bmp");
  const TBitmap32 item = Gradient(160, 120, 0);
  EXPECT_EQ(Mismatch(written, item), 0);
  FileRegistry registry(scratch.Path("config/saver/registry.json"));
  const auto values = registry.ReadKey("Control Panel\\Desktop");
  ASSERT_TRUE(values);
  EXPECT_EQ(FindValue(*values, "Wallpaper")->text, wallpaper);
  EXPECT_EQ(FindValue(*values, "WallpaperStyle")->text, "2");
}

TEST_F(Player, AVideoItemPlaysInItsPanelAndTheShowGoesOnAfterIt) {
  SaverBuilder b = Saver(false, false, true, false);
  const std::string video = scratch.Path("clip.avi");
  WriteVideo(video, 64, 48, 12, 10);
  std::ifstream in(video, std::ios::binary);
  b.pictures[1].data.assign(std::istreambuf_iterator<char>(in), {});
  b.pictures[1].entry.Ext = ".avi";
  const std::string saver = Write(b);
  const TBitmap32 first = Composed(saver, 0), third = Composed(saver, 2);
  Launch(saver, {"/s"});
  ASSERT_TRUE(ScreenShows(first));
  // The video fills the screen (stretch mode): its red grows to the right
  // and its green to the top in every corner of the screen, not only in one.
  EXPECT_TRUE(WaitUntil([&] {
    const TBitmap32 s = x->Screenshot();
    auto is = [&](int px, int py, bool red, bool green) {
      const TColor32 c = s.Pixel(px, py);
      return (RedOf(c) > 190) == red && (GreenOf(c) > 190) == green &&
             (RedOf(c) < 60 || red) && (GreenOf(c) < 60 || green);
    };
    return is(8, 8, false, true) && is(311, 8, true, true) && is(8, 231, false, false) &&
           is(311, 231, true, false);
  })) << "the video, filling the screen";
  EXPECT_TRUE(ScreenShows(third)) << "the picture after the video";
  Xdo("key x");
  EXPECT_EQ(WaitExit(), 0) << output;
  EXPECT_TRUE(std::filesystem::is_empty(TempFolder()));
}

TEST_F(Player, PreviewDrawsIntoTheGivenWindowAndEndsWithIt) {
  SaverBuilder b = Saver(false, false, true, false);
  TBitmap32 preview(152, 112);
  preview.Clear(Color32(200, 120, 40));
  b.preview = EncodeBmp(preview);
  const std::string saver = Write(b);
  for (bool bare : {false, true}) {
    SCOPED_TRACE(bare ? "a bare player" : "a saver");
    Display* d = XOpenDisplay(x->Name().c_str());
    const Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 20, 30, 152, 112, 0, 0, 0x00FF00);
    XMapWindow(d, parent);
    XSync(d, 0);
    Launch(bare ? kPlayer : saver, {"/p", std::to_string(parent)});
    const TColor32 expected = bare ? Color32(0, 0, 0) : Color32(200, 120, 40);
    EXPECT_TRUE(WaitUntil([&] {
      const TBitmap32 s = x->Screenshot();
      return s.Pixel(20, 30) == expected && s.Pixel(171, 141) == expected && s.Pixel(96, 86) == expected;
    }));
    EXPECT_TRUE(Running());
    XDestroyWindow(d, parent);
    XCloseDisplay(d);
    EXPECT_EQ(WaitExit(), 0) << output;
    EXPECT_EQ(output.find("saver:"), std::string::npos) << output;
  }
}

TEST_F(Player, SettingsOpenCentredTakeChangesAndShowThemTheNextTime) {
  x.reset();
  StartServer(1024, 768);
  SaverBuilder b = Saver(false, false, true, false);
  b.trailer.Seconds = 7;
  b.banner = {1, 2, 3};  // the banner strip: the dialog at its full height
  const std::string saver = Write(b);
  // The dialog's client area on the screen, once it is shown.
  auto dialog = [&]() -> std::optional<TRect> {
    Display* d = XOpenDisplay(x->Name().c_str());
    Window found = 0;
    WaitUntil([&] {
      Window root, parent, *children = nullptr;
      unsigned n = 0;
      XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
      for (unsigned i = 0; i < n && !found; ++i) {
        char* name = nullptr;
        XWindowAttributes a;
        XGetWindowAttributes(d, children[i], &a);
        if (a.map_state == IsViewable && XFetchName(d, children[i], &name) && name &&
            std::string(name) == "Player Test")
          found = children[i];
        if (name) XFree(name);
      }
      if (children) XFree(children);
      return found != 0;
    });
    std::optional<TRect> r;
    // It takes the keyboard as it opens.
    EXPECT_TRUE(WaitUntil([&] {
      Window focus = 0;
      int revert = 0;
      XGetInputFocus(d, &focus, &revert);
      return found && focus == found;
    }));
    if (found) {
      XWindowAttributes a;
      XGetWindowAttributes(d, found, &a);
      Window child;
      int left = 0, top = 0;
      XTranslateCoordinates(d, found, DefaultRootWindow(d), 0, 0, &left, &top, &child);
      r = TRect{left, top, left + a.width, top + a.height};
    }
    XCloseDisplay(d);
    return r;
  };
  auto stored = [&](const char* name) {
    FileRegistry registry(scratch.Path("config/saver/registry.json"));
    const auto values = registry.ReadKey("Software\\Kelvastrom\\Player Test");
    const RegValue* v = values ? FindValue(*values, name) : nullptr;
    return v ? v->dword : -1;
  };

  Launch(saver, {"/c"});
  const std::optional<TRect> r = dialog();
  ASSERT_TRUE(r);
  EXPECT_EQ(*r, (TRect{(1024 - 505) / 2, (768 - 381) / 2, (1024 + 505) / 2, (768 + 381) / 2}));
  // "Random" with the mouse (General page: the panel below the banner, the
  // page in the tab control, the order group); the seconds through the
  // accelerator of their label; Esc closes.
  const int rx = r->Left + 10 + 2 + 12 + 16 + 7, ry = r->Top + 69 + 7 + 20 + 74 + 38 + 8;
  Xdo("mousemove " + std::to_string(rx) + " " + std::to_string(ry) + " click 1");
  Xdo("key alt+d type 12");
  Xdo("key Escape");
  EXPECT_EQ(WaitExit(), 0) << output;
  EXPECT_EQ(stored("Seconds"), 12);
  EXPECT_EQ(stored("DisplayOrder"), 1);
  EXPECT_EQ(ReadText(scratch.Path("opened.txt")), "");

  // The next time the dialog shows them: closing at once keeps them.
  Launch(saver, {"/c"});
  ASSERT_TRUE(dialog());
  Xdo("mousemove " + std::to_string(r->Left + 250) + " " + std::to_string(r->Top + 200) +
      " key Escape");
  EXPECT_EQ(WaitExit(), 0) << output;
  EXPECT_EQ(stored("Seconds"), 12);
  EXPECT_EQ(stored("DisplayOrder"), 1);
}

TEST_F(Player, InADaemonsWindowTheShowTakesItsSizeFollowsItAndEndsOnSigterm) {
  SaverBuilder b = Saver(false, false, true, false);
  b.trailer.Seconds = 30;
  const std::string saver = Write(b);
  // Where the window sits on the screen and how large it is.
  auto region = [&](int left, int top, int w, int h) {
    const TBitmap32 s = x->Screenshot();
    TBitmap32 r(w, h);
    r.CopyRect(s, TRect{left, top, left + w, top + h}, TPoint{0, 0});
    return r;
  };
  for (bool root : {false, true}) {
    SCOPED_TRACE(root ? "XSCREENSAVER_WINDOW with -root" : "-window-id");
    Display* d = XOpenDisplay(x->Name().c_str());
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 30, 20, 200, 150, 0, 0, 0);
    XMapWindow(d, w);
    XSync(d, 0);
    const TBitmap32 small = Composed(saver, 0, 200, 150), large = Composed(saver, 0, 280, 210);
    if (root) {
      char hex[32];
      std::snprintf(hex, sizeof hex, "0x%lx", w);
      setenv("XSCREENSAVER_WINDOW", hex, 1);
      Launch(saver, {"-root"});
      unsetenv("XSCREENSAVER_WINDOW");
    } else {
      Launch(saver, {"-window-id", std::to_string(w)});
    }
    EXPECT_TRUE(WaitUntil([&] { return Mismatch(region(30, 20, 200, 150), small) < 0.01; }))
        << "the first picture at the window's size";
    XResizeWindow(d, w, 280, 210);
    XSync(d, 0);
    EXPECT_TRUE(WaitUntil([&] { return Mismatch(region(30, 20, 280, 210), large) < 0.01; }))
        << "the picture at the window's new size";
    const auto asked = Clock::now();
    kill(pid_, SIGTERM);
    EXPECT_EQ(WaitExit(), 0) << output;
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(1));
    EXPECT_TRUE(std::filesystem::is_empty(TempFolder()));
    XDestroyWindow(d, w);
    XCloseDisplay(d);
  }
}

TEST_F(Player, PasswordChangeCallsTheProviderWithTheOwnerWindow) {
  SaverBuilder b = Saver(false, false, true, false);
  Launch(Write(b), {"/a", "1234"});
  EXPECT_EQ(WaitExit(), 0) << output;
  EXPECT_EQ(ReadText(scratch.Path("libraries.log")), "PwdChangePasswordA SCRSAVE 1234 0 0\n");
}

TEST_F(Player, ALostDisplayEndsThePlayerWithOneLineAndNoCrash) {
  SaverBuilder b = Saver(false, false, true, false);
  const std::string saver = Write(b);
  const TBitmap32 first = Composed(saver, 0);
  Launch(saver, {"/s"});
  ASSERT_TRUE(ScreenShows(first));
  x->Stop();
  EXPECT_EQ(WaitExit(), 1) << output;
  EXPECT_NE(output.find("saver: the display connection was lost"), std::string::npos) << output;
}

TEST_F(Player, WithoutADisplayThePlayerSaysSoAndEnds) {
  SaverBuilder b = Saver(false, false, true, false);
  const std::string saver = Write(b);
  unsetenv("DISPLAY");
  Launch(saver, {"/s"});
  EXPECT_EQ(WaitExit(), 1);
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
  EXPECT_EQ(output.rfind("saver: ", 0), 0u) << output;
  setenv("DISPLAY", x->Name().c_str(), 1);
}

TEST_F(Player, AnInputStormLeavesTheShowGoingAndEscStillEndsIt) {
  SaverBuilder b = Saver(false, false, false, true);
  const std::string saver = Write(b);
  const TBitmap32 first = Composed(saver, 0), second = Composed(saver, 1);
  Launch(saver, {"/s"});
  ASSERT_TRUE(ScreenShows(first));
  Display* d = XOpenDisplay(x->Name().c_str());
  const auto start = Clock::now();
  for (int i = 0; i < 10000; ++i) {
    XTestFakeMotionEvent(d, 0, 50 + i % 200, 50 + (i / 200) % 100, 0);
    if (i % 2000 == 1999) {
      XTestFakeKeyEvent(d, XKeysymToKeycode(d, 'a'), 1, 0);
      XTestFakeKeyEvent(d, XKeysymToKeycode(d, 'a'), 0, 0);
    }
    if (i % 100 == 99) {
      XFlush(d);
      std::this_thread::sleep_until(start + std::chrono::microseconds(100 * (i + 1)));
    }
  }
  XSync(d, 0);
  XCloseDisplay(d);
  EXPECT_TRUE(Running());
  EXPECT_TRUE(ScreenShows(second)) << "the show goes on";
  Xdo("key Escape");
  EXPECT_EQ(WaitExit(), 0) << output;
}

TEST_F(Player, ReadsItsOwnPayloadAtTheDepthOfTheMode) {
  SaverBuilder b = Saver(false, false, true, false);
  const std::string saver = Write(b);
  const std::string log = scratch.Path("reader.log");
  setenv("SAVER_LOG", log.c_str(), 1);
  Launch(saver, {"-S"});
  ASSERT_TRUE(ScreenShows(Composed(saver, 0)));
  Xdo("key x");
  EXPECT_EQ(WaitExit(), 0) << output;
  EXPECT_NE(ReadText(log).find("ExtraData.Title=Player Test\n"), std::string::npos);
  EXPECT_NE(ReadText(log).find("Reading images\n"), std::string::npos);
  EXPECT_NE(ReadText(log).find("Reading music\nSuccess\n"), std::string::npos);
  unsetenv("SAVER_LOG");
}

TEST(PlayerHelp, PrintsItsUsageWithoutADisplay) {
  const std::string cmd = "env -u DISPLAY '" + kPlayer + "' --help";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[256];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  EXPECT_EQ(pclose(p), 0);
  EXPECT_NE(out.find("Usage: saver"), std::string::npos);
  EXPECT_NE(out.find("/p HANDLE"), std::string::npos);
}

}  // namespace
}  // namespace saver
