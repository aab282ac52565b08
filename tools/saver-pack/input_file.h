#pragma once
// Reading the author's files, with errors that name the file.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace saver {

using TFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// strerror of the current errno.
std::string ErrnoText();

// Each raises PackError "cannot read PATH: reason".
TFile OpenForReading(const std::string& path);
int64_t FileLength(std::FILE* f, const std::string& path);  // and rewinds
std::vector<uint8_t> ReadWholeFile(const std::string& path);

}  // namespace saver
