// saver-inspect: shows what a saver file carries.
#include <cstdio>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "compose.h"
#include "item_export.h"
#include "json_report.h"
#include "saver_contents.h"
#include "text_report.h"

namespace {

using saver::tool::UsageError;

const saver::tool::TToolText kText = {
    "saver-inspect",
    "saver-inspect [--json] [--extract DIR] SAVER\n"
    "saver-inspect --compose N --size WxH --out FILE.png [--seed S] SAVER",
    R"(Prints what a saver carries: the trailer with the settings it starts with
(coded ones by the names a manifest gives them), its text fields and the tables
of its pictures (with each one's size), masks and music. It can also write
every item back out as a file, or render one picture as the show composes it.
)",
    R"(A file without a valid payload, or a picture that cannot be decoded, gives a
one-line error and exit status 1; a mistake on the command line exit status 2.
)"};

struct TOptions {
  bool Json = false;
  std::string Extract, Compose, Size, Out, Seed;
  std::vector<std::string> Savers;
};

void DeclareOptions(CLI::App& app, TOptions& o) {
  app.add_option("saver", o.Savers)->type_name("SAVER");
  app.add_flag("--json", o.Json, "Print one JSON object instead of the description.");
  app.add_option("--extract", o.Extract,
                 "Also write every item (the preview, pictures, masks, background and music) "
                 "into DIR under readable names such as picture-01.jpg.")
      ->type_name("DIR");
  const std::string compose = "Composing a picture";
  app.add_option("--compose", o.Compose,
                 "Render picture N (counted from 0) as the show composes it before its "
                 "transition: the background gradient and background picture, the picture "
                 "fitted by its size and position mode through its mask, and its caption. The "
                 "payload's default settings apply.")
      ->type_name("N")
      ->group(compose);
  app.add_option("--size", o.Size, "The screen size to compose for, each side 1 to 16384 pixels.")
      ->type_name("WxH")
      ->group(compose);
  app.add_option("--out", o.Out, "The PNG file to write.")->type_name("FILE")->group(compose);
  app.add_option("--seed", o.Seed, "The number that drives every random choice (default 1).")
      ->type_name("S")
      ->group(compose);
}

std::string OnlySaver(const TOptions& o) {
  if (o.Savers.empty()) throw UsageError("no saver file given");
  if (o.Savers.size() > 1) throw UsageError("give one saver file, not " + std::to_string(o.Savers.size()));
  return o.Savers.front();
}

saver::TComposeRequest ComposeRequest(const TOptions& o) {
  if (o.Json || !o.Extract.empty()) throw UsageError("--compose goes without --json and --extract");
  if (o.Size.empty()) throw UsageError("--compose wants --size WxH");
  if (o.Out.empty()) throw UsageError("--compose wants --out FILE.png");
  saver::TComposeRequest request;
  // Larger numbers than a picture table can hold must not wrap onto a real picture.
  request.Index = int32_t(saver::tool::WholeNumber("--compose", o.Compose, 0, INT32_MAX));
  const saver::tool::TSize size = saver::tool::PictureSize("--size", o.Size);
  request.Width = size.Width;
  request.Height = size.Height;
  if (!o.Seed.empty())
    request.Seed = uint32_t(saver::tool::WholeNumber("--seed", o.Seed, 0, UINT32_MAX));
  request.Out = o.Out;
  request.Saver = OnlySaver(o);
  return request;
}

int Describe(const TOptions& o, const std::string& path) {
  try {
    const saver::TSaverContents contents = saver::ReadSaverContents(path);
    if (o.Json)
      std::printf("%s\n", saver::JsonReport(contents).dump(2).c_str());
    else
      std::fputs(saver::TextReport(contents).c_str(), stdout);
    if (!o.Extract.empty())
      saver::ExportItems(contents, o.Extract, [&o](const std::string& file) {
        std::fprintf(o.Json ? stderr : stdout, "extracted %s\n", file.c_str());
      });
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "saver-inspect: %s: %s\n", path.c_str(), e.what());
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  saver::tool::TCommandLine commandLine(kText);
  TOptions options;
  DeclareOptions(commandLine.App(), options);
  if (const int status = commandLine.Parse(argc, argv); status >= 0) return status;
  try {
    if (!options.Compose.empty()) return saver::RunCompose(ComposeRequest(options));
    for (const char* option : {"--size", "--out", "--seed"})
      if (commandLine.App().count(option))
        throw UsageError(std::string(option) + " goes with --compose N");
    return Describe(options, OnlySaver(options));
  } catch (const UsageError& e) {
    return commandLine.Fail(e.what());
  }
}
