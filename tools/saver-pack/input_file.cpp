#include "input_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "pack_error.h"

namespace saver {

namespace fs = std::filesystem;

std::string ErrnoText() { return std::strerror(errno); }

TFile OpenForReading(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) throw PackError("cannot read " + path + ": Is a directory");
  TFile f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) throw PackError("cannot read " + path + ": " + ErrnoText());
  return f;
}

int64_t FileLength(std::FILE* f, const std::string& path) {
  if (fseeko(f, 0, SEEK_END) != 0) throw PackError("cannot read " + path + ": " + ErrnoText());
  const int64_t length = ftello(f);
  if (length < 0 || fseeko(f, 0, SEEK_SET) != 0)
    throw PackError("cannot read " + path + ": " + ErrnoText());
  return length;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  TFile f = OpenForReading(path);
  std::vector<uint8_t> bytes(size_t(FileLength(f.get(), path)));
  if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
    throw PackError("cannot read " + path + ": " + (std::ferror(f.get()) ? ErrnoText() : "file shrank"));
  return bytes;
}

}  // namespace saver
