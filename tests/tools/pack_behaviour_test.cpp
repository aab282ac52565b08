// saver-pack as its users meet it: what it says on a terminal and
// elsewhere, the pictures it refuses before writing, when it compresses,
// installing a saver for the daemons, and never leaving half a saver.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <random>

#include <nlohmann/json.hpp>

#include "graphics/bitmap32.h"
#include "payload/decoders/bmp_writer.h"
#include "saver-pack/partial_file.h"
#include "saver-pack/saver_file.h"
#include "saver-pack/saver_install.h"
#include "tools/tool_runner.h"

namespace saver::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Runs the program with a terminal as its standard output and error, and
// returns everything it wrote there once it has ended.
TRunResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) {
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  TRunResult r;
  if (pid < 0) return r;
  char buffer[4096];
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) r.Err.append(buffer, size_t(n));
  close(terminal);  // reading ends with EIO once the program has closed its side
  int status = 0;
  waitpid(pid, &status, 0);
  r.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

std::vector<std::string> Files(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PackProgress, ShownOnATerminalQuietElsewhere) {
  TScratchDir dir;
  const std::string out = (dir / "p.scr").string();
  const std::vector<std::string> args = {"--player", PlayerProgram(), "-o", out, AssetPath("dunes.jpg"),
                                         AssetPath("lake.jpg"), "--music", AssetPath("evening.ogg")};
  const TRunResult terminal = RunOnTerminal(PackTool(), args);
  EXPECT_EQ(terminal.ExitCode, 0) << terminal.Err;
  // The status line is redrawn in place and counts items and megabytes...
  EXPECT_TRUE(Has(terminal.Err, "\r\033[Ksaver-pack: checking 3/3 files")) << terminal.Err;
  EXPECT_TRUE(Has(terminal.Err, "\r\033[Ksaver-pack: 3/3 items, ")) << terminal.Err;
  EXPECT_TRUE(Has(terminal.Err, " MB")) << terminal.Err;
  // ...and gives way to the summary.
  EXPECT_TRUE(Has(terminal.Err, "saver-pack: wrote " + out + ": ")) << terminal.Err;

  const TRunResult piped = RunTool(PackTool(), args);
  EXPECT_EQ(piped.ExitCode, 0);
  EXPECT_EQ(piped.Err, "");
  EXPECT_EQ(piped.Out, "");

  std::vector<std::string> verbose = args;
  verbose.push_back("-v");
  const TRunResult listed = RunTool(PackTool(), verbose);
  EXPECT_TRUE(Has(listed.Err, "saver-pack: picture 2/2 " + AssetPath("lake.jpg") + ": ")) << listed.Err;
  EXPECT_FALSE(Has(listed.Err, "\r"));

  // --quiet silences the terminal too, warnings and all.
  const TRunResult quiet = RunOnTerminal(PackTool(), {"-q", "--player", PlayerProgram(), "-o", out});
  EXPECT_EQ(quiet.ExitCode, 0);
  EXPECT_EQ(quiet.Err, "");
}

