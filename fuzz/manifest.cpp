// Feeds arbitrary text to saver-pack's TOML manifest reader. Whatever the
// text, the reader either fills the job or raises ManifestError with a
// message; any other exception, a crash or a leak is a finding. File names
// resolve in an empty folder, so files named by the manifest are missing.
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "manifest.h"

namespace {

const std::string& EmptyFolder() {
  static const std::string dir = [] {
    char templ[] = "/tmp/fuzz-manifest-XXXXXX";
    return std::string(mkdtemp(templ));
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  saver::TPackJob job;
  try {
    saver::ApplyManifest(std::string(reinterpret_cast<const char*>(bytes), size), "fuzz.toml",
                         EmptyFolder(), job);
  } catch (const saver::ManifestError&) {
  }
  return 0;
}
