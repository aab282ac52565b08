// The real player on a private X server: F2 on each kind of desktop, and the
// preview inside a window of another program.
#include "app/player_fixture.h"
#include "platform/desktop_wallpaper.h"

// After the fixture, which takes Xlib's None and Bool out of the way.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>

namespace saver {
namespace {

using namespace saver::e2e;
using namespace saver::testing;

// Our top-level windows of that title mapped on the screen.
std::vector<Window> MappedWindows(Display* d, const std::string& title) {
  std::vector<Window> out;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return out;
  for (unsigned i = 0; i < count; ++i) {
    char* name = nullptr;
    XWindowAttributes a;
    if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
        XFetchName(d, children[i], &name) && name) {
      if (title == name) out.push_back(children[i]);
      XFree(name);
    }
  }
  if (children) XFree(children);
  return out;
}

size_t CountLines(const std::string& text, const std::string& start) {
  size_t n = 0;
  for (size_t at = 0; (at = text.find(start, at)) != std::string::npos; at += start.size())
    if (at == 0 || text[at - 1] == '\n') ++n;
  return n;
}

TEST_F(Player, F2SetsOneWallpaperAPressOnEachDesktopAndAFailureLeavesTheShowGoing) {
  // A stand-in for the desktop's settings tool: it logs what it is asked and
  // refuses every change while the file "refuse" exists.
  const std::string log = scratch.Path("gsettings.log"), refuse = scratch.Path("refuse");
  {
    std::ofstream script(scratch.Path("bin/gsettings"));
    script << "#!/bin/sh\necho \"$*\" >> '" << log << "'\ncase \"$1\" in\n"
           << "  list-schemas) echo org.gnome.desktop.background ;;\n"
           << "  list-keys) printf 'picture-options\\npicture-uri\\n' ;;\n"
           << "  set) [ -e '" << refuse << "' ] && exit 1 ;;\nesac\nexit 0\n";
  }
  std::filesystem::permissions(scratch.Path("bin/gsettings"), std::filesystem::perms::owner_all);
  const std::string wallpaper = scratch.Path("data/saver/Screen Saver Wallpaper.bmp");
  Display* d = XOpenDisplay(x->Name().c_str());
  ASSERT_NE(d, nullptr);
  // A held key repeats at once and every millisecond.
  XkbSetAutoRepeatRate(d, XkbUseCoreKbd, 1, 1);

  struct Case {
    const char* name;
    const char* desktop;  // nullptr: none named
    bool refuses;
  };
  for (const Case& c : {Case{"GNOME, the key held", "GNOME", false},
                        Case{"no desktop named: the root window", nullptr, false},
                        Case{"the desktop refuses", "ubuntu:GNOME", true}}) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(log);
    std::filesystem::remove(wallpaper);
    std::filesystem::remove(scratch.Path("opened.txt"));
    if (c.refuses) std::ofstream(refuse) << "";
    XAutoRepeatOn(d);
    XSync(d, False);
    if (c.desktop)
      setenv("XDG_CURRENT_DESKTOP", c.desktop, 1);
    else
      unsetenv("XDG_CURRENT_DESKTOP");
    // Where a click ends the show, the focus the box takes would end it too.
    SaverBuilder b = Saver(false, c.refuses, true, false);
    b.trailer.Seconds = c.refuses ? 1 : 30;
    const std::string saver = Write(b);
    std::vector<TBitmap32> pictures;
    for (int i = 0; i < 3; ++i) pictures.push_back(Composed(saver, i));
    Launch(saver, {"/s"});
    ASSERT_TRUE(ScreenShows(pictures[0]));

    // Held for a while: the server repeats it as more presses.
    Xdo("keydown F2 sleep 0.3");
    if (!c.refuses) {
      if (c.desktop) {
        EXPECT_TRUE(WaitUntil([&] {
          return ReadText(log).find("set org.gnome.desktop.background picture-uri") !=
                 std::string::npos;
        }));
      } else {
        const TBitmap32 expected =
            RootBackgroundImage(Gradient(160, 120, 0), true, x->Width(), x->Height(), {});
        EXPECT_TRUE(WaitUntil([&] {
          return Mismatch(test::PixmapPixels(d, test::RootPixmapProperty(d, "_XROOTPMAP_ID")),
                          expected) < 0.01;
        })) << "the picture stretched over the root window";
      }
      Xdo("keyup F2");
      EXPECT_EQ(WaitExit(), 0) << output;
      EXPECT_EQ(Mismatch(DecodePictureFile(wallpaper, ".bmp"), Gradient(160, 120, 0)), 0);
      EXPECT_EQ(CountLines(ReadText(log), "set org.gnome.desktop.background picture-uri"),
                c.desktop ? 1u : 0u);
      continue;
    }

    // A failure: its box stands over the show, which goes on behind it and
    // ends on nothing while the box is up.
    ASSERT_TRUE(WaitUntil([&] { return MappedWindows(d, "Player Test").size() == 2; }))
        << "the show and the box";
    const TBitmap32 band = x->Screenshot();
    EXPECT_TRUE(WaitUntil([&] {
      TBitmap32 now = x->Screenshot(), top(x->Width(), 20), before(x->Width(), 20);
      top.CopyRect(now, TRect{0, 0, x->Width(), 20}, TPoint{0, 0});
      before.CopyRect(band, TRect{0, 0, x->Width(), 20}, TPoint{0, 0});
      return Mismatch(top, before) > 0.5;
    })) << "the next picture behind the box";
    EXPECT_TRUE(Running());
    EXPECT_FALSE(std::filesystem::exists(scratch.Path("opened.txt")));
    for (const auto& f : std::filesystem::directory_iterator(TempFolder()))
      EXPECT_NE(f.path().filename().string().rfind("SSWIMG", 0), 0u) << f.path();
    // Return closes the box; the show goes on until its release.
    XAutoRepeatOff(d);
    XSync(d, False);
    Xdo("keydown Return");
    EXPECT_TRUE(WaitUntil([&] { return MappedWindows(d, "Player Test").size() == 1; }));
    EXPECT_TRUE(WaitUntil([&] {
      const TBitmap32 s = x->Screenshot();
      return Mismatch(s, pictures[0]) < 0.01 || Mismatch(s, pictures[1]) < 0.01 ||
             Mismatch(s, pictures[2]) < 0.01;
    })) << "a whole picture, without the box";
    EXPECT_TRUE(Running());
    Xdo("keyup Return");
    EXPECT_EQ(WaitExit(), 0) << output;
    EXPECT_EQ(ReadText(scratch.Path("opened.txt")), "https://example.com/goodbye\n");
    EXPECT_TRUE(std::filesystem::is_empty(TempFolder()));
    std::filesystem::remove(refuse);
  }
  unsetenv("XDG_CURRENT_DESKTOP");
  XCloseDisplay(d);
}

