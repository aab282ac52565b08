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
  // Creates ".NAME.XXXXXX.part" in the destination's folder, a new file
  // under a name no other file had (never through a link planted there),
  // readable and writable by the owner only. Throws PackError naming the
  // destination.
  explicit TPartialFile(std::filesystem::path destination);
  ~TPartialFile();  // removes the temporary file unless committed
  TPartialFile(const TPartialFile&) = delete;
  TPartialFile& operator=(const TPartialFile&) = delete;

  const std::filesystem::path& Path() const { return temporary_; }
  const std::filesystem::path& Destination() const { return destination_; }
  // The open file; writers write through a duplicate of it.
  int Descriptor() const { return fd_; }
  // Gives the file the mode and renames it onto the destination; throws
  // PackError naming the destination.
  void Commit(std::filesystem::perms mode);

 private:
  std::filesystem::path destination_, temporary_;
  int fd_ = -1;
  int slot_ = -1;
  bool committed_ = false;
};

}  // namespace saver
