#pragma once
// The command line every tool shares: options declared through CLI11, one
// help layout (the same text the manual pages carry), --version, and one
// wording for mistakes: "TOOL: what is wrong" and the usage lines on
// standard error, exit status 2.
#include <cstdint>
#include <stdexcept>
#include <string>

#include <CLI/CLI.hpp>

namespace saver::tool {

// A mistake on the command line; the message is ready for the user.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TToolText {
  std::string Name;         // "saver-pack"
  std::string Usage;        // the synopsis lines, each starting with the name
  std::string Description;  // paragraphs shown before the options, wrapped by hand
  std::string Epilog;       // paragraphs shown after the options
};

class TCommandLine {
 public:
  explicit TCommandLine(TToolText text);

  // Where the tool declares its options and commands. Option descriptions
  // are single paragraphs; the help wraps them.
  CLI::App& App() { return app_; }

  // Parses the arguments. Returns 0 after printing the help or the version,
  // 2 after printing a usage error, and -1 when the tool should go on.
  int Parse(int argc, char** argv);

  // The full help text (what --help prints).
  std::string Help() const;

  // Prints "NAME: message" and the usage lines to standard error; returns 2.
  int Fail(const std::string& message) const;

 private:
  TToolText text_;
  CLI::App app_;
  bool help_ = false, version_ = false;
};

// The version every tool reports, "1.2.3".
const char* Version();

// A whole number from lo to hi; else UsageError
// "OPTION wants a whole number from LO to HI, not 'TEXT'".
int64_t WholeNumber(const std::string& option, const std::string& text, int64_t lo, int64_t hi);

struct TSize {
  int32_t Width = 0, Height = 0;
};
// "WIDTHxHEIGHT", each from 1 to 16384; else UsageError naming the option.
TSize PictureSize(const std::string& option, const std::string& text);

}  // namespace saver::tool
