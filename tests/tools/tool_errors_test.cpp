// What the tools say when something is wrong: one clear line and a failure status.
#include <gtest/gtest.h>

#include "tools/tool_runner.h"

namespace saver::testing {
namespace {

namespace fs = std::filesystem;

size_t Lines(const std::string& text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

TEST(PackErrors, MissingFilesAreNamedAndNothingIsWritten) {
  TScratchDir dir;
  const fs::path out = dir / "x.scr";
  const std::string missing = (dir / "nothere.jpg").string();
  for (const std::vector<std::string>& extra :
       {std::vector<std::string>{missing}, {AssetPath("dunes.jpg"), "--music", missing},
        {AssetPath("dunes.jpg"), "--background", missing}}) {
    std::vector<std::string> args = {"--player", PlayerProgram(), "-o", out.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const TRunResult r = RunTool(PackTool(), args);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "saver-pack: cannot read " + missing + ": No such file or directory\n");
    EXPECT_FALSE(fs::exists(out));
  }
  const TRunResult noPlayer =
      RunTool(PackTool(), {"--player", missing, "-o", out.string(), AssetPath("dunes.jpg")});
  EXPECT_EQ(noPlayer.ExitCode, 1);
  EXPECT_EQ(noPlayer.Err, "saver-pack: cannot read " + missing + ": No such file or directory\n");
  EXPECT_TRUE(fs::is_empty(dir.Path()));  // no half-written file either
}

TEST(PackErrors, ManifestMistakesNameTheKey) {
  TScratchDir dir;
  const fs::path manifest = dir / "m.toml";
  auto pack = [&](const std::string& toml) {
    WriteTextFile(manifest, toml);
    return RunTool(PackTool(), {"--player", PlayerProgram(), "-o", (dir / "x.scr").string(),
                            manifest.string()});
  };
  struct Case {
    const char* toml;
    const char* says;
  } cases[] = {
      {"[trailer]\nSecnds = 5\n", "trailer.Secnds: unknown key"},
      {"[trailer]\nPictureCount = 5\n", "trailer.PictureCount: is computed"},
      {"[trailer]\nSeconds = \"many\"\n", "trailer.Seconds: expected an integer"},
      {"[trailer]\nSeconds = 0\n", "trailer.Seconds: 0 is outside 1.."},
      {"[trailer]\nEffectSpeed = 11\n", "trailer.EffectSpeed: 11 is outside 1..10"},
      {"[trailer]\nDisplayOrder = \"sideways\"\n", "unknown value \"sideways\""},
      {"[text]\nTitle = \"日本\"\n", "text.Title: \"日\" has no Windows-1252 character"},
      {"[text]\nEffect = [117]\n", "text.Effect: 117 is outside 0..116"},
      {"[[picture]]\nfile = \"a.jpg\"\nmask = \"none\"\n", "no [[mask]] is named \"none\""},
      {"[trailer\n", "m.toml:"},
  };
  for (const Case& c : cases) {
    const TRunResult r = pack(c.toml);
    EXPECT_EQ(r.ExitCode, 1) << c.toml;
    EXPECT_NE(r.Err.find(c.says), std::string::npos) << c.toml << " gave: " << r.Err;
    EXPECT_EQ(Lines(r.Err), 1u) << r.Err;
  }
}

TEST(PackErrors, EveryManifestMistakeIsNamedInOneRunAndKeysSayWhereTheyBelong) {
  TScratchDir dir;
  WriteTextFile(dir / "m.toml",
                "Title = \"Ocean\"\n"
                "[trailer]\nSecnds = 5\nEffectSpeed = 11\noutput = \"x.scr\"\n"
                "[text]\nSeconds = 4\n"
                "[caption]\nfile = \"a.jpg\"\n"
                "[[picture]]\nCaption = 5\n");
  const TRunResult r = RunTool(PackTool(), {"--player", PlayerProgram(), "-o", (dir / "x.scr").string(),
                                            (dir / "m.toml").string()});
  EXPECT_EQ(r.ExitCode, 1);
  const std::string m = "saver-pack: " + (dir / "m.toml").string() + ": ";
  EXPECT_EQ(r.Err, m + "Title: belongs in [text]\n" +
                       m + "trailer.Secnds: unknown key\n" +
                       m + "trailer.EffectSpeed: 11 is outside 1..10\n" +
                       m + "trailer.output: belongs at the top level, before the first [table] (a key "
                           "written after a [table] line belongs to that table)\n" +
                       m + "text.Seconds: belongs in [trailer]\n" +
                       m + "caption.file: belongs in a [[picture]], [[mask]] or [[music]]\n" +
                       m + "picture[0].file: missing\n" +
                       m + "picture[0].Caption: expected a string\n");
  EXPECT_FALSE(fs::exists(dir / "x.scr"));
}

TEST(PackErrors, ASaverThatNoInputWouldEndIsPackedWithAWarning) {
  TScratchDir dir;
  const std::string off = "ExitMouseMove = false\nExitMouseButton = false\nExitKeyboard = false\n";
  for (const bool escOff : {false, true}) {
    WriteTextFile(dir / "m.toml", "[trailer]\n" + off + (escOff ? "ExitESC = false\n" : ""));
    const TRunResult r = RunTool(PackTool(), {"--player", PlayerProgram(), "-o", (dir / "x.scr").string(),
                                              (dir / "m.toml").string(), AssetPath("dunes.jpg")});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err.find("the show still ends on Esc") != std::string::npos, escOff) << r.Err;
  }
}

TEST(PackErrors, RecordLimitsAreCheckedBeforeWriting) {
  TScratchDir dir;
  fs::copy_file(AssetPath("dunes.jpg"), dir / "a.jpg");
  const std::string longCaption(252, 'x');
  WriteTextFile(dir / "m.toml", "[[picture]]\nfile = \"a.jpg\"\nCaption = \"" + longCaption + "\"\n");
  TRunResult r = RunTool(PackTool(), {"--player", PlayerProgram(), "-o", (dir / "x.scr").string(),
                                  (dir / "m.toml").string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Err.find("252 bytes long; at most 251 fit"), std::string::npos) << r.Err;

  WriteTextFile(dir / "m.toml", "[[picture]]\nfile = \"a.jpg\"\nMaskIndex = 0\n");
  r = RunTool(PackTool(), {"--player", PlayerProgram(), "-o", (dir / "x.scr").string(),
                           (dir / "m.toml").string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Err.find("MaskIndex 0 names no mask (the saver has 0 masks)"), std::string::npos)
      << r.Err;

  fs::copy_file(AssetPath("dunes.jpg"), dir / "a.jpgxx");
  r = RunTool(PackTool(), {"--player", PlayerProgram(), "-o", (dir / "x.scr").string(),
                       (dir / "a.jpgxx").string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Err.find("longer than 5 characters"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(dir / "x.scr"));
}

TEST(PackErrors, EmptyItemsAndFalsePreviewsAreRefused) {
  TScratchDir dir;
  WriteFileBytes(dir / "empty.jpg", {});
  WriteTextFile(dir / "fake.bmp", "this is not a bitmap, however it is named");
  const std::string out = (dir / "x.scr").string();
  TRunResult r = RunTool(PackTool(), {"--player", PlayerProgram(), "-o", out,
                                      (dir / "empty.jpg").string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "saver-pack: " + (dir / "empty.jpg").string() + ": the file is empty\n");
  r = RunTool(PackTool(), {"--player", PlayerProgram(), "-o", out, "--preview",
                           (dir / "fake.bmp").string(), AssetPath("dunes.jpg")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Err.find("not a BMP file"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(out));
}

TEST(PackErrors, BadOptionsAreUsageErrors) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--compress", "sometimes", "-o", "x.scr"},
        {"--effects", "5-2", "-o", "x.scr"},
        {"--seconds", "ten", "-o", "x.scr"},
        {"--frobnicate"},
        {AssetPath("dunes.jpg")}}) {
    const TRunResult r = RunTool(PackTool(), args);
    EXPECT_EQ(r.ExitCode, 2) << args[0];
    // The mistake, then the usage lines: packing, listing and removing.
    EXPECT_EQ(Lines(r.Err), 4u) << r.Err;
    EXPECT_EQ(r.Err.rfind("saver-pack: ", 0), 0u) << r.Err;
    EXPECT_NE(r.Err.find("\nUsage: saver-pack "), std::string::npos) << r.Err;
  }
  EXPECT_EQ(RunTool(PackTool(), {"--help"}).ExitCode, 0);
  EXPECT_EQ(RunTool(InspectTool(), {"--help"}).ExitCode, 0);
}

TEST(InspectErrors, FilesWithoutAValidPayloadExitWithOne) {
  TScratchDir dir;
  ASSERT_EQ(RunTool(PackTool(), {"-q", "--player", PlayerProgram(), "-o", (dir / "good.scr").string(),
                             AssetPath("dunes.jpg")}).ExitCode, 0);
  const auto good = ReadFileBytes(dir / "good.scr");

  auto truncated = good;
  truncated.resize(good.size() - 3);
  WriteFileBytes(dir / "truncated.scr", truncated);
  // Section lengths that point before the start of the file.
  auto oversized = good;
  const size_t trailer = good.size() - 174;
  oversized[trailer + 28 + 3] = 0x7F;  // PictureSectionSize
  WriteFileBytes(dir / "oversized.scr", oversized);
  WriteFileBytes(dir / "tiny.scr", {1, 2, 3});

  for (const std::string& name :
       {PlayerProgram(), (dir / "truncated.scr").string(), (dir / "oversized.scr").string(),
        (dir / "tiny.scr").string(), (dir / "missing.scr").string()}) {
    for (const char* mode : {"--json", "--extract"}) {
      std::vector<std::string> args = {mode};
      if (std::string(mode) == "--extract") args.push_back((dir / "items").string());
      args.push_back(name);
      const TRunResult r = RunTool(InspectTool(), args);
      EXPECT_EQ(r.ExitCode, 1) << name;
      EXPECT_EQ(r.Out, "") << name;
      EXPECT_EQ(Lines(r.Err), 1u) << r.Err;
      EXPECT_EQ(r.Err.rfind("saver-inspect: " + name + ": ", 0), 0u) << r.Err;
    }
  }
  EXPECT_FALSE(fs::exists(dir / "items"));
}

}  // namespace
}  // namespace saver::testing
