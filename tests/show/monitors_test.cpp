// The show on several monitors of different sizes: each picture composed
// for the monitor it goes to, in turn, and windows that follow the monitors
// as they are plugged in and removed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "payload/compose/back_picture.h"
#include "show/show_harness.h"

namespace saver {
namespace {

using namespace saver::testing;

constexpr TRect kMain{0, 0, 64, 48};
constexpr TRect kSquare{64, 0, 104, 40};
constexpr TRect kTall{104, 0, 134, 50};

// Four pictures fitted with bars on a fitted background picture, the first
// with a caption: the frame depends on the screen's size.
void SetUpSaver(ShowHarness& show) {
  show.b.trailer.Stretch = StretchFit;
  show.b.trailer.BackColor = 0x00204060;
  show.b.trailer.BackColor2 = 0x00204060;
  TBitmap32 back(6, 2);
  back.Clear(Color32(200, 200, 40));
  back.FillRect(TRect{0, 0, 3, 1}, Color32(40, 40, 200));
  show.b.background = EncodePng(back);
  show.b.trailer.BackPictureExt = ".png";
  show.b.trailer.BackPictureMode = BackPictureFitted;
  show.b.pictures[0].entry.Caption = "Zero";
  show.b.pictures[0].entry.CaptionPos = 3;
  show.b.pictures[0].entry.CaptionFontSize = 4;
  show.b.pictures[0].entry.CaptionColor = 0x00FFFFFF;
}

const TBitmap32& ScreenOf(IPictureControl& c) {
  return static_cast<FakePictureControl&>(c).Screen();
}

bool Same(const TBitmap32& a, const TBitmap32& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::memcmp(a.Bits(), b.Bits(), size_t(a.Width()) * size_t(a.Height()) * 4) == 0;
}

// Each picture as a show on one monitor of that size shows it.
std::vector<TBitmap32> SingleMonitorFrames(const TRect& monitor) {
  ShowHarness show(4);
  SetUpSaver(show);
  show.desk.ws.monitors = {TRect{0, 0, monitor.Width(), monitor.Height()}};
  show.Start();
  std::vector<TBitmap32> frames{ScreenOf(show.w->Image32())};
  while (frames.size() < 4 && show.Tick()) frames.push_back(ScreenOf(show.w->Image32()));
  return frames;
}

using TFrames = std::map<int32_t, std::vector<TBitmap32>>;  // by monitor width

TFrames References() {
  TFrames frames;
  for (const TRect& m : {kMain, kSquare, kTall}) frames[m.Width()] = SingleMonitorFrames(m);
  return frames;
}

// What each monitor window shows: the picture, and whether its pixels are
// those of a single-monitor show of its size.
void ExpectShowing(ShowHarness& show, TFrames& frames, const std::vector<int32_t>& pictures) {
  TMonitorWindows& windows = show.w->MonitorWindows();
  ASSERT_EQ(windows.Count(), pictures.size());
  for (size_t i = 0; i < pictures.size(); ++i) {
    SCOPED_TRACE("monitor " + std::to_string(i));
    const TBitmap32& screen = ScreenOf(*windows[i].Image);
    EXPECT_EQ(ShowHarness::Showing(*windows[i].Image), pictures[i]);
    ASSERT_TRUE(frames.count(screen.Width()));
    EXPECT_TRUE(Same(screen, frames[screen.Width()][size_t(pictures[i])]));
    EXPECT_EQ(windows[i].Window->Bounds().Width(), screen.Width());
  }
}

TEST(ShowMonitors, EachMonitorGetsThePicturesInTurnComposedAtItsSize) {
  TFrames frames = References();
  ShowHarness show(4);
  SetUpSaver(show);
  show.desk.ws.monitors = {kMain, kSquare, kTall};
  show.Start();
  EXPECT_EQ(show.w->MonitorWindows()[2].Window->Bounds(), kTall);
  // The first picture on every monitor, then one monitor after the other.
  const std::vector<std::vector<int32_t>> shown = {
      {0, 0, 0}, {0, 1, 0}, {0, 1, 2}, {3, 1, 2}, {3, 0, 2}, {3, 0, 1}};
  for (size_t tick = 0; tick < shown.size(); ++tick) {
    SCOPED_TRACE("tick " + std::to_string(tick));
    if (tick > 0) {
      ASSERT_TRUE(show.Tick());
      EXPECT_TRUE(show.transitioned);
    }
    ExpectShowing(show, frames, shown[tick]);
  }
  // The look-ahead composed each picture for the monitor it went to.
  EXPECT_EQ(show.w->ComposeAhead()->FramesUsed(), int32_t(shown.size() - 1));
}

TEST(ShowMonitors, WindowsFollowMonitorsPluggedInAndRemoved) {
  TFrames frames = References();
  ShowHarness show(4);
  SetUpSaver(show);
  show.desk.ws.monitors = {kMain, kSquare};
  show.Start();
  ASSERT_TRUE(show.Tick());
  ExpectShowing(show, frames, {0, 1});

  // A new monitor shows the current picture at its size and joins the turn.
  show.desk.ws.ChangeMonitors({kMain, kSquare, kTall});
  EXPECT_TRUE(show.w->MonitorWindows()[2].Window->Visible());
  ExpectShowing(show, frames, {0, 1, 1});
  ASSERT_TRUE(show.Tick());
  ExpectShowing(show, frames, {0, 1, 2});

  // A monitor goes while a transition paints its window: the window stays
  // until the transition has ended, then goes; the turn goes on.
  show.desk.ws.ChangeMonitors({kMain, kSquare});
  ASSERT_TRUE(show.Tick());
  ExpectShowing(show, frames, {3, 1});
  ASSERT_TRUE(show.desk.ws.FireNextTimer());
  ASSERT_TRUE(TransitionRunning);  // picture 0 comes onto the square monitor
  show.desk.ws.ChangeMonitors({kMain, kTall});
  EXPECT_EQ(show.w->MonitorWindows().Count(), 3u);
  show.Settle();
  ExpectShowing(show, frames, {3, 0});  // the tall monitor's new window: the current picture
  const auto windows = show.desk.ws.Windows();
  EXPECT_EQ(std::count_if(windows.begin(), windows.end(),
                          [](FakeWindow* w) { return w->Bounds() == kSquare; }),
            0);
  ASSERT_TRUE(show.Tick());
  ExpectShowing(show, frames, {1, 0});

  // The primary monitor changes its size: the main window follows it with
  // its picture composed anew.
  constexpr TRect kSmallerMain{0, 0, kSquare.Width(), kSquare.Height()};
  show.desk.ws.ChangeMonitors({kSmallerMain, kTall});
  EXPECT_EQ(show.Fake().Bounds(), kSmallerMain);
  ExpectShowing(show, frames, {1, 0});
}

}  // namespace
}  // namespace saver
