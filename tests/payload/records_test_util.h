#pragma once
// Byte-level helpers for building payload bytes by hand in tests, without the
// record code under test.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace saver::testing {

inline void PutI32At(std::vector<uint8_t>& b, size_t off, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) b.at(off + i) = uint8_t(v >> (8 * i));
}

inline void PutTextAt(std::vector<uint8_t>& b, size_t off, const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) b.at(off + i) = uint8_t(s[i]);
}

inline void AppendBytes(std::vector<uint8_t>& b, const std::vector<uint8_t>& more) {
  b.insert(b.end(), more.begin(), more.end());
}

inline void AppendText(std::vector<uint8_t>& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
}

// u16 little-endian count, then the bytes.
inline void AppendPrefixed(std::vector<uint8_t>& b, const std::string& s) {
  b.push_back(uint8_t(s.size()));
  b.push_back(uint8_t(s.size() >> 8));
  AppendText(b, s);
}

}  // namespace saver::testing
