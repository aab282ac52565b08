// saver-inspect: shows what a saver file carries.
#include <cstdio>
#include <cstring>
#include <string>

#include "compose.h"
#include "item_export.h"
#include "json_report.h"
#include "saver_contents.h"
#include "text_report.h"

namespace {

constexpr const char* kUsage = R"(Usage: saver-inspect [--json] [--extract DIR] SAVER
       saver-inspect --compose N --size WxH --out FILE.png SAVER
Prints the trailer, text fields and item tables of a saver.

      --json           print one JSON object instead of the description
      --extract DIR    also write every item (preview, pictures, masks,
                       background, music) into DIR under readable names
      --compose N      render picture N as the show would (see --help there)
  -h, --help           show this help

A file without a valid payload gives a one-line error and exit status 1.
)";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--compose") == 0) return saver::RunCompose(argc, argv);

  bool json = false;
  std::string extractTo, path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--json") {
      json = true;
    } else if (arg == "--extract") {
      if (i + 1 >= argc) {
        std::fputs("saver-inspect: --extract needs a folder\n", stderr);
        return 2;
      }
      extractTo = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "saver-inspect: unknown option %s\n", arg.c_str());
      return 2;
    } else if (path.empty()) {
      path = arg;
    } else {
      std::fputs("saver-inspect: give one saver file\n", stderr);
      return 2;
    }
  }
  if (path.empty()) {
    std::fputs("saver-inspect: no saver file given; see --help\n", stderr);
    return 2;
  }

  try {
    const saver::TSaverContents contents = saver::ReadSaverContents(path);
    if (json)
      std::printf("%s\n", saver::JsonReport(contents).dump(2).c_str());
    else
      std::fputs(saver::TextReport(contents).c_str(), stdout);
    if (!extractTo.empty())
      saver::ExportItems(contents, extractTo, [json](const std::string& file) {
        std::fprintf(json ? stderr : stdout, "extracted %s\n", file.c_str());
      });
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "saver-inspect: %s: %s\n", path.c_str(), e.what());
    return 1;
  }
}
