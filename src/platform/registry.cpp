#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/cp1252.h"
#include "platform/ordered_json.h"
#include "platform/paths.h"

namespace saver {
namespace {

using Json = OrderedJson;

// Keys, values and a value's own data: anything nested deeper is no store.
constexpr size_t kMaxDepth = 64;

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::vector<std::string> SplitKey(const std::string& keyPath) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : keyPath + '\\') {
    if (c != '\\') {
      part += c;
    } else if (!part.empty()) {
      parts.push_back(part);
      part.clear();
    }
  }
  return parts;
}

std::string JoinKey(const std::vector<std::string>& parts, size_t count) {
  std::string key;
  for (size_t i = 0; i < count; ++i) key += (i ? "\\" : "") + parts[i];
  return key;
}

// The whole store: key paths (normalised) with their values, in file order.
using Store = std::vector<std::pair<std::string, RegValues>>;

RegValues* FindKey(Store& store, const std::string& key) {
  for (auto& [name, values] : store)
    if (SameName(name, key)) return &values;
  return nullptr;
}

const char* TypeName(RegType t) {
  switch (t) {
    case RegType::Dword: return "REG_DWORD";
    case RegType::Sz: return "REG_SZ";
    case RegType::ExpandSz: return "REG_EXPAND_SZ";
    case RegType::Other: break;
  }
  return "";
}

// nullopt for a value of a form this store cannot use. Decided without
// exceptions: a file may hold hundreds of thousands of such values.
std::optional<RegValue> TypedValueFromJson(const Json& j) {
  if (!j.is_object()) return std::nullopt;
  auto type = j.find("type");
  auto data = j.find("data");
  if (type == j.end() || data == j.end() || !type->is_string()) return std::nullopt;
  const std::string& name = type->get_ref<const std::string&>();
  if (name == "REG_DWORD") {
    // Checked before converting: a number past 64 bits signed would wrap.
    if (!data->is_number_integer() ||
        (data->is_number_unsigned() && data->get<uint64_t>() > UINT32_MAX))
      return std::nullopt;
    int64_t v = data->get<int64_t>();
    if (v < INT32_MIN || v > int64_t(UINT32_MAX)) return std::nullopt;
    return RegValue::Dword(int32_t(uint32_t(v)));
  }
  if (!data->is_string()) return std::nullopt;
  const std::string& text = data->get_ref<const std::string&>();
  if (name == "REG_SZ") return RegValue::Sz(Utf8ToCp1252(text));
  if (name == "REG_EXPAND_SZ") return RegValue::ExpandSz(Utf8ToCp1252(text));
  return std::nullopt;
}

RegValue ValueFromJson(const Json& j) {
  if (std::optional<RegValue> typed = TypedValueFromJson(j)) return *std::move(typed);
  return RegValue{RegType::Other, 0, j.dump()};
}

Json ValueToJson(const RegValue& v) {
  if (v.type == RegType::Other) {
    try {
      return ParseOrderedJson(v.text, kMaxDepth);
    } catch (const std::exception&) {
      throw RegistryError("value of unknown form");
    }
  }
  Json j;
  j["type"] = TypeName(v.type);
  if (v.type == RegType::Dword)
    j["data"] = v.dword;
  else
    j["data"] = Cp1252ToUtf8(v.text);
  return j;
}

Store Parse(const std::string& text) {
  Json root = ParseOrderedJson(text, kMaxDepth);
  if (!root.is_object()) throw RegistryError("store is not an object");
  Store store;
  for (auto& [key, values] : root.items()) {
    if (!values.is_object()) throw RegistryError("key is not an object");
    RegValues list;
    for (auto& [name, value] : values.items())
      list.emplace_back(Utf8ToCp1252(name), ValueFromJson(value));
    store.emplace_back(Utf8ToCp1252(key), std::move(list));
  }
  return store;
}

std::string Serialize(const Store& store) {
  // Names within a key, and keys, are distinct: they are appended unsearched.
  Json root = Json::object();
  for (const auto& [key, values] : store) {
    Json k = Json::object();
    for (const auto& [name, value] : values) AppendMember(k, Cp1252ToUtf8(name), ValueToJson(value));
    AppendMember(root, Cp1252ToUtf8(key), std::move(k));
  }
  return root.dump(2) + "\n";
}

[[noreturn]] void Fail(const std::string& what) {
  throw RegistryError(what + ": " + std::strerror(errno));
}

