// The show's peak resident memory as a user runs it: the real player with /s
// on a private X server of 1920x1080 and 3840x2160, for 40 seconds
// (SAVER_BENCH_SHOW_SECONDS sets another time), its high-water mark (VmHWM)
// read from /proc just before it is ended. The savers: six 12-megapixel JPEG
// photos (4000x3000, quality 90, made at the start) and a hundred of them,
// two seconds each through every effect, without music; and the demo saver,
// with its music and video (played to no sound device).
//
// Counters: peak_MiB, pictures (the saver's items, videos included) and
// loads_media (whether the media library was mapped at the end). The time is
// the show's running time.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "bench_common.h"
#include "desktop/xvfb_display.h"
#include "payload/format/reader.h"
#include "photo_jpeg.h"
#include "pictures/saver_builder.h"
#include "trans/trans.h"

namespace saver::bench {
namespace {

namespace fs = std::filesystem;

// A scratch folder that is also the player's temporary, settings and data folder.
const fs::path& Scratch() {
  static const fs::path dir = [] {
    const fs::path d = fs::temp_directory_path() / ("saver-bench-memory-" + std::to_string(getpid()));
    fs::create_directories(d);
    setenv("TMPDIR", d.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (d / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (d / "data").c_str(), 1);
    fs::create_directories(d / "runtime");
    fs::permissions(d / "runtime", fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", (d / "runtime").c_str(), 1);
    setenv("SAVER_MPV_OPTIONS", "ao=null", 1);
    unsetenv("QT_QPA_PLATFORM");
    return d;
  }();
  return dir;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A saver of `count` photos, the six made at the start in turn.
std::string PhotoSaver(int count) {
  static const std::vector<std::vector<uint8_t>> photos = [] {
    std::vector<std::vector<uint8_t>> p;
    for (uint32_t seed = 1; seed <= 6; ++seed) p.push_back(PhotoJpeg(4000, 3000, seed));
    return p;
  }();
  testing::SaverBuilder b;
  b.player = FileBytes(std::string(SAVER_BINARY_DIR) + "/src/app/saver");
  b.text.Title = "Memory";
  for (int32_t effect = 1; effect <= kEffectCount; ++effect) b.text.Effect += char(effect);
  b.trailer.Seconds = 2;
  b.trailer.EffectSpeed = 4;
  b.trailer.Stretch = 0;
  for (int i = 0; i < count; ++i) b.AddPicture(photos[size_t(i) % photos.size()], ".jpg");
  const std::string path = (Scratch() / ("photos-" + std::to_string(count) + ".scr")).string();
  const std::vector<uint8_t> file = b.Build();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  fs::permissions(path, fs::perms::owner_all);
  return path;
}

std::string DemoSaver() {
  const std::string saver = (Scratch() / "demo.scr").string();
  const std::string cmd = std::string("'") + SAVER_BINARY_DIR + "/tools/saver-pack' -q --player '" +
                          SAVER_BINARY_DIR + "/src/app/saver' -o '" + saver + "' '" +
                          SAVER_SOURCE_DIR + "/assets/demo.toml'";
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "memory: cannot pack the demo saver\n");
    std::exit(1);
  }
  return saver;
}

std::string ProcText(pid_t pid, const char* what) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + what);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

double PeakMiB(pid_t pid) {
  const std::string status = ProcText(pid, "status");
  const size_t at = status.find("VmHWM:");
  return at == std::string::npos ? -1 : std::stod(status.substr(at + 6)) / 1024.0;
}

int ShowSeconds() {
  const char* s = std::getenv("SAVER_BENCH_SHOW_SECONDS");
  return s && std::atoi(s) > 0 ? std::atoi(s) : 40;
}

// The items of a saver's picture table.
int Pictures(const std::string& saver) {
  PayloadData data;
  IReaderHost quiet;
  return ReadData(data, saver, false, quiet) ? int(data.PictureTable.size()) : -1;
}

void ShowPeak(benchmark::State& st, TFrameSize size, const std::string& saver) {
  std::string error;
  auto server = test::XvfbDisplay::Start(size.Width, size.Height, &error);
  if (!server) {
    st.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : st) {
    const pid_t pid = fork();
    if (pid == 0) {
      execl(saver.c_str(), saver.c_str(), "/s", static_cast<char*>(nullptr));
      _exit(127);
    }
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(ShowSeconds()));
    const double peak = PeakMiB(pid);
    const bool media = ProcText(pid, "maps").find("libmpv") != std::string::npos;
    st.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    if (peak < 0) {
      st.SkipWithError("the player ended before its time");
      break;
    }
    st.counters["peak_MiB"] = peak;
    st.counters["pictures"] = Pictures(saver);
    st.counters["loads_media"] = media;
  }
}

}  // namespace
}  // namespace saver::bench

int main(int argc, char** argv) {
  using namespace saver::bench;
  Scratch();
  std::atexit([] { std::filesystem::remove_all(Scratch()); });  // before Scratch()'s own end
  const std::pair<const char*, std::function<std::string()>> savers[] = {
      {"SixPhotos", [] { return PhotoSaver(6); }},
      {"HundredPhotos", [] { return PhotoSaver(100); }},
      {"DemoWithMusicAndVideo", DemoSaver},
  };
  for (const auto& [name, make] : savers) {
    auto path = std::make_shared<std::string>();  // made once, when first run
    for (TFrameSize size : kFrameSizes)
      // Not "<What>/<W>x<H>": a peak is no frame, and has no memcpy floor.
      benchmark::RegisterBenchmark((std::string("ShowPeak") + name + "@" +
                                    std::to_string(size.Width) + "x" + std::to_string(size.Height))
                                       .c_str(),
                                   [size, make, path](benchmark::State& st) {
                                     if (path->empty()) *path = make();
                                     ShowPeak(st, size, *path);
                                   })
          ->UseManualTime()
          ->Iterations(1)
          ->Repetitions(1)
          ->Unit(benchmark::kSecond);
  }
  return RunBenchmarks(argc, argv);
}
