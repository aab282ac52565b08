#include "common/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

namespace saver::tool {
namespace {

constexpr size_t kWidth = 79;        // help lines end before this column
constexpr size_t kTextColumn = 24;   // where option descriptions start

// Words of text laid out from column `indent` up to kWidth, the first line
// continuing whatever `line` already holds.
void Wrap(std::string& out, std::string line, const std::string& text, size_t indent) {
  std::istringstream words(text);
  bool first = true;
  for (std::string word; words >> word;) {
    if (!first && line.size() + 1 + word.size() > kWidth) {
      out += line + "\n";
      line = std::string(indent, ' ') + word;
    } else {
      line += (first ? "" : " ") + word;
    }
    first = false;
  }
  out += line + "\n";
}

// "-o, --output FILE"
std::string OptionHead(const CLI::Option& option) {
  std::string head;
  for (const std::string& s : option.get_snames()) head += (head.empty() ? "-" : ", -") + s;
  for (const std::string& l : option.get_lnames()) head += (head.empty() ? "--" : ", --") + l;
  if (option.get_expected_max() > 0 && !option.get_type_name().empty())
    head += " " + option.get_type_name();
  return head;
}

bool IsHelpOrVersion(const CLI::Option& option) {
  return option.check_lname("help") || option.check_lname("version");
}

// Every named option in its group, the help and the version last.
void ListOptions(const CLI::App& app, std::vector<std::string>& groups,
                 std::vector<std::string>& bodies, bool helpAndVersion) {
  for (const CLI::Option* option : app.get_options()) {
    if (option->get_snames().empty() && option->get_lnames().empty()) continue;  // positional
    if (IsHelpOrVersion(*option) != helpAndVersion) continue;
    size_t g = 0;
    while (g < groups.size() && groups[g] != option->get_group()) ++g;
    if (g == groups.size()) {
      groups.push_back(option->get_group());
      bodies.emplace_back();
    }
    const std::string head = "  " + OptionHead(*option);
    if (head.size() + 2 <= kTextColumn)
      Wrap(bodies[g], head + std::string(kTextColumn - head.size(), ' '),
           option->get_description(), kTextColumn);
    else
      Wrap(bodies[g] += head + "\n", std::string(kTextColumn, ' '), option->get_description(),
           kTextColumn);
  }
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    ListOptions(*sub, groups, bodies, helpAndVersion);
}

// The usage lines with "Usage: " before the first and its indent before the rest.
std::string UsageLines(const std::string& usage) {
  std::string out;
  std::istringstream lines(usage);
  bool first = true;
  for (std::string line; std::getline(lines, line); first = false)
    out += (first ? "Usage: " : "       ") + line + "\n";
  return out;
}

}  // namespace

const char* Version() { return SAVER_VERSION; }

TCommandLine::TCommandLine(TToolText text) : text_(std::move(text)), app_(text_.Name, text_.Name) {
  app_.set_help_flag();  // the help is ours, with the layout of the manuals
  app_.allow_extras();   // reported below in the same words as other mistakes
  app_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app_.add_flag("-h,--help", help_, "Print this help and exit.");
  app_.add_flag("--version", version_, "Print the version and exit.");
}

std::string TCommandLine::Help() const {
  std::string out = UsageLines(text_.Usage);
  if (!text_.Description.empty()) out += "\n" + text_.Description;
  std::vector<std::string> groups, bodies;
  ListOptions(app_, groups, bodies, false);
  ListOptions(app_, groups, bodies, true);
  for (size_t g = 0; g < groups.size(); ++g) out += "\n" + groups[g] + ":\n" + bodies[g];
  if (!text_.Epilog.empty()) out += "\n" + text_.Epilog;
  return out;
}

int TCommandLine::Fail(const std::string& message) const {
  std::fprintf(stderr, "%s: %s\n%s", text_.Name.c_str(), message.c_str(),
               UsageLines(text_.Usage).c_str());
  return 2;
}

int TCommandLine::Parse(int argc, char** argv) {
  // --help and --version answer whatever else the line holds.
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
      std::fputs(Help().c_str(), stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--version")) {
      std::printf("%s %s\n", text_.Name.c_str(), Version());
      return 0;
    }
  }
  try {
    app_.parse(argc, argv);
  } catch (const CLI::ArgumentMismatch& e) {
    const std::string what = e.what();
    const size_t colon = what.find(':');
    if (what.find(" required ") != std::string::npos && colon != std::string::npos)
      return Fail(what.substr(0, colon) + " needs a value");
    return Fail(what);
  } catch (const CLI::ParseError& e) {
    return Fail(e.what());
  }
  for (const std::string& extra : app_.remaining(true)) {
    if (extra.size() > 1 && extra[0] == '-') return Fail("unknown option " + extra);
    return Fail("unexpected argument " + extra);
  }
  return -1;
}

int64_t WholeNumber(const std::string& option, const std::string& text, int64_t lo, int64_t hi) {
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || v < lo || v > hi)
    throw UsageError(option + " wants a whole number from " + std::to_string(lo) + " to " +
                     std::to_string(hi) + ", not '" + text + "'");
  return v;
}

TSize PictureSize(const std::string& option, const std::string& text) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) throw UsageError(option + " wants WIDTHxHEIGHT, not '" + text + "'");
  TSize size;
  size.Width = int32_t(WholeNumber(option, text.substr(0, x), 1, 16384));
  size.Height = int32_t(WholeNumber(option, text.substr(x + 1), 1, 16384));
  return size;
}

}  // namespace saver::tool
