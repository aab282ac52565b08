#pragma once
// What saver-pack tells while it works. On a terminal: one status line that
// counts the items and bytes done, redrawn in place, and the summary at the
// end. Elsewhere (a pipe, a file, a log): nothing but warnings and notes.
// --verbose prints a line for every item instead; --quiet nothing at all.
#include <string>

#include "saver_writer.h"

namespace saver {

class TPackProgressView {
 public:
  TPackProgressView(bool quiet, bool verbose, bool terminal);

  TPackReport Report();
  void Warning(const std::string& text);
  // Ends the status line, if one is showing.
  void Finish();

  // "3/12 items, 4.2 of 20.1 MB" or "checking 3/12 files".
  static std::string StatusText(const TPackStep& step);

 private:
  void Line(const std::string& text);
  void Status(const std::string& text);

  bool quiet_, verbose_, terminal_;
  std::string status_;   // the status line on screen now
  std::string summary_;  // the last item line: "wrote ...", shown at the end
};

// Prints each line of text as "saver-pack: line" on standard error.
void PrintErrorLines(const std::string& text);

}  // namespace saver
