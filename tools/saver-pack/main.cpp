// saver-pack: builds a saver from the player executable and the user's files.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "manifest.h"
#include "pack_progress.h"
#include "platform/cp1252.h"
#include "saver_writer.h"
#include "stored_text.h"
#include "saver_install.h"

namespace {

namespace fs = std::filesystem;
using namespace saver;
using tool::UsageError;

const tool::TToolText kText = {
    "saver-pack",
    "saver-pack [OPTIONS] [MANIFEST.toml] [PICTURE...]\n"
    "saver-pack --list-installed [--system]\n"
    "saver-pack --uninstall NAME [--system]",
    R"(Builds a saver: a copy of the player executable with pictures, music and
settings appended. Pictures and music come from the command line, from a TOML
manifest that sets everything a saver holds, or both.
)",
    R"(Pictures may be JPEG, PNG, GIF, BMP, TIFF or icon files, or SVG, WebP,
HEIC/HEIF, AVIF or JPEG XL files, which are converted to JPEG (photos) or PNG
(pictures with transparent parts, lossless ones and drawings; an SVG drawing at
least 3840 pixels on its longer side). Pictures may also be videos (.avi,
.mpeg, .mpg, .mp4, .mkv, .webm, .mov, .m4v, .ogv): they are stored as they are
and the player plays them in turn. Options on the command line win over the
manifest; pictures and music named on the command line come after the
manifest's.

Every file is read, every picture decoded and every music track and video tried
before anything is written: a file that cannot be read, decoded or played is
named, each on its own line, and no saver is written. An interrupted pack
leaves no file, and the output may not be one of the inputs.

Exit status: 0 when the saver was written (or installed, listed, removed), 1
when a file or the manifest is wrong, 2 for a mistake on the command line.

Example:
  saver-pack -o ocean.scr --title "Ocean Views" pictures/*.jpg --music song.mp3
)"};

// The player shipped with this tool: beside it in the build tree (stripped
// of its debug information), installed under libexec, or in the build tree
// as it was linked.
std::string DefaultPlayer() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "saver";
  const fs::path dir = self.parent_path();
  for (const fs::path& candidate :
       {dir / "saver", dir / SAVER_PLAYER_FROM_BINDIR, dir / ".." / "src" / "app" / "saver"})
    if (fs::is_regular_file(candidate, ec)) return candidate.lexically_normal().string();
  return (dir / "saver").string();
}

std::string Text(const char* option, const std::string& utf8) {
  try {
    return StoredText(utf8);
  } catch (const std::invalid_argument& e) {
    throw UsageError(std::string(option) + ": " + e.what());
  }
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

struct TOptions {
  std::string Manifest;
  std::string Output, Player, Background, Preview, Compress, Effects, Seconds;
  std::string Title, Author, Website;
  bool Quiet = false, Verbose = false, KeepOrientation = false, Install = false;
  bool NoMediaCheck = false, ListInstalled = false, System = false;
  std::string Uninstall;
  bool HasTitle = false, HasAuthor = false, HasWebsite = false;  // even when empty
  std::vector<std::string> Files, Music;
};

void DeclareOptions(CLI::App& app, TOptions& o) {
  app.add_option("files", o.Files)->type_name("FILE");
  app.add_option("-o,--output", o.Output,
                 "The saver to write. Required unless the manifest names one.")
      ->type_name("FILE");
  app.add_option("-m,--manifest", o.Manifest,
                 "Read a TOML manifest (its keys are described in docs/manifest.md). A file "
                 "argument ending in .toml is taken as the manifest too.")
      ->type_name("FILE");
  app.add_option("--title", o.Title, "The saver's title; it also names the saver's settings.")
      ->type_name("TEXT");
  app.add_option("--author", o.Author, "The author line of the about box.")->type_name("TEXT");
  app.add_option("--website", o.Website, "The address behind the about box's Website button.")
      ->type_name("URL");
  app.add_option("--music", o.Music, "Add a music track; give the option once for each track.")
      ->type_name("FILE")
      ->expected(1)
      ->allow_extra_args(false)  // a picture after the track is a picture
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("--background", o.Background, "A picture shown behind the pictures.")
      ->type_name("FILE");
  app.add_option("--preview", o.Preview,
                 "The picture the desktop's chooser shows for the saver, fitted into 152 x 112 "
                 "pixels; a .bmp file is stored as it is. By default it is made from the first "
                 "picture.")
      ->type_name("FILE");
  app.add_option("--seconds", o.Seconds, "Seconds each picture is shown (default 10).")
      ->type_name("N");
  app.add_option("--effects", o.Effects,
                 "The transition effects: all, none, or numbers and ranges such as 1-20,42 "
                 "(default all 116; saver-effects list names them).")
      ->type_name("LIST");
  app.add_option("--compress", o.Compress,
                 "auto (the default) compresses an item only when that saves at least 5% of its "
                 "size; always compresses every item; never stores them as they are.")
      ->type_name("MODE");
  app.add_flag("--keep-orientation", o.KeepOrientation,
               "Store JPEG and TIFF pictures as they are. By default a picture whose orientation "
               "tag says it is turned is stored upright: a JPEG losslessly, dropping the partial "
               "block at an edge when its size is not a whole number of blocks (at most 15 "
               "pixels, and said on standard error), a TIFF decoded and written again.");
  app.add_flag("--no-media-check", o.NoMediaCheck,
               "Pack music and video without trying them. By default each is played for a moment "
               "with the player's media library (libmpv, without sound or picture) and one that "
               "cannot be played stops the pack; without the library saver-pack says so and packs "
               "them untried.");
  app.add_option("--player", o.Player,
                 "The player executable to copy (default: the one installed with saver-pack, "
                 "which carries no debug information).")
      ->type_name("PATH");
  const std::string installing = "Installing savers";
  app.add_flag("--install", o.Install,
               "Also install the saver for the current user where screen-saver daemons find it, "
               "replacing one installed under the same name, and print how to choose it in each.")
      ->group(installing);
  app.add_option("--uninstall", o.Uninstall,
                 "Remove the saver installed as NAME (its file name or title) and say what was "
                 "removed.")
      ->type_name("NAME")
      ->group(installing);
  app.add_flag("--list-installed", o.ListInstalled, "List the savers installed, one a line.")
      ->group(installing);
  app.add_flag("--system", o.System,
               "With --install, --uninstall or --list-installed: for every user, as root "
               "(under /usr/local, linked into /usr/libexec/xscreensaver where mate-screensaver "
               "runs it; $DESTDIR stages it elsewhere).")
      ->group(installing);
  app.add_flag("-v,--verbose", o.Verbose, "Print a line for every item packed.");
  app.add_flag("-q,--quiet", o.Quiet, "Print nothing but errors.");
}

void ApplyOptions(const TOptions& c, TPackJob& job) {
  if (!c.Output.empty()) job.Output = c.Output;
  if (!c.Player.empty()) job.Player = c.Player;
  if (!c.Background.empty()) job.Background = c.Background;
  if (!c.Preview.empty()) job.Preview = c.Preview;
  if (c.HasTitle) job.Text.Title = Text("--title", c.Title);
  if (c.HasAuthor) job.Text.Author = Text("--author", c.Author);
  if (c.HasWebsite) job.Text.Website = Text("--website", c.Website);
  if (c.Quiet) job.Quiet = true;
  if (c.KeepOrientation) job.KeepOrientation = true;
  if (c.NoMediaCheck) job.MediaCheck = false;
  if (!c.Compress.empty()) {
    if (c.Compress == "auto") job.Compress = TCompressMode::Auto;
    else if (c.Compress == "always") job.Compress = TCompressMode::Always;
    else if (c.Compress == "never") job.Compress = TCompressMode::Never;
    else throw UsageError("--compress wants auto, always or never, not '" + c.Compress + "'");
  }
  if (!c.Effects.empty()) {
    try {
      job.Text.Effect = ParseEffectList(c.Effects);
    } catch (const std::invalid_argument& e) {
      throw UsageError(std::string("--effects: ") + e.what());
    }
  }
  if (!c.Seconds.empty())
    job.Trailer.Seconds = int32_t(tool::WholeNumber("--seconds", c.Seconds, 1, INT32_MAX / 1000));
  for (auto& file : c.Files) {
    TPackPicture picture;
    picture.File = file;
    picture.Entry = job.PictureDefaults;
    job.Pictures.push_back(picture);
  }
  for (auto& file : c.Music) job.Music.push_back({file, ""});
}

// --uninstall and --list-installed: no saver is packed.
int ManageInstalled(const tool::TCommandLine& commandLine, const TOptions& o) {
  if (!o.Uninstall.empty() && o.ListInstalled)
    return commandLine.Fail("--uninstall and --list-installed go one at a time");
  if (o.Install || !o.Files.empty() || !o.Output.empty() || !o.Manifest.empty() || !o.Music.empty())
    return commandLine.Fail(std::string(o.ListInstalled ? "--list-installed" : "--uninstall") +
                            " packs nothing: give it no files, output or --install");
  try {
    const TInstallPlace place = o.System ? SystemPlace(!o.ListInstalled) : UserPlace();
    const std::string text = o.ListInstalled ? InstalledSavers(place) : UninstallSaver(place, o.Uninstall);
    if (text.empty()) std::fprintf(stderr, "saver-pack: no savers are installed in %s\n", place.Savers.c_str());
    std::fputs(text.c_str(), stdout);
    return 0;
  } catch (const std::exception& e) {
    PrintErrorLines(e.what());
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  tool::TCommandLine commandLine(kText);
  TOptions options;
  DeclareOptions(commandLine.App(), options);
  if (const int status = commandLine.Parse(argc, argv); status >= 0) return status;
  options.HasTitle = commandLine.App().count("--title") > 0;
  options.HasAuthor = commandLine.App().count("--author") > 0;
  options.HasWebsite = commandLine.App().count("--website") > 0;

  if (!options.Uninstall.empty() || options.ListInstalled) return ManageInstalled(commandLine, options);
  if (options.System && !options.Install)
    return commandLine.Fail("--system goes with --install, --uninstall or --list-installed");

  TPackJob job = DefaultPackJob();
  std::optional<TInstallPlace> place;
  try {
    if (options.Install) place = options.System ? SystemPlace() : UserPlace();
    // The first file named .toml is the manifest, unless one is given.
    if (options.Manifest.empty())
      for (auto it = options.Files.begin(); it != options.Files.end(); ++it)
        if (EndsWith(*it, ".toml")) {
          options.Manifest = *it;
          options.Files.erase(it);
          break;
        }
    if (!options.Manifest.empty()) LoadManifest(options.Manifest, job);
    ApplyOptions(options, job);
    if (job.Player.empty()) job.Player = DefaultPlayer();
    if (job.Output.empty()) throw UsageError("no output file given (-o FILE)");
  } catch (const UsageError& e) {
    return commandLine.Fail(e.what());
  } catch (const std::exception& e) {
    PrintErrorLines(e.what());
    return 1;
  }

  TPackProgressView view(job.Quiet, options.Verbose, isatty(STDERR_FILENO) == 1);
  try {
    if (job.Pictures.empty()) view.Warning("the saver has no pictures");
    const PayloadTrailer& t = job.Trailer;
    if (!t.ExitMouseMove && !t.ExitMouseButton && !t.ExitKeyboard && !t.ExitESC)
      view.Warning("ExitMouseMove, ExitMouseButton, ExitKeyboard and ExitESC are all off; the show "
                   "still ends on Esc, since nothing else could end it");
    PackSaver(job, view.Report());
    view.Finish();
    if (place) {
      const TInstalledSaver installed =
          InstallSaver(*place, job.Output, job.Text.Title.empty() ? "" : Cp1252ToUtf8(job.Text.Title));
      std::fputs(InstallReport(*place, installed).c_str(), stdout);
    }
    return 0;
  } catch (const std::exception& e) {
    view.Finish();
    PrintErrorLines(e.what());
    return 1;
  }
}
