#include "platform/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/build_config.h"

namespace saver {
namespace {

constexpr char kOpener[] = "xdg-open";
constexpr char kBlank[] = " \t\r\n";

// The rest of address after "scheme:", when it has that scheme (in any case).
std::optional<std::string_view> AfterScheme(std::string_view address, std::string_view scheme) {
  if (address.size() <= scheme.size() || address[scheme.size()] != ':') return std::nullopt;
  for (size_t i = 0; i < scheme.size(); ++i) {
    const char c = address[i];
    if ((c >= 'A' && c <= 'Z' ? char(c + 32) : c) != scheme[i]) return std::nullopt;
  }
  return address.substr(scheme.size() + 1);
}

// A web page with a host, or a mail address.
bool IsWebOrMail(std::string_view address) {
  for (std::string_view web : {"http", "https"}) {
    if (std::optional<std::string_view> rest = AfterScheme(address, web))
      return rest->size() > 2 && rest->substr(0, 2) == "//" && (*rest)[2] != '/';
  }
  std::optional<std::string_view> mail = AfterScheme(address, "mailto");
  return mail && !mail->empty();
}

std::string PercentEncodeBlanksAndControls(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const uint8_t b = uint8_t(c);
    if (b <= 0x20 || b == 0x7F) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// address without the blanks around it (a stray space or line end of a
// text field).
std::string_view Trimmed(const std::string& address) {
  const size_t first = address.find_first_not_of(kBlank);
  if (first == std::string::npos) return {};
  return std::string_view(address).substr(first, address.find_last_not_of(kBlank) - first + 1);
}

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

std::optional<std::string> OpenableAddress(const std::string& utf8Address) {
  // The program's own addresses are trusted as they were built in.
  if (utf8Address == kInfoAddress || utf8Address == kProjectAddress) return utf8Address;
  std::string address = PercentEncodeBlanksAndControls(Trimmed(utf8Address));
  if (!IsWebOrMail(address)) return std::nullopt;
  return address;
}

void IShell::Open(const std::string& utf8Address) {
  if (Trimmed(utf8Address).empty()) return;  // no address at all
  if (std::optional<std::string> address = OpenableAddress(utf8Address)) {
    Launch(*address);
    return;
  }
  std::fprintf(stderr, "saver: not opening \"%s\": only web (http, https) and mail (mailto) addresses are opened\n",
               PercentEncodeBlanksAndControls(utf8Address).c_str());
}

void XdgShell::Launch(const std::string& utf8Address) {
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
