// The settings panel on the in-memory desktop, where time moves only when
// the test fires a timer: when previews start, and the layout at a scale.
#include <gtest/gtest.h>

#include "show/show_harness.h"

namespace saver::testing {
namespace {

class PanelOnFakes : public ::testing::Test {
 protected:
  void Start(double scale = 1.0) {
    show.desk.ws.layoutScale = scale;
    show.desk.ws.monitors = {TRect{0, 0, 1600, 1200}};
    if (show.b.music.empty()) show.b.AddMusic({'a'}, ".wav");
    show.b.banner = {1};
    show.Start({"/c"});
    panel().OnPreviewStart = [this](int32_t effect) { started.push_back(effect); };
  }
  TConfigPanel& panel() { return show.w->ConfigPanel(); }
  FakeCheckListBox& list() { return show.Fake().Get<FakeCheckListBox>("lbEffects"); }
  // Fires the preview timer once; the milliseconds it was due after now.
  uint32_t Tick() {
    FakeTimer* next = show.desk.ws.NextTimer();
    EXPECT_EQ(next, &static_cast<FakeTimer&>(panel().PreviewTimer()));
    const uint32_t wait = next->Due() - show.desk.clock.TickCount();
    show.desk.ws.FireNextTimer();
    return wait;
  }
  void Finish() { show.Settle(); }

  ShowHarness show{2};
  std::vector<int32_t> started;
};

TEST_F(PanelOnFakes, APreviewStartsAtTheFirstTickAfterAClickOnARow) {
  Start();
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_TRUE(started.empty()) << "nothing was asked for";
  list().ClickRow(6);
  EXPECT_LE(Tick(), 200u);
  EXPECT_EQ(started, std::vector<int32_t>{7});
  EXPECT_TRUE(TransitionRunning);
  Finish();
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_EQ(started, std::vector<int32_t>{7}) << "each click plays once";
}

TEST_F(PanelOnFakes, QuickClicksAbortThePreviewAndOnlyTheLastRowPlaysOnce) {
  Start();
  list().ClickRow(3);
  Tick();
  ASSERT_TRUE(TransitionRunning);  // the worker waits for the UI thread's paints
  list().ClickRow(7);
  list().ClickRow(9);
  EXPECT_TRUE(AbortTransition);
  Tick();  // still running: nothing new starts
  EXPECT_EQ(started, std::vector<int32_t>{4});
  Finish();
  Tick();
  EXPECT_EQ(started, (std::vector<int32_t>{4, 10}));
  Finish();
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_EQ(started, (std::vector<int32_t>{4, 10}));
}

TEST_F(PanelOnFakes, TheLayoutScaleSizesTheWholeDialog) {
  for (double scale : {1.0, 2.0}) {
    SCOPED_TRACE(scale);
    show.w.reset();
    Start(scale);
    auto px = [scale](int32_t v) { return int32_t(v * scale); };
    FakeWindow& w = show.Fake();
    EXPECT_EQ(w.Bounds().Width(), px(505));
    EXPECT_EQ(w.Bounds().Height(), px(381));
    EXPECT_EQ(w.Find("btnClose")->Bounds(), (TRect{px(418), px(263), px(493), px(288)}));
    // One track: the playlist group ends 10 pixels below "Repeat playlist".
    EXPECT_EQ(w.Find("GroupBox1")->Bounds().Height(), px(47));
    auto& preview = static_cast<FakePictureControl&>(panel().PreviewSurface());
    EXPECT_EQ(preview.Screen().Width(), px(119));
    EXPECT_EQ(preview.Screen().Height(), px(95));
    // The samples fill it, whatever the scale.
    list().ClickRow(0);
    Tick();
    Finish();
    const TColor32 corner = preview.Screen().Pixel(px(118), px(94));  // sample 1's meadow
    EXPECT_GT(GreenOf(corner), RedOf(corner));
    EXPECT_GT(GreenOf(corner), BlueOf(corner));
    EXPECT_EQ(w.Get<FakePageControl>("PageControl").tabWidth, px(70));
    EXPECT_EQ(w.font.pixelHeight, 11) << "fonts scale in the backend";
  }
}

}  // namespace
}  // namespace saver::testing
