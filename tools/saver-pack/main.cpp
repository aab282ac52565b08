// saver-pack: builds a saver from the player executable and the user's files.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "stored_text.h"
#include "manifest.h"
#include "payload/records.h"
#include "saver_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace saver;

constexpr const char* kUsage = R"(Usage: saver-pack [OPTIONS] [MANIFEST.toml] [PICTURE...]
Builds a saver: a copy of the player executable with the pictures, music and
settings appended.

  -o, --output FILE      the saver to write (required unless the manifest names it)
  -m, --manifest FILE    read a TOML manifest (see docs/manifest.md); a file
                         argument ending in .toml is taken as the manifest too
      --title TEXT       the saver's title (also names its settings)
      --author TEXT      the author line of the about box
      --website URL      the address behind the Website button
      --music FILE       add a music track (repeatable)
      --background FILE  a background picture behind the pictures
      --preview FILE     the chooser's preview picture (default: made from the
                         first picture, 152 x 112)
      --seconds N        seconds each picture is shown (default 10)
      --effects LIST     transition effects: all, none, or numbers and ranges
                         such as 1-20,42 (default all 116)
      --compress MODE    auto (default: when it saves space), always or never
      --player PATH      the player executable (default: saver beside saver-pack)
  -q, --quiet            no progress lines
  -h, --help             show this help

Pictures may also be videos (.avi, .mpeg, .mpg, .mp4, .mkv, .webm, .mov, .m4v,
.ogv): they are stored as they are and the player plays them in turn.
Options on the command line win over the manifest; pictures and music named
on the command line come after the manifest's.
Example: saver-pack -o ocean.scr --title "Ocean Views" pictures/*.jpg --music song.mp3
)";

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The player shipped beside this tool, or the one in the same build tree.
std::string DefaultPlayer() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "saver";
  const fs::path dir = self.parent_path();
  for (const fs::path& candidate : {dir / "saver", dir / ".." / "src" / "app" / "saver"})
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

struct TCommandLine {
  std::string Manifest;
  std::string Output, Player, Background, Preview, Compress, Effects, Seconds;
  std::string Title, Author, Website;
  bool HasTitle = false, HasAuthor = false, HasWebsite = false, Quiet = false, Help = false;
  std::vector<std::string> Pictures, Music;
};

TCommandLine ParseCommandLine(int argc, char** argv) {
  TCommandLine c;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw UsageError(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "-h" || arg == "--help") c.Help = true;
    else if (arg == "-q" || arg == "--quiet") c.Quiet = true;
    else if (arg == "-o" || arg == "--output") c.Output = value();
    else if (arg == "-m" || arg == "--manifest") c.Manifest = value();
    else if (arg == "--player") c.Player = value();
    else if (arg == "--background") c.Background = value();
    else if (arg == "--preview") c.Preview = value();
    else if (arg == "--compress") c.Compress = value();
    else if (arg == "--effects") c.Effects = value();
    else if (arg == "--seconds") c.Seconds = value();
    else if (arg == "--music") c.Music.push_back(value());
    else if (arg == "--title") c.Title = value(), c.HasTitle = true;
    else if (arg == "--author") c.Author = value(), c.HasAuthor = true;
    else if (arg == "--website") c.Website = value(), c.HasWebsite = true;
    else if (arg.size() > 1 && arg[0] == '-') throw UsageError("unknown option " + arg);
    else if (EndsWith(arg, ".toml") && c.Manifest.empty()) c.Manifest = arg;
    else c.Pictures.push_back(arg);
  }
  return c;
}

void ApplyCommandLine(const TCommandLine& c, TPackJob& job) {
  if (!c.Output.empty()) job.Output = c.Output;
  if (!c.Player.empty()) job.Player = c.Player;
  if (!c.Background.empty()) job.Background = c.Background;
  if (!c.Preview.empty()) job.Preview = c.Preview;
  if (c.HasTitle) job.Text.Title = Text("--title", c.Title);
  if (c.HasAuthor) job.Text.Author = Text("--author", c.Author);
  if (c.HasWebsite) job.Text.Website = Text("--website", c.Website);
  if (c.Quiet) job.Quiet = true;
  if (!c.Compress.empty()) {
    if (c.Compress == "auto") job.Compress = TCompressMode::Auto;
    else if (c.Compress == "always") job.Compress = TCompressMode::Always;
    else if (c.Compress == "never") job.Compress = TCompressMode::Never;
    else throw UsageError("--compress: expected auto, always or never, not " + c.Compress);
  }
  if (!c.Effects.empty()) {
    try {
      job.Text.Effect = ParseEffectList(c.Effects);
    } catch (const std::invalid_argument& e) {
      throw UsageError(std::string("--effects: ") + e.what());
    }
  }
  if (!c.Seconds.empty()) {
    size_t used = 0;
    int seconds = 0;
    try {
      seconds = std::stoi(c.Seconds, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used != c.Seconds.size() || seconds < 1)
      throw UsageError("--seconds: expected a whole number of seconds, not " + c.Seconds);
    job.Trailer.Seconds = seconds;
  }
  for (auto& file : c.Pictures) {
    TPictureSource picture;
    picture.File = file;
    picture.Entry = job.PictureDefaults;
    job.Pictures.push_back(picture);
  }
  for (auto& file : c.Music) job.Music.push_back({file, ""});
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const TCommandLine command = ParseCommandLine(argc, argv);
    if (command.Help) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    TPackJob job = DefaultPackJob();
    if (!command.Manifest.empty()) LoadManifest(command.Manifest, job);
    ApplyCommandLine(command, job);
    if (job.Player.empty()) job.Player = DefaultPlayer();
    if (job.Output.empty()) throw UsageError("no output file given (-o FILE); see --help");
    if (job.Pictures.empty() && !job.Quiet)
      std::fputs("saver-pack: warning: the saver has no pictures\n", stderr);
    const bool quiet = job.Quiet;
    PackSaver(job, [quiet](const std::string& line) {
      if (!quiet) std::fprintf(stderr, "saver-pack: %s\n", line.c_str());
    });
    return 0;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "saver-pack: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "saver-pack: %s\n", e.what());
    return 1;
  }
}
