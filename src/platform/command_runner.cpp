#include "platform/command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace saver {
namespace {

// Output beyond this is read and dropped, so a runaway program cannot
// exhaust memory.
constexpr size_t kMaxOutput = 4u << 20;

bool IsRunnableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// Owns the spawn attributes and file actions for one start.
struct SpawnSetup {
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  SpawnSetup() {
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_init(&actions);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

int WaitFor(pid_t pid, int options) {
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid, &status, options);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return -2;  // still running (WNOHANG)
  if (r < 0) return -1;   // not a child any more: how it ended is unknown
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string FindProgramOnPath(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return {};
  const char* path = std::getenv("PATH");
  if (!path) return {};
  std::string list(path);
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string folder = list.substr(start, end - start);
    start = end + 1;
    // Empty and relative entries would mean the current folder, where the
    // saver must never pick up a program.
    if (folder.empty() || folder.front() != '/') continue;
    if (folder.back() != '/') folder += '/';
    std::string candidate = folder + name;
    if (IsRunnableFile(candidate)) return candidate;
  }
  return {};
}

TCommandResult ProcessRunner::Run(const std::vector<std::string>& argv) {
  TCommandResult result;
  if (argv.empty()) return result;
  const std::string program =
      argv[0].find('/') != std::string::npos ? argv[0] : FindProgramOnPath(argv[0]);
  if (program.empty() || !IsRunnableFile(program)) return result;

  std::vector<std::string> args = argv;
  std::vector<char*> cargs;
  for (std::string& a : args) cargs.push_back(a.data());
  cargs.push_back(nullptr);

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  int readFd = pipeFds[0], writeFd = pipeFds[1];

  SpawnSetup setup;
  posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&setup.actions, writeFd, STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&setup.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
#endif
  // Its own process group (so a timeout kills what it started too), the
  // default signal dispositions and an empty signal mask.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  sigdelset(&all, SIGKILL);
  sigdelset(&all, SIGSTOP);
  posix_spawnattr_setsigmask(&setup.attr, &none);
  posix_spawnattr_setsigdefault(&setup.attr, &all);
  posix_spawnattr_setpgroup(&setup.attr, 0);
  posix_spawnattr_setflags(&setup.attr,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  pid_t pid = -1;
  int spawned = ::posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attr, cargs.data(),
                              environ);
  CloseFd(writeFd);
  if (spawned != 0) {
    CloseFd(readFd);
    return result;
  }
  result.Started = true;

  // Read its output until it has ended, or until the time runs out. A
  // pidfd tells when it ends; without one (old kernels) its state is
  // checked every few milliseconds.
  const auto deadline = std::chrono::steady_clock::now() + timeout_;
  int pidFd = int(::syscall(SYS_pidfd_open, pid, 0));
  if (pidFd >= 0) ::fcntl(pidFd, F_SETFD, FD_CLOEXEC);
  int status = -2;  // -2: still running
  char buffer[16384];
  enum class Read { Data, Nothing, End };
  auto readSome = [&]() {
    ssize_t n = ::read(readFd, buffer, sizeof buffer);
    if (n < 0) return errno == EINTR || errno == EAGAIN ? Read::Nothing : Read::End;
    if (n == 0) return Read::End;
    if (result.Output.size() < kMaxOutput)
      result.Output.append(buffer, std::min(size_t(n), kMaxOutput - result.Output.size()));
    return Read::Data;
  };
  while (status == -2) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd fds[2];
    nfds_t count = 0;
    if (readFd >= 0) fds[count++] = {readFd, POLLIN, 0};
    if (pidFd >= 0) fds[count++] = {pidFd, POLLIN, 0};
    long long wait = left.count() + 1;
    if (pidFd < 0) wait = std::min(wait, 10LL);
    int ready = ::poll(fds, count, int(std::min(wait, 60000LL)));
    if (ready < 0 && errno != EINTR) break;
    if (readFd >= 0 && ready > 0 && fds[0].revents != 0 &&
        readSome() == Read::End)
      CloseFd(readFd);
    status = WaitFor(pid, WNOHANG);
  }
  if (status != -2 && readFd >= 0) {
    // It has ended; what it wrote is in the pipe. Whatever it left running
    // may hold the pipe open, so the rest is not waited for.
    ::fcntl(readFd, F_SETFL, O_NONBLOCK);
    while (readSome() == Read::Data) {
    }
  }
  CloseFd(readFd);
  CloseFd(pidFd);
  if (status == -2) {
    // Out of time: the program and everything in its group go.
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    WaitFor(pid, 0);
    status = -1;
  }
  result.ExitStatus = status;
  return result;
}

}  // namespace saver
