#pragma once
// The fixture of the end-to-end tests: the real player binary on a private
// X server, savers built for it, input through xdotool and screenshots.
#include <gtest/gtest.h>
#include <X11/extensions/XTest.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "desktop/xvfb_display.h"
#include "media/media_files.h"
#include "payload/decoders/picture_decoder.h"
#include "pictures/saver_builder.h"
#include "payload/reader_test_file.h"
#include "platform/registry.h"

namespace saver {
namespace e2e {

using namespace saver::testing;
using Clock = std::chrono::steady_clock;

inline const std::string kPlayer = std::string(SAVER_BINARY_DIR) + "/src/app/saver";
inline const std::string kInspect = std::string(SAVER_BINARY_DIR) + "/tools/saver-inspect";

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The peak resident memory of a running process, in bytes; -1 when it is gone.
inline int64_t PeakBytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
  return -1;
}

inline bool WaitUntil(const std::function<bool()>& pred, double seconds = 15) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(int(seconds * 1000));
  while (Clock::now() < deadline) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return pred();
}

// How much of b differs from a: the share of pixels with a channel off by
// more than 24 levels.
inline double Mismatch(const TBitmap32& a, const TBitmap32& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 1;
  size_t off = 0;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x) {
      const TColor32 p = a.Pixel(x, y), q = b.Pixel(x, y);
      if (std::abs(RedOf(p) - RedOf(q)) > 24 || std::abs(GreenOf(p) - GreenOf(q)) > 24 ||
          std::abs(BlueOf(p) - BlueOf(q)) > 24)
        ++off;
    }
  return double(off) / double(size_t(a.Width()) * size_t(a.Height()));
}

inline TBitmap32 Gradient(int32_t w, int32_t h, int variant) {
  TBitmap32 b(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      b.SetPixel(x, y, variant == 0   ? Color32(uint8_t(x * 255 / w), 40, uint8_t(y * 255 / h))
                       : variant == 1 ? Color32(30, uint8_t(y * 255 / h), uint8_t(255 - x * 255 / w))
                                      : Color32(uint8_t(255 - y * 255 / h), uint8_t(x * 255 / w), 90));
  return b;
}

class Player : public ::testing::Test {
 protected:
  void SetUp() override { StartServer(320, 240); }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  void StartServer(int w, int h) {
    std::string error;
    x = test::XvfbDisplay::Start(w, h, &error);
    ASSERT_TRUE(x) << error;
    PrepareEnvironment();
  }

  // The player's folders, settings and helpers in the scratch folder.
  void PrepareEnvironment() {
    setenv("XDG_CONFIG_HOME", scratch.Path("config").c_str(), 1);
    setenv("XDG_DATA_HOME", scratch.Path("data").c_str(), 1);
    setenv("SAVER_MPV_OPTIONS", "ao=null", 1);
    setenv("SAVER_SYSTEM_DIR", SAVER_TEST_SYSTEM_DIR, 1);
    setenv("SAVER_TEST_LIBRARY_LOG", scratch.Path("libraries.log").c_str(), 1);
    unsetenv("QT_QPA_PLATFORM");
    // A recording xdg-open comes first on PATH.
    const std::string bin = scratch.Path("bin");
    std::filesystem::create_directories(bin);
    std::ofstream(bin + "/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << scratch.Path("opened.txt")
                                     << "'\n";
    std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
    static const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    setenv("PATH", (bin + ":" + path).c_str(), 1);
  }

  // A saver of three gradient pictures (the first with a caption) that
  // change every second, with the given exits.
  SaverBuilder Saver(bool move, bool button, bool keyboard, bool esc) {
    SaverBuilder b;
    b.player.assign(std::istreambuf_iterator<char>(std::ifstream(kPlayer, std::ios::binary).rdbuf()), {});
    b.text.Title = "Player Test";
    b.text.Exitlink = "https://example.com/goodbye";
    b.text.Effect = "\x73";  // crossfade
    b.trailer.Seconds = 1;
    b.trailer.EffectSpeed = 8;
    b.trailer.Stretch = 1;
    b.trailer.BackColor = 0x00402010;
    b.trailer.BackColor2 = 0x00402010;
    b.trailer.ExitMouseMove = move;
    b.trailer.ExitMouseButton = button;
    b.trailer.ExitKeyboard = keyboard;
    b.trailer.ExitESC = esc;
    for (int i = 0; i < 3; ++i) b.AddPng(Gradient(160, 120, i));
    b.pictures[0].entry.Caption = "Gradient";
    b.pictures[0].entry.CaptionPos = 5;
    b.pictures[0].entry.CaptionFontSize = 14;
    b.pictures[0].entry.CaptionColor = 0x00FFFFFF;
    b.pictures[0].entry.CaptionTransparent = 1;
    return b;
  }
  std::string Write(SaverBuilder& b, const std::string& name = "test.scr") {
    const std::string path = scratch.Write(name, b.Build());
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
  }

  void Launch(const std::string& saver, std::vector<std::string> args) {
    const std::string out = scratch.Path("out.txt");
    pid_ = fork();
    if (pid_ == 0) {
      freopen(out.c_str(), "w", stdout);
      dup2(fileno(stdout), STDERR_FILENO);
      std::vector<char*> argv{const_cast<char*>(saver.c_str())};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(saver.c_str(), argv.data());
      _exit(127);
    }
  }
  // The player's exit status, or -1 when it did not end in time (it is then
  // killed) or ended by a signal.
  int WaitExit(double seconds = 15) {
    int status = 0;
    const bool ended = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, seconds);
    if (!ended) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    output = ReadText(scratch.Path("out.txt"));
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  bool Running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

  void Xdo(const std::string& args) {
    ASSERT_EQ(std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()), 0) << args;
  }
  // Picture index as the show composes it, at the screen's size or another.
  TBitmap32 Composed(const std::string& saver, int index, int width = 0, int height = 0) {
    const std::string size = std::to_string(width ? width : x->Width()) + "x" +
                             std::to_string(height ? height : x->Height());
    const std::string out = scratch.Path("composed-" + std::to_string(index) + "-" + size + ".png");
    const std::string cmd = "QT_QPA_PLATFORM=offscreen '" + kInspect + "' --compose " + std::to_string(index) +
                            " --size " + size + " --out '" + out + "' '" + saver + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return DecodePictureFile(out, ".png");
  }
  bool ScreenShows(const TBitmap32& picture, double seconds = 15) {
    return WaitUntil([&] { return Mismatch(x->Screenshot(), picture) < 0.01; }, seconds);
  }
  std::string TempFolder() const { return scratch.Path("saver-" + std::to_string(geteuid())); }

  ScratchDir scratch;  // also the temporary folder
  std::unique_ptr<test::XvfbDisplay> x;
  std::string output;
  pid_t pid_ = -1;
};

}  // namespace e2e
}  // namespace saver
