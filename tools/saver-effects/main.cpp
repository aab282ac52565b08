// saver-effects: lists the transition effects and renders them to PNG files
// or an uncompressed AVI video, frame by frame, or as one contact sheet of
// all of them.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "contact_sheet.h"
#include "effect_recorder.h"
#include "payload/avi_writer.h"
#include "payload/picture_decoder.h"
#include "payload/png_writer.h"
#include "sample_pictures.h"
#include "trans/catalogue.h"
#include "trans/trans.h"

namespace fs = std::filesystem;
using namespace saver;

namespace {

constexpr const char* kUsage =
    "usage: saver-effects list\n"
    "       saver-effects render --effect N --old A.png --new B.png\n"
    "                            [--out DIR] [--video FILE.avi [--fps N]]\n"
    "                            [--steps S] [--size WxH] [--delay MS] [--seed S]\n"
    "       saver-effects render --sheet FILE [--old A.png --new B.png] [--steps S]\n"
    "                            [--size WxH]\n"
    "\n"
    "list     prints the effect numbers 1-116 and their captions.\n"
    "render   runs one effect on an in-memory screen that starts as the old picture\n"
    "         and writes the screen after each frame as DIR/frame-0001.png, ...,\n"
    "         the screen after the final frame as DIR/final.png, and\n"
    "         DIR/summary.json. Effect 0 replaces the picture at once; numbers\n"
    "         outside 0-116 pick a random effect. Steps default to 32, the delay\n"
    "         to 9 ms (frames are not timed in real time); --size scales both\n"
    "         pictures (default: the new picture's size); --seed varies the\n"
    "         random effects. At least one of --out and --video is needed.\n"
    "--video  also (or only) writes the frames as an uncompressed AVI: one video\n"
    "         frame per effect frame, then the final picture held for half a\n"
    "         second (N/2 frames, rounded up) so that a player shows the end.\n"
    "         --fps sets the rate, 1-240 frames a second (default 25).\n"
    "--sheet  writes one PNG with every effect at three moments of its run\n"
    "         (pictures scaled to --size, default 96x72; built-in pictures when\n"
    "         --old and --new are not given).\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Options {
  std::optional<int32_t> Effect;
  int32_t Steps = 32;
  int32_t Delay = 9;
  uint64_t Seed = 0;
  std::optional<int32_t> Fps;
  std::string Old, New, Out, Sheet, Video;
  int32_t Width = 0, Height = 0;
};

int32_t ParseInt(const std::string& option, const std::string& text, long long lo, long long hi) {
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || v < lo || v > hi)
    throw UsageError(option + " wants a whole number from " + std::to_string(lo) + " to " +
                     std::to_string(hi) + ", not '" + text + "'");
  return int32_t(v);
}

void ParseSize(const std::string& text, Options& o) {
  const size_t x = text.find('x');
  if (x == std::string::npos) throw UsageError("--size wants WxH, not '" + text + "'");
  o.Width = ParseInt("--size", text.substr(0, x), 1, 16384);
  o.Height = ParseInt("--size", text.substr(x + 1), 1, 16384);
}

Options ParseRender(const std::vector<std::string>& args) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(a + " wants a value");
      return args[++i];
    };
    if (a == "--effect") o.Effect = ParseInt(a, value(), -1000000, 1000000);
    else if (a == "--steps") o.Steps = ParseInt(a, value(), -1000000, 1000000);
    else if (a == "--delay") o.Delay = ParseInt(a, value(), 0, 10000);
    else if (a == "--seed") o.Seed = uint64_t(ParseInt(a, value(), 0, 2147483647));
    else if (a == "--old") o.Old = value();
    else if (a == "--new") o.New = value();
    else if (a == "--out") o.Out = value();
    else if (a == "--sheet") o.Sheet = value();
    else if (a == "--video") o.Video = value();
    else if (a == "--fps") o.Fps = ParseInt(a, value(), 1, 240);
    else if (a == "--size") ParseSize(value(), o);
    else throw UsageError("unknown option '" + a + "'");
  }
  if (o.Sheet.empty()) {
    if (!o.Effect) throw UsageError("render wants --effect N (or --sheet FILE)");
    if (o.Old.empty() || o.New.empty()) throw UsageError("render wants --old and --new");
    if (o.Out.empty() && o.Video.empty())
      throw UsageError("render wants --out DIR or --video FILE");
  } else if (o.Old.empty() != o.New.empty()) {
    throw UsageError("--old and --new go together");
  } else if (!o.Video.empty()) {
    throw UsageError("--video renders one effect, not the --sheet");
  }
  if (o.Fps && o.Video.empty()) throw UsageError("--fps goes with --video FILE");
  return o;
}

