#pragma once
// A file written under a temporary name beside its destination and renamed
// onto it only when complete, so that no half-written file is ever left
// under the destination's name; the temporary file goes away when the
// writer fails, and also when the program is ended by SIGINT, SIGTERM,
// SIGHUP or SIGQUIT while writing.
#include <filesystem>

namespace saver {

class TPartialFile {
 public:
  explicit TPartialFile(std::filesystem::path destination);
  ~TPartialFile();  // removes the temporary file unless committed
  TPartialFile(const TPartialFile&) = delete;
  TPartialFile& operator=(const TPartialFile&) = delete;

  // ".NAME.part" in the destination's folder.
  const std::filesystem::path& Path() const { return temporary_; }
  // Gives the file the mode and renames it onto the destination; throws
  // PackError naming the destination.
  void Commit(std::filesystem::perms mode);

 private:
  std::filesystem::path destination_, temporary_;
  int slot_ = -1;
  bool committed_ = false;
};

}  // namespace saver