TEST(PackRefusal, EveryPictureThatCannotBeUsedIsNamedAndNothingIsWritten) {
  TScratchDir dir;
  const auto dunes = ReadFileBytes(AssetPath("dunes.jpg"));
  WriteFileBytes(dir / "cut.jpg", std::vector<uint8_t>(dunes.begin(), dunes.begin() + 4000));
  WriteTextFile(dir / "words.png", "a letter, not a picture");
  WriteTextFile(dir / "song.wav", "RIFF....WAVE");
  WriteTextFile(dir / "mask.gif", "not a mask either");
  const std::string missing = (dir / "gone.jpg").string();
  WriteTextFile(dir / "m.toml", "[[mask]]\nfile = \"mask.gif\"\n");
  const TRunResult r = RunTool(
      PackTool(), {"--player", PlayerProgram(), "-o", (dir / "x.scr").string(), (dir / "m.toml").string(),
                   AssetPath("lake.jpg"), (dir / "cut.jpg").string(), missing, (dir / "words.png").string(),
                   (dir / "song.wav").string(), "--background", (dir / "words.png").string()});
  EXPECT_EQ(r.ExitCode, 1);
  for (const std::string& line :
       {"saver-pack: cannot read " + missing + ": No such file or directory\n",
        "saver-pack: cannot decode " + (dir / "cut.jpg").string() + ": JPEG",
        "saver-pack: cannot decode " + (dir / "words.png").string() + ": PNG",
        "saver-pack: cannot decode " + (dir / "song.wav").string() +
            ": unknown picture format '.wav'; saver-pack takes pictures in JPEG, PNG, GIF, BMP, TIFF, "
            "ICO, SVG, WebP, HEIC/HEIF, AVIF or JPEG XL, and videos in AVI, MPEG, MP4, MKV, WebM, "
            "MOV, M4V or OGV\n",
        "saver-pack: cannot decode " + (dir / "mask.gif").string() + ": GIF"})
    EXPECT_TRUE(Has(r.Err, line)) << line << " missing from\n" << r.Err;
  // The background and the picture named words.png: both are named.
  EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 6) << r.Err;
  EXPECT_FALSE(Has(r.Err, "lake.jpg"));
  EXPECT_EQ(Files(dir.Path()), (std::vector<std::string>{"cut.jpg", "m.toml", "mask.gif", "song.wav", "words.png"}));
}

// A BMP of 100 x 40 pixels, the first `noisy` rows random and the rest black:
// the black rows are what zlib can save.
std::vector<uint8_t> PartlyNoisyBmp(int noisy) {
  TBitmap32 b(100, 40);
  b.Clear(Color32(0, 0, 0, 0));
  std::mt19937 random(7);
  for (int32_t y = 0; y < noisy; ++y)
    for (int32_t x = 0; x < 100; ++x) b.ScanLine(y)[x] = TColor32(random());
  return EncodeBmp32(b);
}

TEST(PackCompression, AutoCompressesOnlyWhenThatSavesFivePercent) {
  TScratchDir dir;
  struct Case {
    int noisy;  // of 40 rows
    bool compressed;
  } cases[] = {{39, false},   // saves about 2.5%
               {37, true}};   // saves about 7.5%
  for (const Case& c : cases) {
    const fs::path bmp = dir / ("n" + std::to_string(c.noisy) + ".bmp"), saver = dir / "c.scr";
    WriteFileBytes(bmp, PartlyNoisyBmp(c.noisy));
    ASSERT_EQ(RunTool(PackTool(), {"-q", "--player", PlayerProgram(), "-o", saver.string(), bmp.string()})
                  .ExitCode, 0);
    const TRunResult inspect = RunTool(InspectTool(), {"--json", saver.string()});
    const json picture = json::parse(inspect.Out)["pictures"][0];
    EXPECT_EQ(picture["PackedSize"] > 0, c.compressed) << c.noisy << " noisy rows: " << picture.dump();
  }
}

// Runs saver-pack with XDG_DATA_HOME pointing into the scratch folder.
TRunResult PackAndInstall(const TScratchDir& dir, const std::vector<std::string>& args) {
  setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  TRunResult r = RunTool(PackTool(), args);
  unsetenv("XDG_DATA_HOME");
  return r;
}

