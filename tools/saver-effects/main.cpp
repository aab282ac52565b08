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

#include "common/command_line.h"
#include "contact_sheet.h"
#include "effect_recorder.h"
#include "payload/decoders/avi_writer.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/decoders/png_writer.h"
#include "sample_pictures.h"
#include "trans/catalogue.h"
#include "trans/trans.h"

namespace fs = std::filesystem;
using namespace saver;

namespace {

using tool::UsageError;

const tool::TToolText kText = {
    "saver-effects",
    "saver-effects list\n"
    "saver-effects render --effect N --old A.png --new B.png\n"
    "                     [--out DIR] [--video FILE.avi [--fps N]]\n"
    "                     [--steps S] [--size WxH] [--delay MS] [--seed S]\n"
    "saver-effects render --sheet FILE [--old A.png --new B.png] [--steps S]\n"
    "                     [--size WxH]",
    R"(Lists the transition effects of the show and renders them: one effect frame by
frame to PNG files or an uncompressed AVI video, or every effect at a few
moments on one contact sheet.

Commands:
  list     Print the effect numbers 1-116 and their captions.
  render   Run one effect on an in-memory screen that starts as the old
           picture, writing the screen after each frame; or, with --sheet,
           draw the contact sheet. The word render may be left out before
           --sheet.
)",
    R"(Frames are not timed in real time. At least one of --out and --video is needed
to render one effect. Exit status: 0 on success, 1 when a picture cannot be
read or a file written, 2 for a mistake on the command line.

Example:
  saver-effects render --effect 42 --old a.png --new b.png --video e42.avi
)"};

struct Options {
  std::string Effect, Steps, Delay, Seed, Fps, Size;
  std::string Old, New, Out, Sheet, Video;
};

struct Render {
  std::optional<int32_t> Effect;
  int32_t Steps = 32;
  int32_t Delay = 9;
  uint64_t Seed = 0;
  std::optional<int32_t> Fps;
  std::string Old, New, Out, Sheet, Video;
  int32_t Width = 0, Height = 0;
};

void DeclareRender(CLI::App& render, Options& o) {
  const std::string group = "Options of render";
  auto option = [&](const char* name, std::string& value, const char* type, const char* text) {
    render.add_option(name, value, text)->type_name(type)->group(group);
  };
  option("--effect", o.Effect, "N",
         "The effect to run: 1 to 116 (saver-effects list names them); 0 replaces the picture "
         "at once; other numbers pick an effect at random.");
  option("--old", o.Old, "FILE", "The picture on the screen when the effect starts.");
  option("--new", o.New, "FILE", "The picture the effect brings in.");
  option("--out", o.Out, "DIR",
         "Write the screen after each frame as DIR/frame-0001.png and on, after the final frame "
         "as DIR/final.png, and a DIR/summary.json that counts the frames.");
  option("--video", o.Video, "FILE",
         "Write the frames as an uncompressed AVI video too (or alone): one video frame per "
         "effect frame, then the final picture held for half a second so that a player shows "
         "the end.");
  option("--fps", o.Fps, "N", "The video's frame rate, 1 to 240 frames a second (default 25).");
  option("--steps", o.Steps, "S", "The number of frames the effect is cut into (default 32).");
  option("--size", o.Size, "WxH",
         "Scale both pictures to this size (default: the new picture's size; 96x72 on the "
         "contact sheet).");
  option("--delay", o.Delay, "MS",
         "The pause between frames the effect asks for, 0 to 10000 milliseconds (default 9).");
  option("--seed", o.Seed, "S", "Varies the effects that make random choices (default 0).");
  option("--sheet", o.Sheet, "FILE",
         "Write one PNG with every effect at three moments of its run, from built-in pictures "
         "unless --old and --new are given.");
}

Render CheckRender(const Options& o) {
  Render r;
  if (!o.Effect.empty()) r.Effect = int32_t(tool::WholeNumber("--effect", o.Effect, -1000000, 1000000));
  if (!o.Steps.empty()) r.Steps = int32_t(tool::WholeNumber("--steps", o.Steps, -1000000, 1000000));
  if (!o.Delay.empty()) r.Delay = int32_t(tool::WholeNumber("--delay", o.Delay, 0, 10000));
  if (!o.Seed.empty()) r.Seed = uint64_t(tool::WholeNumber("--seed", o.Seed, 0, 2147483647));
  if (!o.Fps.empty()) r.Fps = int32_t(tool::WholeNumber("--fps", o.Fps, 1, 240));
  if (!o.Size.empty()) {
    const tool::TSize size = tool::PictureSize("--size", o.Size);
    r.Width = size.Width;
    r.Height = size.Height;
  }
  r.Old = o.Old, r.New = o.New, r.Out = o.Out, r.Sheet = o.Sheet, r.Video = o.Video;
  if (r.Sheet.empty()) {
    if (!r.Effect) throw UsageError("render wants --effect N (or --sheet FILE)");
    if (r.Old.empty() || r.New.empty()) throw UsageError("render wants --old and --new");
    if (r.Out.empty() && r.Video.empty())
      throw UsageError("render wants --out DIR or --video FILE");
  } else if (r.Old.empty() != r.New.empty()) {
    throw UsageError("--old and --new go together");
  } else if (!r.Video.empty()) {
    throw UsageError("--video renders one effect, not the --sheet");
  }
  if (r.Fps && r.Video.empty()) throw UsageError("--fps goes with --video FILE");
  return r;
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

int RenderFrames(const Render& o) {
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

int RenderSheet(const Render& o) {
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
  // "render" may be left out before --sheet.
  std::vector<char*> args(argv, argv + argc);
  static char render[] = "render";
  if (argc > 1 && std::string(argv[1]) == "--sheet") args.insert(args.begin() + 1, render);
  // "help" asks for the help, as --help does.
  static char help[] = "--help";
  if (argc > 1 && std::string(argv[1]) == "help") args[1] = help;

  tool::TCommandLine commandLine(kText);
  CLI::App& app = commandLine.App();
  CLI::App* list = app.add_subcommand("list", "Print the effect numbers and their captions.");
  CLI::App* renderCommand = app.add_subcommand("render", "Render one effect or the contact sheet.");
  Options options;
  DeclareRender(*renderCommand, options);
  std::string unknownCommand;
  app.add_option("command", unknownCommand);
  if (const int status = commandLine.Parse(int(args.size()), args.data()); status >= 0) {
    return status;
  }
  try {
    if (list->parsed()) return List();
    if (!renderCommand->parsed()) {
      if (!unknownCommand.empty()) throw UsageError("unknown command '" + unknownCommand + "'");
      throw UsageError("missing command");
    }
    const Render r = CheckRender(options);
    return r.Sheet.empty() ? RenderFrames(r) : RenderSheet(r);
  } catch (const UsageError& e) {
    return commandLine.Fail(e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "saver-effects: %s\n", e.what());
    return 1;
  }
}
