// The wallpaper on a desktop with no setting of its own: the root window's
// background, as another client of the X server sees it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "desktop_fixture.h"
#include "platform/desktop_wallpaper.h"

#include <X11/Xatom.h>

namespace saver::test {
namespace {

Pixmap RootPixmap(Display* x, const char* name) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Pixmap p = 0;
  if (XGetWindowProperty(x, DefaultRootWindow(x), XInternAtom(x, name, False), 0, 1, False,
                         XA_PIXMAP, &type, &format, &count, &after, &data) == Success &&
      data) {
    if (type == XA_PIXMAP && format == 32 && count == 1) p = *reinterpret_cast<Pixmap*>(data);
    XFree(data);
  }
  return p;
}

// A pixmap's pixels; empty when it names none.
TBitmap32 PixmapPixels(Display* x, Pixmap p) {
  TBitmap32 out;
  Window root;
  int px, py;
  unsigned w = 0, h = 0, border, depth;
  if (!p || !XGetGeometry(x, p, &root, &px, &py, &w, &h, &border, &depth)) return out;
  XImage* image = XGetImage(x, p, 0, 0, w, h, AllPlanes, ZPixmap);
  if (!image) return out;
  out.SetSize(int32_t(w), int32_t(h));
  for (unsigned y = 0; y < h; ++y)
    for (unsigned i = 0; i < w; ++i)
      out.SetPixel(int32_t(i), int32_t(y), TColor32(XGetPixel(image, int(i), int(y))) | 0xFF000000u);
  XDestroyImage(image);
  return out;
}

TEST(RootBackground, AnUnknownDesktopShowsThePictureOnTheRootWindowAndFreesTheLastOne) {
  TestDesktop& d = Desktop();
  ::unsetenv("XDG_CURRENT_DESKTOP");
  const TBitmap32 picture = Noise(40, 30, 7);
  const TRect screen{0, 0, kScreenWidth, kScreenHeight};
  Pixmap last = 0;
  for (bool stretched : {false, true}) {
    SCOPED_TRACE(stretched ? "stretched" : "centred");
    WallpaperReload().Reload("/w.bmp", picture, stretched);
    const Pixmap p = RootPixmap(d.x, "_XROOTPMAP_ID");
    ASSERT_NE(p, Pixmap(0));
    EXPECT_EQ(RootPixmap(d.x, "ESETROOT_PMAP_ID"), p);
    const TBitmap32 shown = PixmapPixels(d.x, p);
    ASSERT_EQ(shown.Width(), kScreenWidth);
    ASSERT_EQ(shown.Height(), kScreenHeight);
    if (stretched) {
      EXPECT_EQ(shown.Pixel(0, 0), picture.Pixel(0, 0));
      EXPECT_EQ(shown.Pixel(kScreenWidth - 1, kScreenHeight - 1), picture.Pixel(39, 29));
    } else {
      const TPoint at{(kScreenWidth - 40) / 2, (kScreenHeight - 30) / 2};
      EXPECT_EQ(Difference(shown, picture, picture.BoundsRect(), at), "");
      EXPECT_EQ(shown.Pixel(0, 0), Color32(0, 0, 0));
    }
    // Where no window covers it, the screen shows the background.
    EXPECT_EQ(Difference(d.server->Screenshot(), shown, TRect{0, 0, 8, 8}), "");
    if (last) {
      EXPECT_NE(p, last);
      EXPECT_TRUE(PixmapPixels(d.x, last).Empty()) << "the last picture is freed";
    }
    last = p;
  }
}

}  // namespace
}  // namespace saver::test
