// A saver's life on the desktop: installed for the user or for everyone,
// listed, and removed again with everything its install put in place and
// nothing else.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tools/tool_runner.h"

namespace saver::testing {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every path under root, relative to it, links included.
std::vector<std::string> Tree(const fs::path& root) {
  std::vector<std::string> paths;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
    if (!it->is_directory() || it->is_symlink()) paths.push_back(it->path().lexically_relative(root).string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

TEST(SaverLife, UninstallRemovesWhatInstallPutInPlaceAndNothingElse) {
  struct Place {
    const char* name;
    const char* variable;  // where the install goes
    std::vector<std::string> options;
    std::vector<std::string> files;  // what installing "Ocean Views.scr" puts there
  } places[] = {
      {"user", "XDG_DATA_HOME", {},
       {"applications/screensavers/saver-ocean-views.desktop", "saver/savers/ocean-views.scr",
        "saver/savers/saver_ocean-views"}},
      {"system", "DESTDIR", {"--system"},
       {"usr/libexec/xscreensaver/saver-ocean-views", "usr/libexec/xsecurelock/saver_ocean-views",
        "usr/local/libexec/saver/ocean-views.scr",
        "usr/local/share/applications/screensavers/saver-ocean-views.desktop"}},
  };
  for (const Place& place : places) {
    SCOPED_TRACE(place.name);
    TScratchDir dir;
    const fs::path root = dir / "root";
    fs::create_directories(root / "usr/libexec/xsecurelock");
    WriteTextFile(dir / "root" / "keep.txt", "another program's file");
    setenv(place.variable, root.c_str(), 1);
    auto pack = [&](std::vector<std::string> args) {
      args.insert(args.end(), place.options.begin(), place.options.end());
      return RunTool(PackTool(), args);
    };
    const std::vector<std::string> before = Tree(root);
    for (const char* file : {"Ocean Views.scr", "dunes.scr"})
      ASSERT_EQ(pack({"-q", "--install", "--player", PlayerProgram(), "-o", (dir / file).string(),
                      "--title", file[0] == 'O' ? "Ocean Views" : "Dunes", AssetPath("dunes.jpg")})
                    .ExitCode, 0);
    const TRunResult listed = pack({"--list-installed"});
    EXPECT_TRUE(Has(listed.Out, "dunes  \"Dunes\"  ")) << listed.Out;
    EXPECT_TRUE(Has(listed.Out, "\nocean-views  \"Ocean Views\"  ")) << listed.Out;

    const std::vector<std::string> both = Tree(root);
    const TRunResult removed = pack({"--uninstall", "Ocean Views"});
    EXPECT_EQ(removed.ExitCode, 0) << removed.Err;
    EXPECT_TRUE(Has(removed.Out, "Removed \"Ocean Views\" (ocean-views):\n")) << removed.Out;
    std::vector<std::string> left = Tree(root), gone;
    std::set_difference(both.begin(), both.end(), left.begin(), left.end(), std::back_inserter(gone));
    EXPECT_EQ(gone, place.files);
    for (const std::string& file : place.files) {
      const std::string shown = place.variable == std::string("DESTDIR") ? "/" + file : (root / file).string();
      EXPECT_TRUE(Has(removed.Out, "\n  " + shown + "\n")) << shown << " in\n" << removed.Out;
    }
    EXPECT_EQ(pack({"--list-installed"}).Out.find("ocean-views"), std::string::npos);

    const TRunResult twice = pack({"--uninstall", "ocean-views.scr"});
    EXPECT_EQ(twice.ExitCode, 1);
    EXPECT_TRUE(Has(twice.Err, "no saver is installed as \"ocean-views\"")) << twice.Err;
    EXPECT_EQ(pack({"--uninstall", "dunes"}).ExitCode, 0);
    EXPECT_EQ(Tree(root), before);
    unsetenv(place.variable);
  }
}

TEST(SaverLife, ASystemInstallTakesNoOtherProgramsName) {
  TScratchDir dir;
  const fs::path hack = dir / "root/usr/libexec/xscreensaver/saver-taken";
  fs::create_directories(hack.parent_path());
  WriteTextFile(hack, "another program");
  setenv("DESTDIR", (dir / "root").c_str(), 1);
  const TRunResult r = RunTool(PackTool(), {"-q", "--install", "--system", "--player", PlayerProgram(), "-o",
                                            (dir / "taken.scr").string(), AssetPath("dunes.jpg")});
  unsetenv("DESTDIR");
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(Has(r.Err, "/usr/libexec/xscreensaver/saver-taken is another program's")) << r.Err;
  const auto kept = ReadFileBytes(hack);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "another program");
  EXPECT_FALSE(fs::exists(dir / "root/usr/local/libexec/saver/taken.scr"));
}

}  // namespace
}  // namespace saver::testing
