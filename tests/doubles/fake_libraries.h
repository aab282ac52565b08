#pragma once
// Test double of the run-time libraries: libraries are names mapped to
// tables of functions the test provides; every load and free is recorded.
#include <map>
#include <string>
#include <vector>

#include "platform/libraries.h"

namespace saver {

class FakeLibraries final : public ILibraries {
 public:
  using Exports = std::map<std::string, void*>;

  // path is the full path the caller will ask for.
  void Add(const std::string& path, Exports exports) { libraries_[path] = std::move(exports); }

  void* Load(const std::string& path) override {
    loads.push_back(path);
    auto it = libraries_.find(path);
    return it == libraries_.end() ? nullptr : &it->second;
  }
  void* Symbol(void* library, const std::string& name) override {
    if (!library) return nullptr;
    auto& exports = *static_cast<Exports*>(library);
    auto it = exports.find(name);
    return it == exports.end() ? nullptr : it->second;
  }
  void Free(void* library) override { ++frees; }

  std::vector<std::string> loads;
  int frees = 0;

 private:
  std::map<std::string, Exports> libraries_;
};

}  // namespace saver