// nullopt when there is no file yet. Only a regular file of at most
// FileRegistry::kMaxFileSize bytes is read: a store linked to a device or a
// pipe, or grown past any sane size, is refused before it fills memory.
std::optional<std::string> ReadFile(const std::string& path) {
  // Non-blocking, so that opening a planted pipe does not wait for a writer.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    Fail("cannot read " + path);
  }
  std::unique_ptr<int, void (*)(int*)> closer(&fd, [](int* f) { ::close(*f); });
  struct stat st;
  if (::fstat(fd, &st) != 0) Fail("cannot read " + path);
  if (!S_ISREG(st.st_mode)) throw RegistryError("cannot read " + path + ": not a regular file");
  const auto tooLarge = [&] {
    return RegistryError("cannot read " + path + ": larger than " +
                         std::to_string(FileRegistry::kMaxFileSize) + " bytes");
  };
  if (st.st_size > FileRegistry::kMaxFileSize) throw tooLarge();
  // The bound holds while reading too: the file may grow meanwhile.
  std::string text;
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("cannot read " + path);
    if (n == 0) return text;
    text.append(chunk, size_t(n));
    if (text.size() > size_t(FileRegistry::kMaxFileSize)) throw tooLarge();
  }
}

// A store that does not parse reads as empty (the settings then keep their
// defaults); *corrupt tells the writer to keep the bad file aside.
Store Load(const std::string& path, bool* corrupt = nullptr) {
  std::optional<std::string> text = ReadFile(path);
  if (!text) return {};
  try {
    return Parse(*text);
  } catch (const std::exception&) {
    if (corrupt) *corrupt = true;
    return {};
  }
}

class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) Fail("cannot open lock " + path);
    while (::flock(fd_, LOCK_EX) != 0)
      if (errno != EINTR) {
        ::close(fd_);
        Fail("cannot lock " + path);
      }
  }
  ~FileLock() { ::close(fd_); }  // closing releases the lock

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

void WriteAtomically(const std::string& path, const std::string& text) {
  std::string temp = path + ".tmp";
  ::unlink(temp.c_str());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) Fail("cannot create " + temp);
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      ::unlink(temp.c_str());
      Fail("cannot write " + temp);
    }
    done += size_t(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    ::unlink(temp.c_str());
    Fail("cannot flush " + temp);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    Fail("cannot replace " + path);
  }
  // Make the rename itself durable.
  int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace

const RegValue* FindValue(const RegValues& values, const std::string& name) {
  for (const auto& [n, v] : values)
    if (SameName(n, name)) return &v;
  return nullptr;
}

std::optional<RegValues> FileRegistry::ReadKey(const std::string& keyPath) {
  Store store = Load(path_);
  std::string key = JoinKey(SplitKey(keyPath), SplitKey(keyPath).size());
  if (key.empty()) return RegValues{};  // the root always exists
  if (RegValues* values = FindKey(store, key)) return std::move(*values);
  return std::nullopt;
}

void FileRegistry::WriteValues(const std::string& keyPath, const RegValues& values) {
  FileLock lock(path_ + ".lock");
  bool corrupt = false;
  Store store = Load(path_, &corrupt);
  if (corrupt && ::rename(path_.c_str(), (path_ + ".corrupt").c_str()) != 0)
    Fail("cannot keep aside " + path_);

  std::vector<std::string> parts = SplitKey(keyPath);
  for (size_t n = 1; n <= parts.size(); ++n) {
    std::string key = JoinKey(parts, n);
    if (!FindKey(store, key)) store.emplace_back(key, RegValues{});
  }
  if (parts.empty()) throw RegistryError("values cannot be written at the root");
  RegValues& target = *FindKey(store, JoinKey(parts, parts.size()));
  for (const auto& nameValue : values) {
    const std::string& name = nameValue.first;
    auto it = std::find_if(target.begin(), target.end(),
                           [&](const auto& nv) { return SameName(nv.first, name); });
    if (it != target.end())
      it->second = nameValue.second;
    else
      target.push_back(nameValue);
  }
  std::string text = Serialize(store);
  // Never write what the next read would refuse.
  if (int64_t(text.size()) > kMaxFileSize)
    throw RegistryError("cannot write " + path_ + ": it would be larger than " +
                        std::to_string(kMaxFileSize) + " bytes");
  WriteAtomically(path_, text);
}

std::string DefaultRegistryPath() { return ConfigFolder() + "registry.json"; }

namespace {
IRegistry* g_registry = nullptr;
}

IRegistry& Registry() {
  if (g_registry) return *g_registry;
  static FileRegistry fallback(DefaultRegistryPath());
  return fallback;
}

void SetRegistry(IRegistry* registry) { g_registry = registry; }

}  // namespace saver
