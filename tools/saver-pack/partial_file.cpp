#include "partial_file.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "pack_error.h"

namespace saver {
namespace {

namespace fs = std::filesystem;

// The temporary files open now, for the signal handler: plain arrays, as a
// handler may only make async-signal-safe calls (unlink, raise).
constexpr int kSlots = 4;
constexpr size_t kPathMax = 4096;
char gPaths[kSlots][kPathMax];
std::atomic<bool> gUsed[kSlots];
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void RemoveAndEnd(int signal) {
  for (int i = 0; i < kSlots; ++i)
    if (gUsed[i].load()) ::unlink(gPaths[i]);
  // End as the signal would have ended the program.
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigaction(signal, &plain, nullptr);
  raise(signal);
}

void InstallHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal : kSignals) {
    struct sigaction old {};
    sigaction(signal, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;  // started ignoring it: keep so
    struct sigaction action {};
    action.sa_handler = RemoveAndEnd;
    sigemptyset(&action.sa_mask);
    for (int other : kSignals) sigaddset(&action.sa_mask, other);
    sigaction(signal, &action, nullptr);
  }
}

int Register(const std::string& path) {
  if (path.size() >= kPathMax) return -1;
  InstallHandlers();
  for (int i = 0; i < kSlots; ++i)
    if (!gUsed[i].load()) {
      std::memcpy(gPaths[i], path.c_str(), path.size() + 1);
      gUsed[i].store(true);
      return i;
    }
  return -1;
}

}  // namespace

TPartialFile::TPartialFile(fs::path destination) : destination_(std::move(destination)) {
  // mkostemps opens with O_CREAT|O_EXCL: a name that exists, a link
  // included, is never opened, and another name is drawn instead.
  std::string name =
      (destination_.parent_path() / ("." + destination_.filename().string() + ".XXXXXX.part")).string();
  fd_ = mkostemps(name.data(), 5, O_CLOEXEC);
  if (fd_ < 0)
    throw PackError("cannot write " + destination_.string() + ": " + std::strerror(errno));
  temporary_ = name;
  slot_ = Register(name);
}

TPartialFile::~TPartialFile() {
  if (!committed_) ::unlink(temporary_.c_str());
  if (fd_ >= 0) ::close(fd_);
  if (slot_ >= 0) gUsed[slot_].store(false);
}

void TPartialFile::Commit(fs::perms mode) {
  std::error_code ec;
  if (::fchmod(fd_, static_cast<mode_t>(mode)) != 0)
    ec = std::error_code(errno, std::generic_category());
  if (!ec) fs::rename(temporary_, destination_, ec);
  if (ec) throw PackError("cannot write " + destination_.string() + ": " + ec.message());
  committed_ = true;
}

}  // namespace saver
