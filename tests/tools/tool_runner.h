#pragma once
// Runs the built tools as a user would and collects what they print.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace saver::testing {

struct TRunResult {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

std::string PackTool();       // SAVER_BINARY_DIR/tools/saver-pack
std::string InspectTool();    // SAVER_BINARY_DIR/tools/saver-inspect
std::string PlayerProgram();  // SAVER_BINARY_DIR/src/app/saver
std::string AssetPath(const std::string& name);  // SAVER_SOURCE_DIR/assets/name

// Runs program with args (no shell), stdout and stderr captured.
TRunResult RunTool(const std::string& program, const std::vector<std::string>& args);

// A fresh empty folder, removed when the object goes.
class TScratchDir {
 public:
  TScratchDir();
  ~TScratchDir();
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void WriteTextFile(const std::filesystem::path& path, const std::string& text);

}  // namespace saver::testing
