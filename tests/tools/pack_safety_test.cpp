// saver-pack never harms the files it is given: not its inputs, not a file
// a link planted beside the output points at, and not the machine's memory
// when an item is large.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/tool_runner.h"

namespace saver::testing {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(PackSafety, AnOutputThatIsAnInputIsRefusedAndTheInputKept) {
  TScratchDir dir;
  const fs::path picture = dir / "pic.png", player = dir / "player", manifest = dir / "m.toml";
  fs::copy_file(AssetPath("sunflower.png"), picture);
  fs::copy_file(PlayerProgram(), player);
  fs::create_hard_link(picture, dir / "second-name.png");
  fs::create_symlink(picture, dir / "link.scr");
  WriteTextFile(manifest, "output = \"m.toml\"\n[[picture]]\nfile = \"pic.png\"\n");
  struct Case {
    std::vector<std::string> args;
    std::string says;
  } cases[] = {
      {{"-o", picture.string(), picture.string()}, "the output " + picture.string() + " is the same file as the picture"},
      {{"-o", (dir / "second-name.png").string(), picture.string()}, "is the same file as the picture " + picture.string()},
      {{"-o", (dir / "link.scr").string(), AssetPath("lake.jpg"), "--background", picture.string()},
       "is the same file as the background"},
      {{manifest.string()}, "the output " + manifest.string() + " is the same file as the manifest"},
      {{"-o", player.string(), picture.string()}, "is the same file as the player"},
  };
  const auto pictureBytes = ReadFileBytes(picture), manifestBytes = ReadFileBytes(manifest);
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), {"--player", player.string()});
    const TRunResult r = RunTool(PackTool(), args);
    EXPECT_EQ(r.ExitCode, 1) << c.says;
    EXPECT_TRUE(Has(r.Err, c.says)) << r.Err;
    EXPECT_EQ(ReadFileBytes(picture), pictureBytes) << c.says;
    EXPECT_EQ(ReadFileBytes(manifest), manifestBytes) << c.says;
    EXPECT_EQ(fs::file_size(player), fs::file_size(PlayerProgram())) << c.says;
  }
}

TEST(PackSafety, ALinkPlantedAtThePartialFileIsNotFollowed) {
  TScratchDir dir;
  const fs::path victim = dir / "victim.txt", out = dir / "out.scr";
  WriteTextFile(victim, "precious");
  fs::create_symlink(victim, dir / ".out.scr.part");
  const TRunResult r = RunTool(PackTool(), {"-q", "--player", PlayerProgram(), "-o", out.string(),
                                            AssetPath("dunes.jpg")});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const auto kept = ReadFileBytes(victim);
  EXPECT_TRUE(std::string(kept.begin(), kept.end()) == "precious") << "the link's target was written";
  EXPECT_EQ(fs::status(victim).permissions() & fs::perms::owner_exec, fs::perms::none);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out)));
}

// Runs the program with its data memory (heap and private mappings) held
// to `limit` bytes; returns its exit status.
int RunWithDataLimit(const std::string& program, const std::vector<std::string>& args, rlim_t limit) {
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const struct rlimit data {limit, limit};
    setrlimit(RLIMIT_DATA, &data);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(PackSafety, CompressedItemsAreStreamedWhateverTheirSize) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the address sanitizer's own memory does not fit under a data limit";
#endif
  TScratchDir dir;
  const fs::path big = dir / "big.wav";
  constexpr rlim_t kItem = 128 << 20;
  WriteTextFile(big, "RIFF");
  fs::resize_file(big, kItem);  // sparse: costs nothing to make
  for (const char* mode : {"always", "auto"})
    EXPECT_EQ(RunWithDataLimit(PackTool(), {"-q", "--no-media-check", "--compress", mode, "--player",
                                            PlayerProgram(), "-o", (dir / "s.scr").string(),
                                            "--music", big.string()},
                               kItem / 2),
              0)
        << mode;
}

}  // namespace
}  // namespace saver::testing
