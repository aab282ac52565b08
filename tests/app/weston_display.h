#pragma once
// A private Wayland compositor for tests: weston on its headless backend, or
// on its X11 backend inside the test's X server (whose input then reaches
// the Wayland clients), with a runtime folder of its own. The compositor
// dies with the process that started it.
//
//   auto w = WestonDisplay::Start(folder, {"--backend=headless-backend.so",
//                                          "--width=640", "--height=360"}, &error);
//   ... run a client with XDG_RUNTIME_DIR=w->RuntimeFolder(), WAYLAND_DISPLAY=w->Name() ...
//   TBitmap32 shot = w->Screenshot();  // every output, as the compositor shows it
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "graphics/bitmap32.h"
#include "payload/decoders/picture_decoder.h"

namespace saver::test {

class WestonDisplay {
 public:
  // Whether weston is installed (scripts/setup installs it).
  static bool Installed() { return std::system("command -v weston >/dev/null 2>&1") == 0; }

  // Starts weston with a runtime folder made in `folder`, its debug protocol
  // on (for screenshots) and no idle lock, plus backendArgs. nullptr (and
  // *error) when it does not accept clients within twenty seconds.
  static std::unique_ptr<WestonDisplay> Start(const std::string& folder,
                                              const std::vector<std::string>& backendArgs,
                                              std::string* error) {
    static int count = 0;
    std::unique_ptr<WestonDisplay> w(new WestonDisplay);
    w->runtime_ = folder + "/weston-runtime-" + std::to_string(++count);
    w->name_ = "wayland-test-" + std::to_string(getpid()) + "-" + std::to_string(count);
    mkdir(w->runtime_.c_str(), 0700);
    const std::string log = w->runtime_ + "/weston.log";
    const pid_t parent = getpid();
    w->pid_ = fork();
    if (w->pid_ < 0) return Fail(error, "cannot fork");
    if (w->pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(127);
      setenv("XDG_RUNTIME_DIR", w->runtime_.c_str(), 1);
      unsetenv("WAYLAND_DISPLAY");
      freopen(log.c_str(), "w", stdout);
      dup2(fileno(stdout), STDERR_FILENO);
      const std::string socket = "--socket=" + w->name_;
      std::vector<const char*> argv = {"weston", socket.c_str(), "--use-pixman", "--idle-time=0",
                                       "--debug"};
      for (const std::string& a : backendArgs) argv.push_back(a.c_str());
      argv.push_back(nullptr);
      execvp("weston", const_cast<char* const*>(argv.data()));
      _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!w->Accepts()) {
      if (std::chrono::steady_clock::now() > deadline || waitpid(w->pid_, nullptr, WNOHANG) != 0) {
        w->pid_ = -1;
        return Fail(error, "weston did not start (see " + log + ")");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return w;
  }

  ~WestonDisplay() { Stop(); }
  WestonDisplay(const WestonDisplay&) = delete;
  WestonDisplay& operator=(const WestonDisplay&) = delete;

  // WAYLAND_DISPLAY for a client whose XDG_RUNTIME_DIR is RuntimeFolder().
  const std::string& Name() const { return name_; }
  const std::string& RuntimeFolder() const { return runtime_; }
  std::string SocketPath() const { return runtime_ + "/" + name_; }
  pid_t Pid() const { return pid_; }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // What every output shows, through weston-screenshooter (which writes a
  // PNG into its working folder); empty when it fails.
  TBitmap32 Screenshot() const {
    const std::string folder = runtime_ + "/shot";
    mkdir(folder.c_str(), 0700);
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(folder.c_str()) != 0) _exit(127);
      setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
      setenv("WAYLAND_DISPLAY", name_.c_str(), 1);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      execlp("weston-screenshooter", "weston-screenshooter", nullptr);
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    TBitmap32 shot;
    DIR* dir = opendir(folder.c_str());
    while (dirent* e = dir ? readdir(dir) : nullptr) {
      const std::string file = folder + "/" + e->d_name;
      if (file.size() > 4 && file.compare(file.size() - 4, 4, ".png") == 0) {
        try {
          shot = DecodePictureFile(file, ".png");
        } catch (...) {
        }
        unlink(file.c_str());
      }
    }
    if (dir) closedir(dir);
    return shot;
  }

 private:
  WestonDisplay() = default;
  static std::unique_ptr<WestonDisplay> Fail(std::string* error, const std::string& what) {
    if (error) *error = what;
    return nullptr;
  }
  bool Accepts() const {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = SocketPath();
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
  }

  std::string runtime_, name_;
  pid_t pid_ = -1;
};

}  // namespace saver::test