TBitmap32 LoadPicture(const std::string& path) {
  TBitmap32 picture;
  try {
    picture = DecodePictureFile(path, fs::path(path).extension().string());
  } catch (const std::exception& e) {
    throw std::runtime_error("cannot read " + path + ": " + e.what());
  }
  picture.ResetAlpha(255);  // a screen has no transparency
  return picture;
}

TBitmap32 Scaled(const TBitmap32& picture, int32_t w, int32_t h) {
  if (w == 0 || (picture.Width() == w && picture.Height() == h)) return picture;
  TBitmap32 out(w, h);
  picture.DrawTo(out, out.BoundsRect(), picture.BoundsRect());
  return out;
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  f.close();
  if (!f) throw std::runtime_error("cannot write " + path.string());
}

// Frames held at the end of a video: half a second, at least one frame.
int32_t HeldFrames(int32_t fps) { return (fps + 1) / 2; }

int RenderFrames(const Options& o) {
  const TBitmap32 newPicture = Scaled(LoadPicture(o.New), o.Width, o.Height);
  const TBitmap32 oldPicture = LoadPicture(o.Old);
  const fs::path dir = o.Out;
  if (!o.Out.empty()) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir)) throw std::runtime_error("cannot make folder " + dir.string());
  }
  const int32_t fps = o.Fps.value_or(25);
  std::optional<TAviWriter> video;
  if (!o.Video.empty()) video.emplace(o.Video, newPicture.Width(), newPicture.Height(), fps);

  TRecordRequest request;
  request.Effect = *o.Effect;
  request.Steps = o.Steps;
  request.Delay = o.Delay;
  request.Seed = o.Seed;
  int written = 0;
  const TRecordResult result =
      RecordEffect(oldPicture, newPicture, request, [&](const TBitmap32& surface) {
        if (video) video->AddFrame(surface);
        if (o.Out.empty()) return;
        char name[32];
        std::snprintf(name, sizeof name, "frame-%04d.png", ++written);
        WritePng(surface, (dir / name).string(), false);
      });
  if (video) {
    for (int32_t i = HeldFrames(fps); i > 0; --i) video->AddFrame(result.Final);
    video->Finish();
  }
  if (!o.Out.empty()) {
    WritePng(result.Final, (dir / "final.png").string(), false);
    WriteText(dir / "summary.json", "{\"effect\": " + std::to_string(*o.Effect) +
                                        ", \"steps\": " + std::to_string(o.Steps) +
                                        ", \"frames\": " + std::to_string(result.Frames) + "}\n");
    std::printf("effect %d: %d frames in %s\n", *o.Effect, result.Frames, dir.string().c_str());
  }
  if (video)
    std::printf("effect %d: %d frames and %d held in %s (%dx%d, %d fps)\n", *o.Effect,
                result.Frames, HeldFrames(fps), o.Video.c_str(), newPicture.Width(),
                newPicture.Height(), fps);
  return 0;
}

int RenderSheet(const Options& o) {
  const int32_t w = o.Width ? o.Width : 96, h = o.Height ? o.Height : 72;
  TBitmap32 oldPicture, newPicture;
  if (o.Old.empty()) {
    oldPicture = SampleOutgoingPicture(w, h);
    newPicture = SampleIncomingPicture(w, h);
  } else {
    oldPicture = Scaled(LoadPicture(o.Old), w, h);
    newPicture = Scaled(LoadPicture(o.New), w, h);
  }
  TSheetLayout layout;
  layout.Steps = o.Steps;
  WritePng(BuildContactSheet(oldPicture, newPicture, layout), o.Sheet, false);
  std::printf("contact sheet of %d effects in %s\n", kEffectCount, o.Sheet.c_str());
  return 0;
}

int List() {
  for (int32_t e = 1; e <= kEffectCount; ++e) {
    const std::string_view caption = EffectCaption(e);
    std::printf("%3d  %.*s\n", e, int(caption.size()), caption.data());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.empty()) throw UsageError("missing command");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (args[0] == "list") {
      if (args.size() > 1) throw UsageError("list takes no options");
      return List();
    }
    // "render" may be left out before --sheet.
    const bool render = args[0] == "render";
    if (!render && args[0] != "--sheet") throw UsageError("unknown command '" + args[0] + "'");
    const Options o =
        ParseRender(std::vector<std::string>(args.begin() + (render ? 1 : 0), args.end()));
    return o.Sheet.empty() ? RenderFrames(o) : RenderSheet(o);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "saver-effects: %s\n%s", e.what(), kUsage);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "saver-effects: %s\n", e.what());
    return 1;
  }
}
