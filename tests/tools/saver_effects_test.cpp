// saver-effects as its users run it: listing, rendering frames, the contact
// sheet and what it says about mistakes.
#include <gtest/gtest.h>

#include <sstream>

#include "payload/picture_decoder.h"
#include "payload/png_writer.h"
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
  EXPECT_EQ(noOut.Err.substr(0, noOut.Err.find('\n')), "saver-effects: render wants --out DIR");

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
  EXPECT_NE(help.Out.find("usage: saver-effects list"), std::string::npos);
}

}  // namespace
}  // namespace saver::testing