TEST_F(Player, PreviewFillsItsParentFollowsItsSizeAndLetsItsClicksThrough) {
  x.reset();
  StartServer(640, 480);
  SaverBuilder b = Saver(false, false, true, false);
  TBitmap32 preview(160, 80);
  const TColor32 colour = Color32(200, 120, 40), black = Color32(0, 0, 0);
  preview.Clear(colour);
  b.preview = EncodeBmp(preview);
  const std::string saver = Write(b);
  for (bool hex : {false, true}) {
    SCOPED_TRACE(hex ? "a hexadecimal id" : "a decimal id");
    Display* d = XOpenDisplay(x->Name().c_str());
    const int left = 50, top = 40;
    const Window parent =
        XCreateSimpleWindow(d, DefaultRootWindow(d), left, top, 400, 300, 0, 0, 0x00FF00);
    XSelectInput(d, parent, ButtonPressMask);
    XMapWindow(d, parent);
    XSync(d, False);
    char id[32];
    std::snprintf(id, sizeof id, hex ? "0x%lx" : "%lu", parent);
    Launch(saver, {"/p", id});
    // The picture fitted into the parent, black bars where it does not reach.
    const auto shows = [&](int w, int h, int pictureTop, int pictureBottom) {
      return WaitUntil([&] {
        const TBitmap32 s = x->Screenshot();
        return s.Pixel(left, top + pictureTop) == colour &&
               s.Pixel(left + w - 1, top + pictureBottom - 1) == colour &&
               s.Pixel(left, top + pictureTop - 1) == black &&
               s.Pixel(left + w - 1, top + pictureBottom) == black &&
               s.Pixel(left + w - 1, top + h - 1) == black &&
               s.Pixel(left + w, top + pictureTop) != colour;
      });
    };
    EXPECT_TRUE(shows(400, 300, 50, 250)) << "400 x 300";
    XResizeWindow(d, parent, 300, 200);
    XSync(d, False);
    EXPECT_TRUE(shows(300, 200, 25, 175)) << "300 x 200";
    Xdo("mousemove " + std::to_string(left + 150) + " " + std::to_string(top + 100) + " click 1");
    XEvent e;
    EXPECT_TRUE(WaitUntil([&] { return XCheckTypedWindowEvent(d, parent, ButtonPress, &e); }))
        << "the parent gets the click";
    EXPECT_TRUE(Running());
    XDestroyWindow(d, parent);
    XCloseDisplay(d);
    EXPECT_EQ(WaitExit(), 0) << output;
  }
}

// The atoms or cardinals of a window's property.
std::vector<unsigned long> Property(Display* d, Window w, const char* name, Atom type) {
  Atom actual = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> out;
  if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1 << 20, False, type, &actual,
                         &format, &n, &after, &data) == Success &&
      data) {
    if (actual == type && format == 32)
      out.assign(reinterpret_cast<unsigned long*>(data),
                 reinterpret_cast<unsigned long*>(data) + n);
    XFree(data);
  }
  return out;
}

TEST_F(Player, TheSettingsDialogHasATaskBarEntryAndTheSaversPictureAsItsIcon) {
  SaverBuilder b = Saver(false, false, true, false);
  TBitmap32 preview(40, 20);
  preview.Clear(Color32(10, 200, 30));
  b.preview = EncodeBmp(preview);
  Launch(Write(b), {"/c"});
  Display* d = XOpenDisplay(x->Name().c_str());
  std::vector<Window> dialog;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = MappedWindows(d, "Player Test")).size() == 1; }));
  const std::vector<unsigned long> state = Property(d, dialog[0], "_NET_WM_STATE", XA_ATOM);
  EXPECT_EQ(
      std::count(state.begin(), state.end(), XInternAtom(d, "_NET_WM_STATE_SKIP_TASKBAR", False)),
      0);
  // Icons of several sizes, each width, height and its ARGB pixels.
  const std::vector<unsigned long> icon = Property(d, dialog[0], "_NET_WM_ICON", XA_CARDINAL);
  ASSERT_GE(icon.size(), 2u);
  const unsigned long w = icon[0], h = icon[1];
  ASSERT_GE(icon.size(), 2 + w * h);
  EXPECT_EQ(icon[2 + (h / 2) * w + w / 2] & 0xFFFFFFFFul, 0xFF0AC81Eul) << "the preview picture";
  EXPECT_EQ(icon[2 + w / 2] >> 24, 0u) << "clear above it";
  XCloseDisplay(d);
  Xdo("key Escape");
  EXPECT_EQ(WaitExit(), 0) << output;
}

}  // namespace
}  // namespace saver
