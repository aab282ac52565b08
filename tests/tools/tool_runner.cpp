#include "tools/tool_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace saver::testing {

namespace fs = std::filesystem;

std::string PackTool() { return std::string(SAVER_BINARY_DIR) + "/tools/saver-pack"; }
std::string InspectTool() { return std::string(SAVER_BINARY_DIR) + "/tools/saver-inspect"; }
std::string PlayerProgram() { return std::string(SAVER_BINARY_DIR) + "/src/app/saver"; }
std::string AssetPath(const std::string& name) {
  return std::string(SAVER_SOURCE_DIR) + "/assets/" + name;
}

TRunResult RunTool(const std::string& program, const std::vector<std::string>& args) {
  TScratchDir capture;
  const fs::path outPath = capture / "out", errPath = capture / "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot run " + program);
  int status = 0;
  waitpid(pid, &status, 0);
  TRunResult r;
  r.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const auto out = ReadFileBytes(outPath), err = ReadFileBytes(errPath);
  r.Out.assign(out.begin(), out.end());
  r.Err.assign(err.begin(), err.end());
  return r;
}

TScratchDir::TScratchDir() {
  std::string pattern = (fs::temp_directory_path() / "saver-tools-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TScratchDir::~TScratchDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::vector<uint8_t> ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteTextFile(const fs::path& path, const std::string& text) {
  WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace saver::testing
