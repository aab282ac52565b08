// Where another program's window is on the screen, nested or not.
#include <gtest/gtest.h>

#include "desktop_fixture.h"

namespace saver::test {
namespace {

TEST(DesktopWindows, AWindowsScreenRectIsWhereItIsOnTheScreen) {
  TestDesktop& d = Desktop();
  const Window other = MakeForeignWindow(d.x, "Screen Rect Window", 120, 80);
  const Window inner = XCreateSimpleWindow(d.x, other, 30, 20, 50, 40, 0, 0, 0);
  XMapWindow(d.x, inner);
  XSync(d.x, False);
  IWindowSystem& ws = *d.system;
  EXPECT_EQ(ws.WindowScreenRect(other), (TRect{10, 10, 130, 90}));
  EXPECT_EQ(ws.WindowScreenRect(inner), (TRect{40, 30, 90, 70}));
  EXPECT_EQ(ws.WindowScreenRect(0x7FFFFF0), TRect{}) << "an id of no window";
  XDestroyWindow(d.x, other);
  XSync(d.x, False);
}

}  // namespace
}  // namespace saver::test
