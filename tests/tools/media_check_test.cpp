// saver-pack tries every music track and video item with the player's media
// library before it writes: what cannot be played is named, and no saver is
// written, unless the check is turned off.
#include <gtest/gtest.h>

#include "media/media_files.h"
#include "tools/tool_runner.h"

namespace saver::testing {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(MediaCheck, WhatCannotBePlayedIsNamedAndNothingIsWritten) {
  TScratchDir dir;
  WriteWav(dir / "tone.wav", 0.5);
  WriteVideo(dir / "clip.avi");
  fs::copy_file(dir / "clip.avi", dir / "clip-as-music.ogg");
  fs::copy_file(dir / "tone.wav", dir / "tone-as-video.mp4");
  fs::copy_file(AssetPath("lake.jpg"), dir / "photo.mp3");
  WriteTextFile(dir / "letter.mp3", "a letter, not a song");
  WriteTextFile(dir / "header-only.wav", "RIFF....WAVEjunk");
  const fs::path out = dir / "s.scr";
  struct Bad {
    std::string file, says;
  } bad[] = {{"tone-as-video.mp4", "it has no picture"},
             {"letter.mp3", "unrecognized file format"},
             {"photo.mp3", "it has no sound"},
             {"header-only.wav", "unrecognized file format"},
             {"clip-as-music.ogg", "it has no sound"}};
  std::vector<std::string> args = {"--player", PlayerProgram(), "-o", out.string(), AssetPath("lake.jpg"),
                                   (dir / "clip.avi").string(), (dir / "tone-as-video.mp4").string(),
                                   "--music", AssetPath("evening.ogg"), "--music", (dir / "tone.wav").string()};
  for (const char* music : {"letter.mp3", "photo.mp3", "header-only.wav", "clip-as-music.ogg"})
    args.insert(args.end(), {"--music", (dir / music).string()});

  const TRunResult r = RunTool(PackTool(), args);
  EXPECT_EQ(r.ExitCode, 1);
  for (const Bad& b : bad)
    EXPECT_TRUE(Has(r.Err, "saver-pack: cannot play " + (dir / b.file).string() + ": " + b.says + "\n"))
        << b.file << " in\n" << r.Err;
  EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 5) << r.Err;
  EXPECT_FALSE(fs::exists(out));

  args.push_back("--no-media-check");
  EXPECT_EQ(RunTool(PackTool(), args).ExitCode, 0);
  EXPECT_TRUE(fs::exists(out));
}

TEST(MediaCheck, WithoutTheMediaLibraryItSaysSoAndPacksUntried) {
  TScratchDir dir;
  WriteTextFile(dir / "letter.mp3", "a letter, not a song");
  setenv("LD_LIBRARY_PATH", (std::string(SAVER_BINARY_DIR) + "/tests/no-mpv").c_str(), 1);
  const TRunResult r = RunTool(PackTool(), {"--player", PlayerProgram(), "-o", (dir / "s.scr").string(),
                                            AssetPath("lake.jpg"), "--music", (dir / "letter.mp3").string()});
  unsetenv("LD_LIBRARY_PATH");
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Err, "saver-pack: warning: the media library (libmpv) is not installed: music and video "
                   "are packed without being tried\n");
  EXPECT_TRUE(fs::exists(dir / "s.scr"));
}

}  // namespace
}  // namespace saver::testing
