#include "platform/paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace saver {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : fallback;
}

std::string HomeFolder() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir;
  return "/";
}

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

// mkdir -p with the given mode for the folders it creates.
void MakeFolders(const std::string& path, mode_t mode) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (::mkdir(part.c_str(), mode) != 0 && errno != EEXIST) Fail("cannot create", part);
    }
  }
}

// A folder that only this user can reach. The last component is opened with
// O_NOFOLLOW so a planted link is refused rather than followed. Each refusal
// says what is wrong with the folder: the start of the show reports it.
void EnsurePrivateFolder(const std::string& path) {
  const std::string folder = "the temporary folder " + path;
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) Fail("cannot create", folder);
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    struct stat link;
    if (errno != ELOOP && errno != ENOTDIR) Fail("cannot open", folder);
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
      throw std::runtime_error(folder + " is a symbolic link, which is refused");
    throw std::runtime_error(folder + " is not a folder");
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st;
  if (::fstat(fd, &st) != 0) Fail("cannot examine", folder);
  if (st.st_uid != ::geteuid()) throw std::runtime_error(folder + " belongs to another user");
  if ((st.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0) Fail("cannot make private", folder);
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

}  // namespace

std::string TempFolder() {
  std::string base = EnvOr("TMPDIR", "/tmp");
  // A stale TMPDIR (a folder since removed) must not stop the show.
  struct stat st;
  if (::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) base = "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string path = base + "/saver-" + std::to_string(::geteuid());
  EnsurePrivateFolder(path);
  return path + "/";
}

std::string PrivateRuntimeFolder() {
  // Beside the temporary folder rather than in it: that one holds only the
  // show's item files, and nothing when no show runs.
  std::string path = TempFolder();
  path.back() = '-';
  path += "runtime";
  EnsurePrivateFolder(path);
  return path + "/";
}

std::string WindowsFolder() {
  std::string path = EnvOr("XDG_DATA_HOME", HomeFolder() + "/.local/share") + "/saver";
  MakeFolders(path, 0700);
  return WithSlash(path);
}

std::string ConfigFolder() {
  std::string path = EnvOr("XDG_CONFIG_HOME", HomeFolder() + "/.config") + "/saver";
  MakeFolders(path, 0700);
  return WithSlash(path);
}

}  // namespace saver
