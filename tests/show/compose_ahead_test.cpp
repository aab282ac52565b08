// The look-ahead of the next picture: the show is the same with it as
// without it, a failed item stays failed, and a close ends it cleanly.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "payload/format/log_line.h"
#include "show/show_harness.h"

namespace saver {
namespace {

using namespace saver::testing;

bool SameBitmap(const TBitmap32& a, const TBitmap32& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::memcmp(a.Bits(), b.Bits(), size_t(a.Width()) * size_t(a.Height()) * 4) == 0;
}

std::string TempDir(ShowHarness& show) {
  return show.desk.scratch.Path("saver-" + std::to_string(geteuid()));
}

// Sets the look-ahead for the shows made in a scope.
struct ComposeAheadScope {
  explicit ComposeAheadScope(bool on) { ComposeAheadEnabled = on; }
  ~ComposeAheadScope() { ComposeAheadEnabled = true; }
};

// In a daemon's window that changes size twice, with a shuffled playlist
// whose new rounds draw from the show's generator between ticks, and a new
// background for each picture: painted onto each frame, or, with a
// background picture in one of the runs, kept.
TEST(ComposeAhead, TheShowIsTheSameWithAndWithoutIt) {
  struct Run {
    std::vector<int32_t> order;
    std::vector<TBitmap32> screens;
    std::vector<std::string> log;
    PayloadTrailer trailer;
    int32_t framesUsed = 0, failedTicks = 0, ticksComposing = 0;
  };
  constexpr int kTicks = 16;
  const auto play = [](int32_t displayOrder, bool ahead) {
    ComposeAheadScope scope(ahead);
    Run run;
    SetLogSink([&run](const std::string& line) { run.log.push_back(line); });
    ShowHarness show(5);
    show.desk.ws.monitors = {TRect{0, 0, 160, 120}};
    show.b.text.Effect = "\x01\x17\x3d\x73";
    show.b.trailer.DisplayOrder = displayOrder;
    show.b.trailer.Stretch = StretchRandom;
    show.b.trailer.RepaintBackground = 1;
    show.b.trailer.RandomColors = 1;
    show.b.trailer.RandomGradient = 1;
    if (displayOrder == 1) {
      TBitmap32 back(5, 3);
      back.Clear(Color32(10, 200, 90, 128));
      show.b.background = EncodePng(back);
      show.b.trailer.BackPictureExt = ".png";
      show.b.trailer.BackPictureMode = 0;
    }
    show.b.pictures[1].data = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
    show.b.pictures[2].entry.Caption = "two";
    show.b.pictures[2].entry.CaptionPos = 4;
    show.b.pictures[3].entry.ItemStretch = StretchFill;
    TBitmap32 mask(4, 4);
    mask.Clear(Color32(128, 128, 128));
    show.b.pictures[4].entry.MaskIndex = show.b.AddMask(EncodeBmp(mask), 0);
    for (const char* track : {"a", "b"}) show.b.AddMusic({uint8_t(track[0])}, ".wav");
    show.b.trailer.ShuffleMelody = 1;
    show.b.trailer.Loop = 1;
    show.path = show.desk.scratch.Write("show.scr", show.b.Build());
    show.w = std::make_unique<TSSWindow>(std::vector<std::string>{"/s"}, show.path, 0x5000);
    show.desk.ws.Run(show.w->Window());
    show.WaitForLookAhead();
    const auto record = [&] {
      run.order.push_back(show.w->CurrentPicture);
      run.screens.push_back(static_cast<FakePictureControl&>(show.w->Image32()).Screen());
      run.screens.push_back(show.w->Image32().Buffer());  // what a repaint would show
    };
    record();
    for (int i = 0; i < kTicks; ++i) {
      bool drawn = false;  // a new round of the playlist is shuffled
      if (i % 3 == 1) {
        drawn = show.w->MelodyDeck.empty();
        show.desk.player->Finish(true);
      }
      if (i == 5 || i == 11) {
        show.Fake().SetBounds(i == 5 ? TRect{0, 0, 200, 150} : TRect{0, 0, 160, 120});
        show.WaitForLookAhead();
        record();
      }
      const bool failing = show.w->Order.Counter == 1;
      run.failedTicks += failing;
      run.ticksComposing += failing || drawn;
      EXPECT_TRUE(show.Tick());
      record();
    }
    run.trailer = show.w->Data.Trailer;
    if (show.w->ComposeAhead()) run.framesUsed = show.w->ComposeAhead()->FramesUsed();
    show.w.reset();
    SetLogSink({});
    return run;
  };
  for (int32_t displayOrder : {0, 1, 2}) {
    SCOPED_TRACE("display order " + std::to_string(displayOrder));
    const Run without = play(displayOrder, false), with = play(displayOrder, true);
    EXPECT_EQ(with.order, without.order);
    ASSERT_EQ(with.screens.size(), without.screens.size());
    for (size_t i = 0; i < with.screens.size(); ++i)
      EXPECT_TRUE(SameBitmap(with.screens[i], without.screens[i])) << "screen or buffer " << i;
    EXPECT_EQ(with.trailer, without.trailer);
    // The log too: the lines of a frame made ahead come when it is shown,
    // those of a frame dropped never.
    EXPECT_EQ(with.log, without.log);
    // The failing item's ticks and those after a shuffle compose the picture
    // themselves; the others (also those after a resize, which starts the
    // look-ahead anew) take the frame made ahead.
    EXPECT_GT(with.failedTicks, 0);
    EXPECT_EQ(with.framesUsed, kTicks - with.ticksComposing);
  }
}

TEST(ComposeAhead, AFailedItemLeavesTheScreenAndStaysFailedEvenOnceReadable) {
  ShowHarness show(3);
  std::vector<uint8_t>& png = show.b.pictures[1].data;
  const uint8_t signature = png[0];
  png[0] = 'X';
  show.Start();
  ASSERT_EQ(show.OnScreen(), 0);
  ASSERT_TRUE(show.Tick());  // picture 1, prepared ahead, fails
  EXPECT_FALSE(show.transitioned);
  EXPECT_EQ(show.OnScreen(), 0);
  EXPECT_EQ(show.w->CurrentPicture, 0);
  // The item becomes readable in the file: it is not read again.
  {
    std::fstream file(show.path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(100 + show.b.pictures[1].entry.Start);  // past the stand-in player
    file.put(char(signature));
  }
  ASSERT_TRUE(show.Tick());
  EXPECT_EQ(show.OnScreen(), 2);
  ASSERT_TRUE(show.Tick());
  EXPECT_EQ(show.OnScreen(), 0);
  ASSERT_TRUE(show.Tick());
  EXPECT_FALSE(show.transitioned);
  EXPECT_EQ(show.OnScreen(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(TempDir(show)));
}

TEST(ComposeAhead, AnEndDuringTheLookAheadStopsItAndLeavesNoItemFile) {
  for (bool byInput : {true, false}) {
    SCOPED_TRACE(byInput ? "closed by a key" : "window destroyed");
    ShowHarness show(3);
    show.Start();
    ASSERT_TRUE(show.desk.ws.FireNextTimer());  // picture 1; the look-ahead waits for its end
    std::promise<void> extracted;
    std::atomic<bool> stoppedByCancel{false};
    show.w->ComposeAhead()->AfterExtract = [&](const std::atomic<bool>& cancelled) {
      extracted.set_value();
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!cancelled && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      stoppedByCancel = cancelled.load();
    };
    show.desk.ui.PumpUntil([] { return !TransitionRunning.load(); });
    show.desk.ui.ProcessMessages();  // the transition's end starts the look-ahead of picture 2
    ASSERT_EQ(extracted.get_future().wait_for(std::chrono::seconds(20)),
              std::future_status::ready);
    EXPECT_TRUE(std::filesystem::exists(TempDir(show) + "/SSNEXT.png"));
    if (byInput) {
      show.Send(msg::KeyDown, 'A');
      EXPECT_TRUE(show.Fake().closed);
    } else {
      show.w.reset();
    }
    EXPECT_TRUE(stoppedByCancel);
    EXPECT_TRUE(std::filesystem::is_empty(TempDir(show)));
  }
}

}  // namespace
}  // namespace saver
