// The wallpaper on a desktop with no setting of its own: the root window's
// background, as another client of the X server sees it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "desktop_fixture.h"
#include "platform/desktop_wallpaper.h"

namespace saver::test {
namespace {

TEST(RootBackground, AnUnknownDesktopShowsThePictureOnTheRootWindowAndFreesTheLastOne) {
  TestDesktop& d = Desktop();
  ::unsetenv("XDG_CURRENT_DESKTOP");
  const TBitmap32 picture = Noise(40, 30, 7);
  unsigned long last = 0;
  for (bool stretched : {false, true}) {
    SCOPED_TRACE(stretched ? "stretched" : "centred");
    WallpaperReload().Reload("/w.bmp", picture, stretched);
    const unsigned long p = RootPixmapProperty(d.x, "_XROOTPMAP_ID");
    ASSERT_NE(p, 0u);
    EXPECT_EQ(RootPixmapProperty(d.x, "ESETROOT_PMAP_ID"), p);
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
