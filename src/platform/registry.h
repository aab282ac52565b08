#pragma once
// The per-user registry: typed values (DWORD, SZ, EXPAND_SZ) under keys named
// by backslash-separated paths ("Software\Kelvastrom\Ocean Views"). Key and
// value names compare case-insensitively (ASCII); leading, trailing and
// doubled backslashes are ignored, so "\Software\Kelvastrom\" names the key
// "Software\Kelvastrom". Names and texts are Windows-1252 bytes.
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace saver {

// Other: a value this store cannot use (an unknown type, or data that does
// not fit its type). It is kept exactly as found, so one such value neither
// hides the rest of the store nor is lost on the next write; a reader that
// expects a type sees a mismatch.
enum class RegType { Dword, Sz, ExpandSz, Other };

struct RegValue {
  RegType type = RegType::Dword;
  int32_t dword = 0;   // Dword
  std::string text;    // Sz, ExpandSz (environment references are never expanded);
                       // Other: the value's stored form, verbatim

  static RegValue Dword(int32_t v) { return {RegType::Dword, v, {}}; }
  static RegValue Sz(std::string s) { return {RegType::Sz, 0, std::move(s)}; }
  static RegValue ExpandSz(std::string s) { return {RegType::ExpandSz, 0, std::move(s)}; }
  bool operator==(const RegValue&) const = default;
};

class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Value names in the order they were first written.
using RegValues = std::vector<std::pair<std::string, RegValue>>;

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // The values of a key, or nullopt when the key does not exist. Raises
  // RegistryError when the store cannot be read.
  virtual std::optional<RegValues> ReadKey(const std::string& keyPath) = 0;
  // Creates the key and the keys above it when missing and sets the values,
  // all in one step: another reader sees either none or all of them. Values
  // not named keep what they held. Raises RegistryError on failure.
  virtual void WriteValues(const std::string& keyPath, const RegValues& values) = 0;
  // Where the values are kept, for messages (the store's file).
  virtual std::string Location() const = 0;
};

// Finds a value by name (case-insensitive) in what ReadKey returned.
const RegValue* FindValue(const RegValues& values, const std::string& name);

// The store as one human-readable JSON file. Every write takes an exclusive
// lock (path + ".lock"), reads the current file, writes the new contents to a
// temporary file, flushes it to disk and renames it over the old one, so
// concurrent writers never lose each other's keys and a crash leaves either
// the old or the new file. A file that cannot be parsed reads as an empty
// store; the next write keeps it aside as path + ".corrupt". A value it
// cannot use reads as RegType::Other and is written back unchanged. A file
// that is larger than kMaxFileSize, or no regular file at all, is not read:
// reading and writing raise RegistryError and leave it as it is.
class FileRegistry final : public IRegistry {
 public:
  // Far above what settings take (about a kilobyte a saver), and low enough
  // that reading the largest store takes a fraction of a second.
  static constexpr int64_t kMaxFileSize = 1 << 20;

  explicit FileRegistry(std::string path) : path_(std::move(path)) {}
  std::optional<RegValues> ReadKey(const std::string& keyPath) override;
  void WriteValues(const std::string& keyPath, const RegValues& values) override;
  std::string Location() const override { return path_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The store file of the current user: ConfigFolder() + "registry.json".
std::string DefaultRegistryPath();

// The process's registry: a FileRegistry at DefaultRegistryPath() unless a
// test or tool replaced it.
IRegistry& Registry();
void SetRegistry(IRegistry* registry);  // nullptr restores the default

}  // namespace saver
