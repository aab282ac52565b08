#include "payload/format/records.h"

#include <algorithm>
#include <cstring>

namespace saver {
namespace {

int32_t GetI32(const uint8_t* p) {
  uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  return static_cast<int32_t>(v);
}

void PutI32(uint8_t* p, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// Reads fields out of a record's bytes.
struct FieldReader {
  const uint8_t* base;
  void I32(size_t off, int32_t& f) const { f = GetI32(base + off); }
  void U8(size_t off, uint8_t& f) const { f = base[off]; }
  void Ext(size_t off, std::string& f) const {
    const char* p = reinterpret_cast<const char*>(base + off);
    f.assign(p, strnlen(p, kExtFieldSize));  // a 5-character extension has no terminator
  }
  void ShortString(size_t off, std::string& f) const {
    // A length byte above 251 would reach past the field: the field bounds it.
    size_t len = std::min<size_t>(base[off], kShortStringMaxLength);
    f.assign(reinterpret_cast<const char*>(base + off + 1), len);
  }
  template <size_t N>
  void Bytes(size_t off, std::array<uint8_t, N>& f) const {
    std::memcpy(f.data(), base + off, N);
  }
};

// Writes fields into a zero-filled record.
struct FieldWriter {
  uint8_t* base;
  void I32(size_t off, int32_t f) const { PutI32(base + off, f); }
  void U8(size_t off, uint8_t f) const { base[off] = f; }
  void Ext(size_t off, const std::string& f) const {
    if (f.size() > kExtFieldSize)
      throw PayloadError("extension longer than 5 characters: " + f);
    std::memcpy(base + off, f.data(), f.size());
  }
  void ShortString(size_t off, const std::string& f) const {
    if (f.size() > kShortStringMaxLength)
      throw PayloadError("short string longer than 251 bytes");
    base[off] = uint8_t(f.size());
    std::memcpy(base + off + 1, f.data(), f.size());
  }
  template <size_t N>
  void Bytes(size_t off, const std::array<uint8_t, N>& f) const {
    std::memcpy(base + off, f.data(), N);
  }
};

void CheckSize(std::span<const uint8_t> bytes, size_t expected, const char* what) {
  if (bytes.size() != expected)
    throw PayloadError(std::string(what) + ": expected " + std::to_string(expected) +
                       " bytes, got " + std::to_string(bytes.size()));
}

template <class Record, class Visit>
Record Parse(std::span<const uint8_t> bytes, size_t size, const char* what, Visit visit) {
  CheckSize(bytes, size, what);
  Record r;
  visit(r, FieldReader{bytes.data()});
  return r;
}

template <class Record, class Visit>
std::vector<uint8_t> Serialize(const Record& r, size_t size, Visit visit) {
  std::vector<uint8_t> out(size, 0);
  visit(r, FieldWriter{out.data()});
  return out;
}

}  // namespace

PayloadTrailer ParseTrailer(std::span<const uint8_t> bytes) {
  return Parse<PayloadTrailer>(bytes, kTrailerSize, "trailer",
                               [](auto& r, auto v) { VisitTrailerFields(r, v); });
}
std::vector<uint8_t> SerializeTrailer(const PayloadTrailer& t) {
  return Serialize(t, kTrailerSize, [](auto& r, auto v) { VisitTrailerFields(r, v); });
}

PictureEntry ParsePictureEntry(std::span<const uint8_t> bytes) {
  return Parse<PictureEntry>(bytes, kPictureEntrySize, "picture entry",
                             [](auto& r, auto v) { VisitPictureEntryFields(r, v); });
}
std::vector<uint8_t> SerializePictureEntry(const PictureEntry& e) {
  return Serialize(e, kPictureEntrySize, [](auto& r, auto v) { VisitPictureEntryFields(r, v); });
}

MaskEntry ParseMaskEntry(std::span<const uint8_t> bytes) {
  return Parse<MaskEntry>(bytes, kMaskEntrySize, "mask entry",
                          [](auto& r, auto v) { VisitMaskEntryFields(r, v); });
}
std::vector<uint8_t> SerializeMaskEntry(const MaskEntry& e) {
  return Serialize(e, kMaskEntrySize, [](auto& r, auto v) { VisitMaskEntryFields(r, v); });
}

MusicEntry ParseMusicEntry(std::span<const uint8_t> bytes) {
  return Parse<MusicEntry>(bytes, kMusicEntrySize, "music entry",
                           [](auto& r, auto v) { VisitMusicEntryFields(r, v); });
}
std::vector<uint8_t> SerializeMusicEntry(const MusicEntry& e) {
  return Serialize(e, kMusicEntrySize, [](auto& r, auto v) { VisitMusicEntryFields(r, v); });
}

void AppendPrefixedString(std::vector<uint8_t>& out, const std::string& text) {
  if (text.size() > kMaxPrefixedStringLength)
    throw PayloadError("text longer than 65535 bytes");
  out.push_back(uint8_t(text.size()));
  out.push_back(uint8_t(text.size() >> 8));
  out.insert(out.end(), text.begin(), text.end());
}

std::string ParsePrefixedString(std::span<const uint8_t> bytes, size_t& pos) {
  if (pos > bytes.size() || bytes.size() - pos < 2)
    throw PayloadError("string length past the end of the data");
  size_t len = size_t(bytes[pos]) | size_t(bytes[pos + 1]) << 8;
  if (bytes.size() - pos - 2 < len) throw PayloadError("string past the end of the data");
  std::string s(reinterpret_cast<const char*>(bytes.data() + pos + 2), len);
  pos += 2 + len;
  return s;
}

namespace {
// The one order of the sixteen strings.
template <class X, class F>
void VisitExtraData(X& x, F&& f) {
  f(x.Title);
  f(x.Author);
  f(x.Website);
  for (auto& r : x.Reserved) f(r);
  f(x.F1link);
  f(x.Exitlink);
  f(x.Bannerlink);
  f(x.License);
  f(x.Readme);
  f(x.Effect);
}
}  // namespace

ExtraData ParseExtraData(std::span<const uint8_t> bytes, size_t* consumed) {
  ExtraData x;
  size_t pos = 0;
  VisitExtraData(x, [&](std::string& s) { s = ParsePrefixedString(bytes, pos); });
  if (consumed) *consumed = pos;
  return x;
}

std::vector<uint8_t> SerializeExtraData(const ExtraData& x) {
  std::vector<uint8_t> out;
  VisitExtraData(x, [&](const std::string& s) { AppendPrefixedString(out, s); });
  return out;
}

std::vector<uint8_t> MagicBytes() { return std::vector<uint8_t>(kMagic, kMagic + kMagicSize); }

bool IsMagic(std::span<const uint8_t> bytes) {
  return bytes.size() == kMagicSize && std::memcmp(bytes.data(), kMagic, kMagicSize) == 0;
}

}  // namespace saver
