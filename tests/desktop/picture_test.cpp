// Picture controls on a real window: what reaches the screen, and only that.
#include <gtest/gtest.h>

#include "desktop_fixture.h"

namespace saver::test {

void CheckPicturePainting(TestDesktop& d) {
  const int32_t width = d.server->Width(), height = d.server->Height();
  const TRect all{0, 0, width, height};
  auto window = MakeFullScreenWindow(*d.system);
  ASSERT_EQ(window->Bounds(), all);
  IPictureControl& picture = window->AddPicture("picture", all);
  ISurface& surface = picture.Surface();
  ASSERT_EQ(surface.Width(), width);
  ASSERT_EQ(surface.Height(), height);

  // Painted before the window shows: the first expose puts it on screen.
  const TBitmap32 first = Noise(width, height, 1);
  surface.StretchFrom(first, all, all);
  surface.Invalidate();
  window->Show();
  std::string diff;
  EXPECT_TRUE(PumpUntil([&] {
    return (diff = Difference(d.server->Screenshot(), first, all)).empty();
  })) << diff;

  // Another client scribbles over the window; a small paint (stretched to
  // twice its size) must put back its own rectangle and leave the scribble
  // everywhere else. (A paint into the picture waits until the server has
  // read what was put from it before: no earlier paint lands late.)
  const TBitmap32 second = Noise(50, 25, 2);
  const TRect target{60, 40, 160, 90};
  const Window handle = Window(window->Handle());
  TBitmap32 expected(width, height);
  expected.Clear(0xFF00FF00u);
  second.DrawTo(expected, target, second.BoundsRect());
  TBitmap32 shot;
  // On a loaded machine an expose of the window's appearance can still come
  // after the scribble and rightly repaint all of it: then scribble and paint
  // again (an Invalidate with nothing painted since the last puts nothing).
  for (int attempt = 0; attempt < 5; ++attempt) {
    surface.StretchFrom(second, second.BoundsRect(), target);
    GC gc = XCreateGC(d.x, handle, 0, nullptr);
    XSetForeground(d.x, gc, 0x00FF00);
    XSetSubwindowMode(d.x, gc, IncludeInferiors);  // over the controls too
    XFillRectangle(d.x, handle, gc, 0, 0, unsigned(width), unsigned(height));
    XSync(d.x, False);
    XFreeGC(d.x, gc);
    surface.Invalidate();
    EXPECT_TRUE(PumpUntil([&] {
      shot = d.server->Screenshot();
      return Difference(shot, expected, target).empty();
    }));
    if (Difference(shot, expected, all).empty()) break;
  }
  EXPECT_EQ(Difference(shot, expected, all), "");

  // The snapshot a transition takes is what the control shows.
  TBitmap32 snapshot(width, height);
  surface.CopyTo(snapshot, all);
  TBitmap32 shown = first;
  second.DrawTo(shown, target, second.BoundsRect());
  EXPECT_EQ(Difference(snapshot, shown, all), "");

  // Repaint shows Buffer from the corner, over everything the surface held.
  picture.Buffer() = Noise(width, height, 3);
  picture.Repaint();
  EXPECT_TRUE(PumpUntil([&] {
    return (diff = Difference(d.server->Screenshot(), picture.Buffer(), all)).empty();
  })) << diff;
}

namespace {

TEST(PictureControl, PaintsWhatStretchFromDrewAndOnlyTheInvalidatedRectangle) {
  CheckPicturePainting(Desktop());
}

TEST(PictureControl, BackToBackFramesEndOnTheLastWithLaterPaintsOnTop) {
  TestDesktop& d = Desktop();
  auto window = MakeFullScreenWindow(*d.system);
  IPictureControl& picture = window->AddPicture("picture", window->Bounds());
  ISurface& surface = picture.Surface();
  window->Show();
  const TRect all{0, 0, kScreenWidth, kScreenHeight};
  // Whole frames as fast as they come, as a transition paints them (the
  // server is still copying one when the next arrives), then a part of one.
  TBitmap32 expected;
  for (uint32_t round = 0; round < 6; ++round) {
    for (uint32_t i = 0; i < 4; ++i) {
      expected = Noise(kScreenWidth, kScreenHeight, 10 * round + i);
      surface.StretchFrom(expected, all, all);
      surface.Invalidate();
    }
    const TBitmap32 patch = Noise(64, 48, 100 + round);
    const TRect at{500, 400, 564, 448};
    surface.StretchFrom(patch, patch.BoundsRect(), at);
    surface.Invalidate();
    patch.DrawTo(expected, at.Left, at.Top);
    TBitmap32 snapshot(kScreenWidth, kScreenHeight);
    surface.CopyTo(snapshot, all);
    EXPECT_EQ(Difference(snapshot, expected, all), "") << "round " << round;
  }
  std::string diff;
  EXPECT_TRUE(PumpUntil([&] {
    return (diff = Difference(d.server->Screenshot(), expected, all)).empty();
  })) << diff;
}

TEST(PictureControl, ControlsStackInTheOrderMadeAndRaised) {
  TestDesktop& d = Desktop();
  auto window = MakeFullScreenWindow(*d.system);
  IPictureControl& picture = window->AddPicture("picture", window->Bounds());
  const TRect panelBounds{100, 80, 300, 200};
  IControl& panel = window->AddPanel("panel", panelBounds);
  panel.SetColor(0xFF2040C0u);
  const TBitmap32 frame = Noise(kScreenWidth, kScreenHeight, 4);
  picture.Surface().StretchFrom(frame, frame.BoundsRect(), frame.BoundsRect());
  window->Show();
  const TRect all{0, 0, kScreenWidth, kScreenHeight};
  TBitmap32 expected = frame;
  expected.FillRect(panelBounds, 0xFF2040C0u);
  std::string diff;
  EXPECT_TRUE(PumpUntil([&] {
    return (diff = Difference(d.server->Screenshot(), expected, all)).empty();
  })) << "the panel made later is on top: " << diff;
  // And stays on top while the picture under it changes.
  const TBitmap32 next = Noise(kScreenWidth, kScreenHeight, 5);
  picture.Surface().StretchFrom(next, next.BoundsRect(), next.BoundsRect());
  picture.Surface().Invalidate();
  expected = next;
  expected.FillRect(panelBounds, 0xFF2040C0u);
  EXPECT_TRUE(PumpUntil([&] {
    return (diff = Difference(d.server->Screenshot(), expected, all)).empty();
  })) << "the panel stays on top: " << diff;

  // The panel's own native window (video draws into it) sits at its bounds.
  const Window handle = Window(panel.Handle());
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  ASSERT_TRUE(XQueryTree(d.x, handle, &root, &parent, &children, &count));
  if (children) XFree(children);
  EXPECT_EQ(parent, Window(window->Handle()));
  int x = 0, y = 0;
  unsigned w = 0, h = 0, border = 0, depth = 0;
  XGetGeometry(d.x, handle, &root, &x, &y, &w, &h, &border, &depth);
  EXPECT_EQ((TRect{x, y, x + int(w), y + int(h)}), panelBounds);

  picture.BringToFront();
  EXPECT_TRUE(PumpUntil([&] {
    return (diff = Difference(d.server->Screenshot(), next, all)).empty();
  })) << "the raised picture is on top: " << diff;
  // Hidden controls show the window's colour.
  window->SetColor(0xFF102030u);
  panel.SetVisible(false);
  picture.SetVisible(false);
  EXPECT_FALSE(picture.Visible());
  EXPECT_TRUE(PumpUntil([&] { return d.server->Screenshot().Pixel(150, 100) == 0xFF102030u; }));
}

}  // namespace
}  // namespace saver::test
