#pragma once
// The TOML manifest that describes a saver in full (format: docs/manifest.md).
#include <stdexcept>
#include <string>

#include "pack_job.h"

namespace saver {

// A manifest that cannot be read or holds a wrong key or value; the message
// names the file and the key.
class ManifestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Applies the manifest at path on top of job. File names in it are taken
// relative to the manifest's folder.
void LoadManifest(const std::string& path, TPackJob& job);

// The same from TOML text; baseDir resolves relative file names.
void ApplyManifest(const std::string& tomlText, const std::string& sourceName,
                   const std::string& baseDir, TPackJob& job);

// Parses an effect list: "all", "none", or numbers and "a-b" ranges
// separated by commas ("1-10, 42, 116"). Throws std::invalid_argument.
std::string ParseEffectList(const std::string& list);

}  // namespace saver