TEST(PackInstall, PutsTheSaverWhereTheDaemonsLookAndTellsTheRest) {
  TScratchDir dir;
  const fs::path out = dir / "Ocean Views!.scr";
  const TRunResult r = PackAndInstall(dir, {"-q", "--install", "--player", PlayerProgram(), "-o",
                                            out.string(), "--title", "Ocean Views", AssetPath("lake.jpg")});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const fs::path savers = dir / "data" / "saver" / "savers", saver = savers / "ocean-views.scr";
  const fs::path entry = dir / "data" / "applications" / "screensavers" / "saver-ocean-views.desktop";
  EXPECT_EQ(ReadFileBytes(saver), ReadFileBytes(out));
  EXPECT_NE(fs::status(saver).permissions() & fs::perms::owner_exec, fs::perms::none);
  const auto desktop = ReadFileBytes(entry);
  const std::string text(desktop.begin(), desktop.end());
  EXPECT_TRUE(Has(text, "\nName=Ocean Views\n")) << text;
  // mate-screensaver runs only programs in its folders and XScreenSaver's:
  // the entry runs the saver through a link there, which root makes.
  EXPECT_TRUE(Has(text, "\nExec=/usr/libexec/xscreensaver/saver-ocean-views -root\n")) << text;
  EXPECT_TRUE(Has(r.Out, "\n  sudo mkdir -p /usr/libexec/xscreensaver && sudo ln -sf " + saver.string() +
                             " /usr/libexec/xscreensaver/saver-ocean-views\n")) << r.Out;
  EXPECT_TRUE(Has(text, "\nCategories=Screensaver;\n")) << text;
  EXPECT_TRUE(Has(text, "\n[Desktop Action Settings]\nName=Settings\nExec=" + saver.string() + " /c\n")) << text;
  // The daemons whose settings are the user's own get the line to add;
  // xsecurelock a saver_ name it runs without root.
  EXPECT_TRUE(Has(r.Out, "\n  \"Ocean Views\"  " + saver.string() + " -root \\n\\\n")) << r.Out;
  EXPECT_TRUE(Has(r.Out, "XSECURELOCK_SAVER=" + (savers / "saver_ocean-views").string() + " xsecurelock")) << r.Out;
  EXPECT_TRUE(fs::equivalent(savers / "saver_ocean-views", saver));
  EXPECT_FALSE(fs::exists(dir / ".xscreensaver"));

  // A second install of the same name replaces the first, and says so.
  const TRunResult again = PackAndInstall(dir, {"-q", "--install", "--player", PlayerProgram(), "-o",
                                                out.string(), "--title", "Ocean Views", AssetPath("dunes.jpg")});
  ASSERT_EQ(again.ExitCode, 0);
  EXPECT_TRUE(Has(again.Out, "Installed \"Ocean Views\" for you, replacing the saver installed as ocean-views:\n"))
      << again.Out;
  EXPECT_EQ(ReadFileBytes(saver), ReadFileBytes(out));
  EXPECT_EQ(Files(savers), (std::vector<std::string>{"ocean-views.scr", "saver_ocean-views"}));
}

TEST(PackInstall, NamesAndCommandWords) {
  EXPECT_EQ(InstallName("Quiet Places"), "quiet-places");
  EXPECT_EQ(InstallName("--Über  Saver 2--"), "ber-saver-2");
  EXPECT_EQ(InstallName("***"), "saver");
  struct Case {
    const char* path;
    const char* shell;
    const char* exec;
  } cases[] = {
      {"/home/ann/s.scr", "/home/ann/s.scr", "/home/ann/s.scr"},
      {"/home/ann b/s.scr", "'/home/ann b/s.scr'", "\"/home/ann b/s.scr\""},
      {"/h/it's.scr", "'/h/it'\\''s.scr'", "\"/h/it's.scr\""},
      {"/h/$x\".scr", "'/h/$x\".scr'", "\"/h/\\\\$x\\\\\".scr\""},
      {"/h/100%.scr", "/h/100%.scr", "/h/100%%.scr"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShellWord(c.path), c.shell) << c.path;
    EXPECT_EQ(DesktopExecWord(c.path), c.exec) << c.path;
  }
}

TEST(PartialFile, NothingIsLeftWhenTheWriterFailsOrIsStopped) {
  TScratchDir dir;
  const fs::path target = dir / "s.scr";
  {
    TPartialFile partial(target);
    TSaverFile out(partial);
    out.Write("half", 4);
    out.Close();
  }  // not committed
  EXPECT_TRUE(fs::is_empty(dir.Path()));

  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    const pid_t pid = fork();
    if (pid == 0) {
      TPartialFile partial(target);
      TSaverFile out(partial);
      out.Write("half", 4);
      raise(signal);  // as if the user pressed Ctrl-C, or the session ended
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
    EXPECT_TRUE(fs::is_empty(dir.Path())) << signal;
  }

  TPartialFile partial(target);
  {
    TSaverFile out(partial);
    out.Write("whole", 5);
    out.Close();
  }
  partial.Commit(fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(Files(dir.Path()), std::vector<std::string>{"s.scr"});
}

}  // namespace
}  // namespace saver::testing
