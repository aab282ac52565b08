// The full-screen show on the in-memory desktop: which picture comes when,
// how (at once or through a transition), and for how long.
#include <gtest/gtest.h>

#include <algorithm>

#include "show/show_harness.h"

namespace saver {
namespace {

using namespace saver::testing;

TEST(ShowCycle, OrdersAndStartPicture) {
  struct Case {
    const char* name;
    int32_t count, order;
    bool startWithFirst;
    std::vector<int32_t> shown;          // the start picture, then one per tick
    std::vector<bool> withTransition;    // per tick
  };
  const Case cases[] = {
      {"sequential", 3, 0, false, {0, 1, 2, 0, 1, 2}, {true, true, true, true, true}},
      {"sequential, start with first", 3, 0, true, {0, 1, 2, 1, 2, 1},
       {true, true, true, true, true}},
      // Down to one picture after picture 0: later pictures come in at once.
      {"random of two, start with first", 2, 1, true, {0, 1, 1, 1, 1},
       {true, false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShowHarness show(c.count);
    show.b.trailer.DisplayOrder = c.order;
    show.b.trailer.StartWithFirst = c.startWithFirst;
    show.Start();
    EXPECT_EQ(show.OnScreen(), c.shown[0]);  // painted at once, before any tick
    EXPECT_FALSE(show.w->FirstPicture);
    for (size_t i = 1; i < c.shown.size(); ++i) {
      ASSERT_TRUE(show.Tick()) << "tick " << i;
      EXPECT_EQ(show.OnScreen(), c.shown[i]) << "tick " << i;
      EXPECT_EQ(show.transitioned, c.withTransition[i - 1]) << "tick " << i;
    }
  }
}

TEST(ShowCycle, OnePictureIsPaintedOnceMoreThenTheTimerStops) {
  ShowHarness show(1);
  show.Start();
  EXPECT_EQ(show.OnScreen(), 0);
  EXPECT_TRUE(show.w->Data.Text.Effect.empty());  // nothing to pass between
  ASSERT_TRUE(show.Tick());
  EXPECT_FALSE(show.transitioned);
  EXPECT_EQ(show.OnScreen(), 0);
  EXPECT_FALSE(show.Tick());
}

TEST(ShowCycle, DesktopStartShowsTheDesktopThenBringsInThePicture) {
  ShowHarness show(1);
  show.b.trailer.DesktopStart = 1;
  show.b.trailer.StartWithFirst = 1;  // no choice before the start keeps the effects
  show.desk.screen.Desktop().SetSize(64, 48);
  show.desk.screen.Desktop().Clear(Color32(255, 0, 255));
  show.Start();
  EXPECT_EQ(show.w->Image32().Surface().Width(), 64);
  EXPECT_EQ(static_cast<FakePictureControl&>(show.w->Image32()).Screen().Pixel(5, 5),
            Color32(255, 0, 255));
  EXPECT_EQ(show.ShowTimer().Interval(), 1u);
  EXPECT_EQ(show.w->Data.Trailer.DesktopStart, 0);  // only for the start
  ASSERT_TRUE(show.Tick());
  EXPECT_TRUE(show.transitioned);
  EXPECT_EQ(show.OnScreen(), 0);
  EXPECT_TRUE(show.w->Data.Text.Effect.empty());
  ASSERT_TRUE(show.Tick());  // the transition's end re-armed the timer once
  EXPECT_FALSE(show.transitioned);
  EXPECT_FALSE(show.Tick());
}

TEST(ShowCycle, AnItemsOwnDisplayTimeAppliesAfterItOnly) {
  ShowHarness show(3);
  show.b.pictures[1].entry.ItemSeconds = 12;
  show.Start();
  auto nextIn = [&] { return show.ShowTimer().Due() - show.desk.clock.TickCount(); };
  EXPECT_EQ(nextIn(), 5000u);
  ASSERT_TRUE(show.Tick());  // picture 1, counted from the end of its transition
  EXPECT_EQ(nextIn(), 12000u);
  ASSERT_TRUE(show.Tick());  // picture 2
  EXPECT_EQ(nextIn(), 5000u);
}

TEST(ShowCycle, AFailingItemLeavesTheScreenAndTheNextPictureComesAtOnce) {
  ShowHarness show(3);
  show.b.pictures[0].data = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
  show.Start();
  EXPECT_EQ(show.OnScreen(), -1);  // still the background
  EXPECT_TRUE(show.w->FirstPicture);
  ASSERT_TRUE(show.Tick());
  EXPECT_FALSE(show.transitioned);  // still the show's first picture
  EXPECT_EQ(show.OnScreen(), 1);
  ASSERT_TRUE(show.Tick());
  EXPECT_TRUE(show.transitioned);
  EXPECT_EQ(show.OnScreen(), 2);
  ASSERT_TRUE(show.Tick());  // picture 0 fails again: picture 2 stays
  EXPECT_EQ(show.OnScreen(), 2);
  // No item file is left behind by the failure or the successes.
  const std::string temp = show.desk.scratch.Path("saver-" + std::to_string(geteuid()));
  EXPECT_TRUE(std::filesystem::is_empty(temp));
}

TEST(ShowCycle, TwoMonitorsShowTheFirstPictureOnBothThenAlternate) {
  ShowHarness show(3);
  show.desk.ws.monitors = {TRect{0, 0, 64, 48}, TRect{64, 0, 128, 48}};
  show.Start();
  ASSERT_EQ(show.w->MonitorWindows().Count(), 2u);
  EXPECT_EQ(show.w->MonitorWindows()[1].Window->Bounds(), (TRect{64, 0, 128, 48}));
  EXPECT_TRUE(show.w->MonitorWindows()[1].Window->Visible());
  IPictureControl& second = *show.w->MonitorWindows()[1].Image;
  EXPECT_EQ(ShowHarness::Showing(show.w->Image32()), 0);
  EXPECT_EQ(ShowHarness::Showing(second), 0);
  ASSERT_TRUE(show.Tick());
  EXPECT_EQ(ShowHarness::Showing(show.w->Image32()), 0);
  EXPECT_EQ(ShowHarness::Showing(second), 1);
  ASSERT_TRUE(show.Tick());
  EXPECT_EQ(ShowHarness::Showing(show.w->Image32()), 2);
  EXPECT_EQ(ShowHarness::Showing(second), 1);
}

TEST(ShowCycle, EachWindowsBufferHoldsThePictureOnItsScreenOnceTheTransitionEnds) {
  // The transition has the incoming picture while it runs and gives it back
  // to the buffer of the window it went to; F2 meanwhile still sets the
  // wallpaper.
  ShowHarness show(3);
  show.desk.ws.monitors = {TRect{0, 0, 64, 48}, TRect{64, 0, 128, 48}};
  show.Start();
  for (int tick = 0; tick < 4; ++tick) {
    ASSERT_TRUE(show.desk.ws.FireNextTimer());
    ASSERT_TRUE(TransitionRunning);
    show.Send(msg::KeyDown, vk::F2);
    show.Settle();
    for (IPictureControl* c : {&show.w->Image32(), show.w->MonitorWindows()[1].Image}) {
      const TBitmap32& screen = static_cast<FakePictureControl*>(c)->Screen();
      const TBitmap32& buffer = c->Buffer();
      ASSERT_EQ(buffer.Width(), screen.Width());
      ASSERT_EQ(buffer.Height(), screen.Height());
      EXPECT_TRUE(std::equal(buffer.Bits(), buffer.Bits() + 64 * 48, screen.Bits()));
    }
  }
  EXPECT_EQ(show.desk.wallpaper.calls.size(), 4u);
}

TEST(ShowCycle, WithoutPicturesTheWindowStaysBlankAndNoTimerRuns) {
  ShowHarness show(0);
  show.Start();
  EXPECT_TRUE(show.Fake().Visible());
  EXPECT_FALSE(show.ShowTimer().Enabled());
  EXPECT_FALSE(show.Tick());
}

TEST(ShowCycle, TheStartShowsTheSaverFullScreenWithItsTitleAndNoCursor) {
  ShowHarness show(2);
  show.desk.ws.cursorPos = TPoint{20, 30};
  show.Start();
  EXPECT_EQ(show.Fake().Title(), "Show Test");
  EXPECT_EQ(show.desk.ws.appTitle, "Show Test");
  EXPECT_EQ(show.Fake().Bounds(), (TRect{0, 0, 64, 48}));
  EXPECT_EQ(show.Fake().borderStyle, TBorderStyle::None);
  EXPECT_TRUE(show.Fake().stayOnTop);
  EXPECT_EQ(show.desk.ws.cursorCount, -1);
  EXPECT_TRUE(show.desk.ws.screenSaverRunning);
  EXPECT_EQ(show.desk.ws.appExStyle & kWsExToolWindow, kWsExToolWindow);
  EXPECT_EQ(show.w->MouseOrigin, (TPoint{20, 30}));  // taken when the window was shown
  EXPECT_TRUE(show.desk.ws.HasMessageFilter());
}

TEST(ShowModes, PreviewPaintsThePreviewPictureIntoItsParentAndNothingElseRuns) {
  ShowHarness show(2);
  TBitmap32 preview(4, 4);
  preview.Clear(PictureColor(3));
  show.b.preview = EncodeBmp(preview);
  show.desk.ws.others[4242] = {.title = "preview", .rect = TRect{0, 0, 152, 112}};
  show.Start({"/p", "4242"});
  EXPECT_EQ(show.Fake().parent, 4242u);
  EXPECT_EQ(show.Fake().Bounds(), (TRect{0, 0, 152, 112}));
  EXPECT_TRUE(show.w->PrImage().Visible());
  EXPECT_FALSE(show.w->Image32().Visible());
  EXPECT_EQ(ShowHarness::Showing(show.w->PrImage()), 3);
  EXPECT_EQ(static_cast<FakePictureControl&>(show.w->PrImage()).Screen().Width(), 152);
  EXPECT_FALSE(show.ShowTimer().Enabled());
  EXPECT_FALSE(show.desk.ws.HasMessageFilter());
}

TEST(ShowModes, PreviewFitsItsPictureIntoItsParentAndFollowsItsSize) {
  ShowHarness show(1);
  TBitmap32 preview(40, 20);
  preview.Clear(PictureColor(2));
  show.b.preview = EncodeBmp(preview);
  const TWindowHandle parent = show.desk.ws.AddOtherWindow("preview", TRect{0, 0, 200, 150});
  show.Start({"/p", std::to_string(parent)});
  // Where the picture is, and its black bars, at each size.
  const auto check = [&](int32_t w, int32_t h, TRect picture) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    EXPECT_EQ(show.Fake().Bounds(), (TRect{0, 0, w, h}));
    const TBitmap32& s = static_cast<FakePictureControl&>(show.w->PrImage()).Screen();
    ASSERT_EQ(s.Width(), w);
    ASSERT_EQ(s.Height(), h);
    for (const TPoint p :
         {TPoint{picture.Left, picture.Top}, TPoint{picture.Right - 1, picture.Bottom - 1}})
      EXPECT_EQ(s.Pixel(p.X, p.Y) | 0xFF000000u, PictureColor(2));
    // The bars above and below.
    EXPECT_EQ(s.Pixel(0, picture.Top - 1) | 0xFF000000u, Color32(0, 0, 0));
    EXPECT_EQ(s.Pixel(w - 1, picture.Bottom) | 0xFF000000u, Color32(0, 0, 0));
  };
  check(200, 150, TRect{0, 25, 200, 125});
  show.desk.ws.ResizeOtherWindow(parent, 100, 300);
  check(100, 300, TRect{0, 125, 100, 175});
}

TEST(ShowModes, ABarePlayerPreviewsBlackAndReportsNothing) {
  FakeDesktop desk;
  const std::string bare = desk.scratch.Write("bare.scr", std::vector<uint8_t>(300, 0x90));
  TSSWindow w({"/p", "7"}, bare);
  EXPECT_FALSE(w.PrImage().Visible());
  EXPECT_EQ(static_cast<FakeWindow&>(w.Window()).color, Color32(0, 0, 0));
  EXPECT_TRUE(desk.box.shown.empty());
}

}  // namespace
}  // namespace saver
