// saver-effects as its users run it: listing, rendering frames, the contact
// sheet and what it says about mistakes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "media/avi_layout.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/decoders/png_writer.h"
#include "tools/tool_runner.h"

namespace saver::testing {
namespace {

namespace fs = std::filesystem;

std::string EffectsTool() { return std::string(SAVER_BINARY_DIR) + "/tools/saver-effects"; }

TBitmap32 Flat(int32_t w, int32_t h, TColor32 c) {
  TBitmap32 b(w, h);
  b.Clear(c);
  return b;
}

TBitmap32 ReadPng(const fs::path& p) { return DecodePictureFile(p.string(), ".png"); }

bool Same(const TBitmap32& a, const TBitmap32& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::equal(a.Bits(), a.Bits() + size_t(a.Width()) * a.Height(), b.Bits());
}

struct Pictures {
  TScratchDir dir;
  const TColor32 oldColor = Color32(200, 30, 30), newColor = Color32(20, 40, 220);
  std::string oldPath = (dir / "old.png").string(), newPath = (dir / "new.png").string();
  Pictures() {
    WritePng(Flat(40, 30, oldColor), oldPath);
    WritePng(Flat(40, 30, newColor), newPath);
  }
};

TEST(SaverEffectsTool, ListsEveryEffectWithItsCaption) {
  const TRunResult r = RunTool(EffectsTool(), {"list"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  std::istringstream lines(r.Out);
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 116u);
  EXPECT_EQ(rows[0], "  1  Slide From Up Left");
  EXPECT_EQ(rows[88], " 89  Quarter Clock To Up Left");
  EXPECT_EQ(rows[89], " 90  Quarter Clock To Up Left");
  EXPECT_EQ(rows[115], "116  Fade To Black");
}

TEST(SaverEffectsTool, RendersEachFrameTheFinalPictureAndASummary) {
  Pictures p;
  const fs::path out = p.dir / "frames";
  const TRunResult r = RunTool(EffectsTool(), {"render", "--effect", "23", "--steps", "8", "--old",
                                               p.oldPath, "--new", p.newPath, "--out",
                                               out.string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  for (int i = 1; i <= 8; ++i)
    EXPECT_TRUE(fs::exists(out / ("frame-000" + std::to_string(i) + ".png"))) << i;
  EXPECT_FALSE(fs::exists(out / "frame-0009.png"));
  const auto summary = ReadFileBytes(out / "summary.json");
  EXPECT_EQ(std::string(summary.begin(), summary.end()),
            "{\"effect\": 23, \"steps\": 8, \"frames\": 8}\n");
  // "Unfold From Left": the first frame reveals a band of 5 columns.
  const TBitmap32 first = ReadPng(out / "frame-0001.png");
  EXPECT_EQ(first.Pixel(4, 10), p.newColor);
  EXPECT_EQ(first.Pixel(5, 10), p.oldColor);
  EXPECT_TRUE(Same(ReadPng(out / "final.png"), Flat(40, 30, p.newColor)));
}

TEST(SaverEffectsTool, EffectZeroReplacesThePictureAtOnceAndSizeScales) {
  Pictures p;
  const fs::path out = p.dir / "zero";
  const TRunResult r =
      RunTool(EffectsTool(), {"render", "--effect", "0", "--old", p.oldPath, "--new", p.newPath,
                              "--out", out.string(), "--size", "20x10"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_FALSE(fs::exists(out / "frame-0001.png"));
  EXPECT_TRUE(Same(ReadPng(out / "final.png"), Flat(20, 10, p.newColor)));
  const auto summary = ReadFileBytes(out / "summary.json");
  EXPECT_EQ(std::string(summary.begin(), summary.end()),
            "{\"effect\": 0, \"steps\": 32, \"frames\": 0}\n");
}

// The number a summary.json reports as "frames".
int SummaryFrames(const fs::path& summary) {
  const auto bytes = ReadFileBytes(summary);
  const std::string text(bytes.begin(), bytes.end());
  const size_t at = text.find("\"frames\": ");
  return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + 10);
}

TEST(SaverEffectsTool, VideoHoldsEveryFrameThenTheEndForHalfASecond) {
  Pictures p;
  const fs::path out = p.dir / "frames", video = p.dir / "wipe.avi";
  const TRunResult r = RunTool(EffectsTool(), {"render", "--effect", "23", "--steps", "8", "--old",
                                               p.oldPath, "--new", p.newPath, "--out",
                                               out.string(), "--video", video.string(), "--fps",
                                               "10"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const int frames = SummaryFrames(out / "summary.json");
  ASSERT_EQ(frames, 8);
  const std::vector<uint8_t> bytes = ReadAviBytes(video);
  const TAviLayout a = ReadAviLayout(bytes);
  EXPECT_EQ(a.Frames.size(), size_t(frames + 5));  // 10 fps: 5 frames held
  EXPECT_EQ(a.TotalFrames, uint32_t(frames + 5));
  EXPECT_EQ(a.Index.size(), size_t(frames + 5));
  EXPECT_EQ(a.Rate / a.Scale, 10u);
  EXPECT_EQ(a.BitmapWidth, 40);
  EXPECT_EQ(a.BitmapHeight, 30);
  // Each video frame is the PNG of the same frame; the held ones are the end.
  for (size_t f = 0; f < a.Frames.size(); ++f) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04zu.png", f + 1);
    const TBitmap32 png = ReadPng(f < size_t(frames) ? out / name : out / "final.png");
    for (int32_t y = 0; y < 30; y += 7)
      for (int32_t x = 0; x < 40; x += 3)
        ASSERT_EQ(AviPixel(bytes, a, f, x, y), png.Pixel(x, y) & 0xFFFFFFu)
            << "frame " << f << " at " << x << "," << y;
  }
  EXPECT_NE(r.Out.find("8 frames and 5 held in " + video.string()), std::string::npos) << r.Out;
}

TEST(SaverEffectsTool, VideoAloneNeedsNoFolderAndRunsAt25FramesASecond) {
  Pictures p;
  const fs::path video = p.dir / "alone.avi";
  const TRunResult r =
      RunTool(EffectsTool(), {"render", "--effect", "0", "--old", p.oldPath, "--new", p.newPath,
                              "--video", video.string(), "--size", "21x9"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const std::vector<uint8_t> bytes = ReadAviBytes(video);
  const TAviLayout a = ReadAviLayout(bytes);
  // Effect 0 has no frames: the video is the new picture for half a second.
  EXPECT_EQ(a.Frames.size(), 13u);
  EXPECT_EQ(a.Rate / a.Scale, 25u);
  EXPECT_EQ(a.BitmapWidth, 21);
  EXPECT_EQ(AviPixel(bytes, a, 12, 20, 8), p.newColor & 0xFFFFFFu);
  std::vector<fs::path> left;
  for (const auto& e : fs::directory_iterator(p.dir.Path())) left.push_back(e.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<fs::path>{"alone.avi", "new.png", "old.png"}));
}

TEST(SaverEffectsTool, VideoMistakesAreReported) {
  Pictures p;
  const std::vector<std::string> effect = {"render", "--effect", "5", "--old", p.oldPath,
                                           "--new", p.newPath};
  auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> args = effect;
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {with({"--video", "v.avi", "--fps", "0"}), "--fps wants a whole number from 1 to 240, not '0'"},
      {with({"--video", "v.avi", "--fps", "25x"}), "--fps wants a whole number from 1 to 240, not '25x'"},
      {with({"--video", "v.avi", "--fps"}), "--fps needs a value"},
      {with({"--out", (p.dir / "o").string(), "--fps", "25"}), "--fps goes with --video FILE"},
      {{"--sheet", "s.png", "--video", "v.avi"}, "--video renders one effect, not the --sheet"},
  };
  for (const Case& c : cases) {
    const TRunResult r = RunTool(EffectsTool(), c.args);
    EXPECT_EQ(r.ExitCode, 2) << c.message;
    EXPECT_EQ(r.Err.substr(0, r.Err.find('\n')), "saver-effects: " + c.message);
    EXPECT_NE(r.Err.find("Usage: saver-effects"), std::string::npos) << c.message;
  }

  const fs::path unwritable = p.dir / "missing" / "v.avi";
  const TRunResult r = RunTool(EffectsTool(), with({"--video", unwritable.string()}));
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "saver-effects: cannot write " + unwritable.string() +
                       ": No such file or directory\n");

  const TRunResult help = RunTool(EffectsTool(), {"--help"});
  EXPECT_NE(help.Out.find("[--video FILE.avi [--fps N]]"), std::string::npos) << help.Out;
}

TEST(SaverEffectsTool, ContactSheetShowsEveryEffect) {
  TScratchDir dir;
  const fs::path sheet = dir / "sheet.png";
  const TRunResult r = RunTool(
      EffectsTool(), {"render", "--sheet", sheet.string(), "--size", "32x24", "--steps", "8"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const TBitmap32 b = ReadPng(sheet);
  // 6 cells a row, 20 rows; each cell three thumbnails with gaps and a label.
  EXPECT_EQ(b.Width(), 6 * (3 * 34 - 2 + 6) + 6);
  EXPECT_EQ(b.Height(), 20 * (14 + 24 + 6) + 6);
}

TEST(SaverEffectsTool, MistakesAreReported) {
  Pictures p;
  const TRunResult noOut =
      RunTool(EffectsTool(), {"render", "--effect", "5", "--old", p.oldPath, "--new", p.newPath});
  EXPECT_EQ(noOut.ExitCode, 2);
  EXPECT_EQ(noOut.Err.substr(0, noOut.Err.find('\n')),
            "saver-effects: render wants --out DIR or --video FILE");

  const TRunResult badSize = RunTool(EffectsTool(), {"--sheet", "x.png", "--size", "0x5"});
  EXPECT_EQ(badSize.ExitCode, 2);
  EXPECT_NE(badSize.Err.find("--size wants a whole number from 1 to 16384, not '0'"),
            std::string::npos);

  const std::string missing = (p.dir / "missing.png").string();
  const TRunResult unreadable =
      RunTool(EffectsTool(), {"render", "--effect", "5", "--old", missing, "--new", p.newPath,
                              "--out", (p.dir / "o").string()});
  EXPECT_EQ(unreadable.ExitCode, 1);
  EXPECT_EQ(unreadable.Err.rfind("saver-effects: cannot read " + missing, 0), 0u)
      << unreadable.Err;

  const TRunResult help = RunTool(EffectsTool(), {"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_NE(help.Out.find("Usage: saver-effects list"), std::string::npos);
}

}  // namespace
}  // namespace saver::testing
