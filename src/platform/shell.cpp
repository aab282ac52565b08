#include "platform/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace saver {
namespace {

constexpr char kOpener[] = "xdg-open";

bool IsRunnableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The first runnable `name` in a PATH folder. Empty and relative entries are
// skipped: they would mean "the current folder", and the saver must never run
// a program planted there.
std::string FindOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::string list(path);
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string folder = list.substr(start, end - start);
    start = end + 1;
    if (folder.empty() || folder.front() != '/') continue;
    if (folder.back() != '/') folder += '/';
    std::string candidate = folder + name;
    if (IsRunnableFile(candidate)) return candidate;
  }
  return {};
}

// Runs in the grandchild between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecDetached(const char* program, char* const argv[], int devNull, int maxFd) {
  if (devNull == STDIN_FILENO) {
    ::fcntl(devNull, F_SETFD, 0);
  } else if (devNull >= 0) {
    ::dup2(devNull, STDIN_FILENO);
  }
  // Nothing the saver holds open (payload, sockets, pipes) leaks into the
  // opener. Kernels without close_range get the descriptors closed one by one.
  if (::close_range(3, ~0U, 0) != 0) {
    for (int fd = 3; fd < maxFd; ++fd) ::close(fd);
  }
  // Dispositions and the mask survive exec when ignored or blocked; the
  // opener starts with the defaults.
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sig != SIGKILL && sig != SIGSTOP) ::sigaction(sig, &defaults, nullptr);
  }
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execv(program, argv);
  ::_exit(127);
}

}  // namespace

void XdgShell::Open(const std::string& utf8Address) {
  if (utf8Address.empty()) return;
  std::string program = FindOnPath(kOpener);
  if (program.empty()) return;

  // Everything the children need is prepared before fork: after it, a
  // multi-threaded process may only make async-signal-safe calls.
  std::string address = utf8Address;
  char* argv[] = {program.data(), address.data(), nullptr};
  int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  long openMax = ::sysconf(_SC_OPEN_MAX);
  int maxFd = (openMax > 0 && openMax < 65536) ? int(openMax) : 65536;

  // Double fork: the middle child starts a new session, forks the opener and
  // exits at once, so the opener is adopted by init (or the session's
  // subreaper) and never becomes a zombie of the saver.
  pid_t middle = ::fork();
  if (middle == 0) {
    ::setsid();
    pid_t opener = ::fork();
    if (opener == 0) ExecDetached(program.c_str(), argv, devNull, maxFd);
    ::_exit(opener < 0 ? 1 : 0);
  }
  if (devNull >= 0) ::close(devNull);
  if (middle < 0) return;
  while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
  }
}

namespace {
IShell* g_shell = nullptr;
}  // namespace

IShell& Shell() {
  if (g_shell) return *g_shell;
  static XdgShell fallback;
  return fallback;
}

void SetShell(IShell* shell) { g_shell = shell; }

}  // namespace saver
