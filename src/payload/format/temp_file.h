#pragma once
// A temporary item file that is removed when the scope using it ends, however
// it ends: decoded pictures need nothing more from their files.
#include <cstdio>
#include <string>
#include <utility>

namespace saver {

struct TTempFile {
  std::string Path;  // empty: nothing to remove

  explicit TTempFile(std::string path = {}) : Path(std::move(path)) {}
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  ~TTempFile() {
    if (!Path.empty()) std::remove(Path.c_str());
  }
};

}  // namespace saver
