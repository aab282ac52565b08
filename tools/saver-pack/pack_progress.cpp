#include "pack_progress.h"

#include <cstdio>
#include <sstream>

namespace saver {

namespace {

std::string Megabytes(int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", double(bytes) / 1e6);
  return text;
}

}  // namespace

TPackProgressView::TPackProgressView(bool quiet, bool verbose, bool terminal)
    : quiet_(quiet), verbose_(verbose && !quiet), terminal_(terminal && !quiet && !verbose) {}

std::string TPackProgressView::StatusText(const TPackStep& step) {
  if (std::string(step.Phase) == "checking")
    return "checking " + std::to_string(step.Items) + "/" + std::to_string(step.ItemCount) +
           " files";
  return std::to_string(step.Items) + "/" + std::to_string(step.ItemCount) + " items, " +
         Megabytes(step.Bytes) + " of " + Megabytes(step.ByteCount) + " MB";
}

void TPackProgressView::Line(const std::string& text) {
  if (terminal_ && !status_.empty()) std::fputs("\r\033[K", stderr);
  std::fprintf(stderr, "saver-pack: %s\n", text.c_str());
  if (terminal_ && !status_.empty()) std::fprintf(stderr, "saver-pack: %s", status_.c_str());
  std::fflush(stderr);
}

void TPackProgressView::Status(const std::string& text) {
  status_ = text;
  std::fprintf(stderr, "\r\033[Ksaver-pack: %s", text.c_str());
  std::fflush(stderr);
}

TPackReport TPackProgressView::Report() {
  TPackReport report;
  if (quiet_) return report;
  report.Note = [this](const std::string& text) { Line("note: " + text); };
  report.Warning = [this](const std::string& text) { Warning(text); };
  if (verbose_) report.Item = [this](const std::string& text) { Line(text); };
  if (terminal_) {
    report.Item = [this](const std::string& text) { summary_ = text; };
    report.Step = [this](const TPackStep& step) { Status(StatusText(step)); };
  }
  return report;
}

void TPackProgressView::Warning(const std::string& text) {
  if (!quiet_) Line("warning: " + text);
}

void TPackProgressView::Finish() {
  if (!terminal_) return;
  if (!status_.empty()) std::fputs("\r\033[K", stderr);
  // The last item line is the summary once the saver is written.
  if (summary_.rfind("wrote ", 0) == 0) std::fprintf(stderr, "saver-pack: %s\n", summary_.c_str());
  status_.clear();
  summary_.clear();
  std::fflush(stderr);
}

void PrintErrorLines(const std::string& text) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) std::fprintf(stderr, "saver-pack: %s\n", line.c_str());
}

}  // namespace saver
