// The show's memory, end to end: set by the screen, not by the pictures, and
// without the media library when the show has nothing to play.
#include <fstream>
#include <string>

#include "app/player_fixture.h"
#include "payload/decoders/png_writer.h"

namespace saver::e2e {
namespace {

TBitmap32 Solid(int32_t w, int32_t h, TColor32 c) {
  TBitmap32 b(w, h);
  b.Clear(c);
  return b;
}

bool MapsMediaLibrary(pid_t pid) {
  return ReadText("/proc/" + std::to_string(pid) + "/maps").find("libmpv") != std::string::npos;
}


class ShowMemory : public Player {
 protected:
  // Six pictures of one size, the last of its own colour, each a second,
  // through crossfades (which compose whole frames of their own).
  SaverBuilder SixPictures(int32_t width, int32_t height) {
    SaverBuilder b = Saver(false, false, true, false);
    b.pictures.clear();
    b.text.Effect = "\x73";
    b.trailer.EffectSpeed = 10;
    b.trailer.Stretch = 0;
    const std::vector<uint8_t> same = EncodePng(Solid(width, height, Color32(90, 140, 200)));
    for (int i = 0; i < 5; ++i) b.AddPicture(same, ".png");
    b.AddPng(Solid(width, height, Color32(230, 180, 40)));
    return b;
  }
  // Runs the saver until its last picture is on screen; its peak memory then.
  int64_t PeakOfRound(const std::string& saver) {
    const TBitmap32 last = Composed(saver, 5);
    Launch(saver, {"/s"});
    EXPECT_TRUE(ScreenShows(last, 60)) << "the last picture never came";
    const int64_t peak = PeakBytes(pid_);
    Xdo("key x");
    EXPECT_EQ(WaitExit(), 0) << output;
    return peak;
  }
};

TEST_F(ShowMemory, TwelveMegapixelPicturesTakeNoMoreThanSmallOnes) {
  StartServer(800, 600);
  SaverBuilder small = SixPictures(640, 480), large = SixPictures(4000, 3000);
  const int64_t smallPeak = PeakOfRound(Write(small, "small.scr"));
  const int64_t largePeak = PeakOfRound(Write(large, "large.scr"));
  // A frame of this screen is 1.9 MB; a 12-megapixel picture 48 MB.
  EXPECT_LT(largePeak - smallPeak, 8 << 20) << "small " << smallPeak << ", large " << largePeak;
}

TEST_F(ShowMemory, TheMediaLibraryLoadsOnlyForAShowWithSomethingToPlay) {
  const std::string track = scratch.Path("track.wav"), video = scratch.Path("clip.avi");
  WriteWav(track, 30, true);
  WriteVideo(video, 64, 48, 12, 10);
  const auto bytes = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  };
  const struct {
    const char* name;
    bool music, muted, video, loads;
  } cases[] = {
      {"pictures only", false, false, false, false},
      {"muted music", true, true, false, false},
      {"music", true, false, false, true},
      {"a video item", false, false, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SaverBuilder b = Saver(false, false, true, false);
    if (c.music) b.AddMusic(bytes(track), ".wav");
    b.trailer.Mute = c.muted;
    if (c.video) b.AddPicture(bytes(video), ".avi");
    const std::string saver = Write(b);
    Launch(saver, {"/s"});
    ASSERT_TRUE(ScreenShows(Composed(saver, 0))) << "never shown";
    // The library loads once the first picture is up, two seconds after
    // the start at the latest.
    EXPECT_EQ(WaitUntil([&] { return MapsMediaLibrary(pid_); }, 4), c.loads);
    Xdo("key x");
    EXPECT_EQ(WaitExit(), 0) << output;
  }
}

}  // namespace
}  // namespace saver::e2e
