#include "manifest.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <filesystem>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include <toml++/toml.h>

#include "common/field_names.h"
#include "input_file.h"
#include "pack_error.h"
#include "stored_text.h"

namespace saver {
namespace {

namespace fs = std::filesystem;

using tool::kBackPictureModes;
using tool::kCaptionPositions;
using tool::kCaptionStyles;
using tool::kDisplayOrders;
using tool::kItemStretchModes;
using tool::kStretchModes;
using tool::TNames;

// Reads the values of one manifest; every error names the file and the key.
// A key whose value is wrong is passed over so that the rest is read too:
// the problems are raised together at the end.
class TManifestReader {
 public:
  TManifestReader(std::string source, std::string baseDir)
      : source_(std::move(source)), baseDir_(std::move(baseDir)) {}

  [[noreturn]] void Fail(const std::string& key, const std::string& what) const {
    throw ManifestError(source_ + ": " + key + ": " + what);
  }

  // Runs the reading of the value at `at`; what it fails with is kept for
  // the end.
  template <class F>
  void Try(const toml::node& at, F&& read) const {
    try {
      read();
    } catch (const ManifestError& e) {
      problems_.push_back({at.source().begin.line, e.what()});
    }
  }

  // Raises every problem kept, one line each, in the order of the file.
  void RaiseProblems() const {
    std::stable_sort(problems_.begin(), problems_.end(),
                     [](auto& a, auto& b) { return a.first < b.first; });
    std::string all;
    for (auto& [line, problem] : problems_) all += (all.empty() ? "" : "\n") + problem;
    if (!all.empty()) throw ManifestError(all);
  }

  int64_t Integer(const std::string& key, const toml::node& node, int64_t lo, int64_t hi) const {
    auto v = node.value_exact<int64_t>();
    if (!v) Fail(key, "expected an integer");
    if (*v < lo || *v > hi)
      Fail(key, std::to_string(*v) + " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
    return *v;
  }

  int32_t Int32(const std::string& key, const toml::node& node) const {
    return int32_t(Integer(key, node, INT32_MIN, INT32_MAX));
  }

  // A number, or one of the names of a coded field.
  int32_t Coded(const std::string& key, const toml::node& node, const TNames& names) const {
    if (auto s = node.value_exact<std::string>()) {
      for (auto& [name, code] : names)
        if (*s == name) return code;
      std::string known;
      for (auto& [name, code] : names) known += (known.empty() ? "" : ", ") + std::string(name);
      Fail(key, "unknown value \"" + *s + "\" (known: " + known + ")");
    }
    return Int32(key, node);
  }

  // true/false, or a byte value for flags stored in one byte.
  uint8_t Flag8(const std::string& key, const toml::node& node) const {
    if (auto b = node.value_exact<bool>()) return *b ? 1 : 0;
    return uint8_t(Integer(key, node, 0, 255));
  }

  int32_t Flag32(const std::string& key, const toml::node& node) const {
    if (auto b = node.value_exact<bool>()) return *b ? 1 : 0;
    return Int32(key, node);
  }

  // "#RRGGBB", or the stored 0x00BBGGRR number itself.
  int32_t Colour(const std::string& key, const toml::node& node) const {
    if (auto s = node.value_exact<std::string>()) {
      uint32_t rgb = 0;
      const char* first = s->data() + 1;
      const char* last = s->data() + s->size();
      auto [end, ec] = std::from_chars(first, last, rgb, 16);
      if (s->size() != 7 || (*s)[0] != '#' || ec != std::errc() || end != last)
        Fail(key, "expected a colour \"#RRGGBB\" or a number");
      return int32_t(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
    }
    return Int32(key, node);
  }

  // UTF-8 text converted to the stored Windows-1252 bytes; a table
  // { file = "..." } takes the text from a UTF-8 file.
  std::string Text(const std::string& key, const toml::node& node) const {
    std::string utf8;
    if (auto s = node.value_exact<std::string>()) {
      utf8 = *s;
    } else if (auto* t = node.as_table()) {
      CheckKeys(key, *t, {"file"});
      const std::string path = File(key + ".file", (*t)["file"].node());
      utf8 = ReadTextFile(key, path);
    } else {
      Fail(key, "expected a string");
    }
    try {
      return StoredText(utf8);
    } catch (const std::invalid_argument& e) {
      Fail(key, e.what());
    }
  }

  std::string String(const std::string& key, const toml::node& node) const {
    auto s = node.value_exact<std::string>();
    if (!s) Fail(key, "expected a string");
    return *s;
  }

  // A file name, resolved against the manifest's folder.
  std::string File(const std::string& key, const toml::node* node) const {
    if (!node) Fail(key, "missing");
    const std::string name = String(key, *node);
    if (name.empty()) Fail(key, "empty file name");
    fs::path p(name);
    return p.is_absolute() || baseDir_.empty() ? p.string() : (fs::path(baseDir_) / p).string();
  }

  std::string Effects(const std::string& key, const toml::node& node) const {
    if (auto s = node.value_exact<std::string>()) {
      try {
        return ParseEffectList(*s);
      } catch (const std::invalid_argument& e) {
        Fail(key, e.what());
      }
    }
    auto* a = node.as_array();
    if (!a) Fail(key, "expected \"all\", \"none\", a list string or an array of numbers");
    std::string bytes;
    for (auto& n : *a) bytes += char(Integer(key, n, 0, 116));
    return bytes;
  }

  // Keeps a problem for every key of the table that is not allowed there.
  void CheckKeys(const std::string& where, const toml::table& table,
                 const std::vector<std::string>& allowed) const {
    for (auto& [k, v] : table) {
      bool known = false;
      for (auto& a : allowed) known = known || a == k.str();
      if (!known) Try(v, [&] { Unknown(where, std::string(k.str())); });
    }
  }

  // A key that is not read where it is: said where it belongs, when it is
  // a key of another level.
  [[noreturn]] void Unknown(const std::string& where, const std::string& name) const;

 private:
  std::string ReadTextFile(const std::string& key, const std::string& path) const {
    try {
      const std::vector<uint8_t> bytes = ReadWholeFile(path);
      return std::string(bytes.begin(), bytes.end());
    } catch (const PackError& e) {
      Fail(key, e.what());
    }
  }

  std::string source_, baseDir_;
  mutable std::vector<std::pair<toml::source_index, std::string>> problems_;
};

using TTrailerSetter =
    std::function<void(const TManifestReader&, const std::string&, const toml::node&, PayloadTrailer&)>;

template <class Member>
TTrailerSetter Flag(Member PayloadTrailer::*m) {
  return [m](auto& r, auto& k, auto& n, PayloadTrailer& t) { t.*m = r.Flag8(k, n); };
}

const std::map<std::string, TTrailerSetter>& TrailerFields() {
  static const std::map<std::string, TTrailerSetter> fields = {
      {"Seconds",
       [](auto& r, auto& k, auto& n, auto& t) {
         t.Seconds = int32_t(r.Integer(k, n, 1, INT32_MAX / 1000));
       }},
      {"DisplayOrder",
       [](auto& r, auto& k, auto& n, auto& t) { t.DisplayOrder = r.Coded(k, n, kDisplayOrders); }},
      {"Stretch",
       [](auto& r, auto& k, auto& n, auto& t) { t.Stretch = r.Coded(k, n, kStretchModes); }},
      {"EffectSpeed",
       [](auto& r, auto& k, auto& n, auto& t) { t.EffectSpeed = int32_t(r.Integer(k, n, 1, 10)); }},
      {"BackColor", [](auto& r, auto& k, auto& n, auto& t) { t.BackColor = r.Colour(k, n); }},
      {"BackColor2", [](auto& r, auto& k, auto& n, auto& t) { t.BackColor2 = r.Colour(k, n); }},
      {"GradientStyle",
       [](auto& r, auto& k, auto& n, auto& t) { t.GradientStyle = r.Int32(k, n); }},
      {"BackPictureMode",
       [](auto& r, auto& k, auto& n, auto& t) {
         t.BackPictureMode = r.Coded(k, n, kBackPictureModes);
       }},
      {"RandomColors", Flag(&PayloadTrailer::RandomColors)},
      {"RandomGradient", Flag(&PayloadTrailer::RandomGradient)},
      {"RepaintBackground", Flag(&PayloadTrailer::RepaintBackground)},
      {"Loop", Flag(&PayloadTrailer::Loop)},
      {"Mute", Flag(&PayloadTrailer::Mute)},
      {"ShuffleMelody", Flag(&PayloadTrailer::ShuffleMelody)},
      {"DesktopStart", Flag(&PayloadTrailer::DesktopStart)},
      {"StartWithFirst", Flag(&PayloadTrailer::StartWithFirst)},
      {"PlayOneRandom", Flag(&PayloadTrailer::PlayOneRandom)},
      {"ExitMouseMove", Flag(&PayloadTrailer::ExitMouseMove)},
      {"ExitMouseButton", Flag(&PayloadTrailer::ExitMouseButton)},
      {"ExitKeyboard", Flag(&PayloadTrailer::ExitKeyboard)},
      {"ExitESC", Flag(&PayloadTrailer::ExitESC)},
      {"HideGeneralTab", Flag(&PayloadTrailer::HideGeneralTab)},
      {"HidePositionTab", Flag(&PayloadTrailer::HidePositionTab)},
      {"HideEffectsTab", Flag(&PayloadTrailer::HideEffectsTab)},
      {"HideSoundTab", Flag(&PayloadTrailer::HideSoundTab)},
      {"HideBehaviorTab", Flag(&PayloadTrailer::HideBehaviorTab)},
  };
  return fields;
}

// Fields the packer computes from the files; naming them is an error.
const std::vector<std::string> kComputedTrailerFields = {
    "PayloadSize", "FileSizeSlot", "PictureCount", "MusicCount", "MaskCount",
    "PictureSectionSize", "BackgroundSize", "BackgroundUnpackedSize", "MaskSectionSize",
    "PreviewSize", "MusicSectionSize", "ExtraDataSize", "BannerSize", "LeadInSize",
    "BackPictureExt"};

const std::vector<std::pair<const char*, std::string ExtraData::*>> kTextFields = {
    {"Title", &ExtraData::Title},       {"Author", &ExtraData::Author},
    {"Website", &ExtraData::Website},   {"F1link", &ExtraData::F1link},
    {"Exitlink", &ExtraData::Exitlink}, {"Bannerlink", &ExtraData::Bannerlink},
    {"License", &ExtraData::License},   {"Readme", &ExtraData::Readme}};

using TPictureSetter =
    std::function<void(const TManifestReader&, const std::string&, const toml::node&, PictureEntry&)>;

template <class Member>
TPictureSetter PictureFlag(Member PictureEntry::*m) {
  return [m](auto& r, auto& k, auto& n, PictureEntry& e) { e.*m = r.Flag32(k, n); };
}

template <class Member>
TPictureSetter PictureInt(Member PictureEntry::*m) {
  return [m](auto& r, auto& k, auto& n, PictureEntry& e) { e.*m = r.Int32(k, n); };
}

// Caption and display fields of a picture.
const std::map<std::string, TPictureSetter>& PictureFields() {
  static const std::map<std::string, TPictureSetter> fields = {
      {"Ext", [](auto& r, auto& k, auto& n, auto& e) { e.Ext = r.String(k, n); }},
      {"Caption", [](auto& r, auto& k, auto& n, auto& e) { e.Caption = r.Text(k, n); }},
      {"CaptionFont", [](auto& r, auto& k, auto& n, auto& e) { e.CaptionFont = r.Text(k, n); }},
      {"CaptionFontSize", PictureInt(&PictureEntry::CaptionFontSize)},
      {"CaptionColor", [](auto& r, auto& k, auto& n, auto& e) { e.CaptionColor = r.Colour(k, n); }},
      {"CaptionBackColor",
       [](auto& r, auto& k, auto& n, auto& e) { e.CaptionBackColor = r.Colour(k, n); }},
      {"CaptionMargin", PictureInt(&PictureEntry::CaptionMargin)},
      {"CaptionPos",
       [](auto& r, auto& k, auto& n, auto& e) { e.CaptionPos = r.Coded(k, n, kCaptionPositions); }},
      {"CaptionTransparent", PictureFlag(&PictureEntry::CaptionTransparent)},
      {"CaptionMultiLine", PictureFlag(&PictureEntry::CaptionMultiLine)},
      {"CaptionShadow", PictureFlag(&PictureEntry::CaptionShadow)},
      {"ItemSeconds", PictureInt(&PictureEntry::ItemSeconds)},
      {"ItemStretch",
       [](auto& r, auto& k, auto& n, auto& e) { e.ItemStretch = r.Coded(k, n, kItemStretchModes); }},
      {"MaskIndex", PictureInt(&PictureEntry::MaskIndex)},
      {"CaptionStyle",
       [](auto& r, auto& k, auto& n, auto& e) {
         if (auto* styles = n.as_array()) {
           int32_t bits = 0;
           for (auto& style : *styles) bits |= r.Coded(k, style, kCaptionStyles);
           e.CaptionStyle = bits;
         } else {
           e.CaptionStyle = r.Coded(k, n, kCaptionStyles);
         }
       }},
  };
  return fields;
}

const std::vector<std::string> kTopLevelFiles = {"player", "output", "preview", "banner", "background"};

// Where a key the manifest knows is written; empty for a key it does not know.
std::string HomeOf(const std::string& name) {
  if (TrailerFields().count(name)) return "[trailer]";
  for (auto& computed : kComputedTrailerFields)
    if (computed == name) return "[trailer]";
  if (name == "Effect") return "[text]";
  for (auto& [field, member] : kTextFields)
    if (name == field) return "[text]";
  if (name == "Ext") return "a [[picture]] or [[music]]";
  if (PictureFields().count(name)) return "[caption] or a [[picture]]";
  if (name == "file") return "a [[picture]], [[mask]] or [[music]]";
  if (name == "mask") return "a [[picture]]";
  if (name == "name") return "a [[mask]]";
  if (name == "compress") return "the top level";
  for (auto& file : kTopLevelFiles)
    if (name == file) return "the top level";
  return "";
}

void TManifestReader::Unknown(const std::string& where, const std::string& name) const {
  const std::string key = where.empty() ? name : where + "." + name;
  const std::string home = HomeOf(name);
  if (home.empty()) Fail(key, "unknown key");
  if (home == "the top level")
    Fail(key, "belongs at the top level, before the first [table] (a key written after a [table] "
              "line belongs to that table)");
  Fail(key, "belongs in " + home);
}

void ApplyTrailer(const TManifestReader& r, const toml::table& table, PayloadTrailer& t) {
  for (auto& [k, node] : table)
    r.Try(node, [&] {
      const std::string name(k.str()), key = "trailer." + name;
      auto it = TrailerFields().find(name);
      if (it != TrailerFields().end()) return it->second(r, key, node, t);
      for (auto& computed : kComputedTrailerFields)
        if (computed == name) r.Fail(key, "is computed from the files and cannot be set");
      r.Unknown("trailer", name);
    });
}

void ApplyText(const TManifestReader& r, const toml::table& table, ExtraData& x) {
  for (auto& [k, node] : table)
    r.Try(node, [&] {
      const std::string name(k.str()), key = "text." + name;
      if (name == "Effect") {
        x.Effect = r.Effects(key, node);
        return;
      }
      for (auto& [field, member] : kTextFields)
        if (name == field) {
          x.*member = r.Text(key, node);
          return;
        }
      r.Unknown("text", name);
    });
}

// Sets a caption or display field of a picture; false for keys it does not know.
bool ApplyPictureField(const TManifestReader& r, const std::string& name, const std::string& key,
                       const toml::node& node, PictureEntry& e) {
  auto it = PictureFields().find(name);
  if (it == PictureFields().end()) return false;
  it->second(r, key, node, e);
  return true;
}

const toml::table& TableAt(const TManifestReader& r, const std::string& key, const toml::node& n) {
  auto* t = n.as_table();
  if (!t) r.Fail(key, "expected a table");
  return *t;
}

template <class F>
void ForEachTableInArray(const TManifestReader& r, const std::string& key, const toml::node& n,
                         F&& apply) {
  auto* a = n.as_array();
  if (!a) r.Fail(key, "expected an array of tables ([[" + key + "]])");
  int index = 0;
  for (auto& item : *a) {
    const std::string where = key + "[" + std::to_string(index++) + "]";
    r.Try(item, [&] { apply(where, TableAt(r, where, item)); });
  }
}

}  // namespace

std::string ParseEffectList(const std::string& list) {
  if (list == "all") return AllEffects();
  if (list == "none") return {};
  std::string bytes;
  size_t pos = 0;
  auto number = [&](size_t& at) {
    while (at < list.size() && list[at] == ' ') ++at;
    int value = -1;
    auto [end, ec] = std::from_chars(list.data() + at, list.data() + list.size(), value);
    if (ec != std::errc() || value < 0 || value > 116)
      throw std::invalid_argument("effect list \"" + list + "\": expected numbers 0..116 at \"" +
                                  list.substr(at) + "\"");
    at = size_t(end - list.data());
    while (at < list.size() && list[at] == ' ') ++at;
    return value;
  };
  while (pos < list.size()) {
    int first = number(pos), last = first;
    if (pos < list.size() && list[pos] == '-') last = number(++pos);
    if (last < first) throw std::invalid_argument("effect list \"" + list + "\": descending range");
    for (int n = first; n <= last; ++n) bytes += char(n);
    if (pos < list.size() && list[pos] != ',')
      throw std::invalid_argument("effect list \"" + list + "\": expected a comma");
    if (pos < list.size()) ++pos;
  }
  return bytes;
}

void ApplyManifest(const std::string& tomlText, const std::string& sourceName,
                   const std::string& baseDir, TPackJob& job) {
  toml::table root;
  try {
    root = toml::parse(tomlText, sourceName);
  } catch (const toml::parse_error& e) {
    const auto& where = e.source().begin;
    throw ManifestError(sourceName + ":" + std::to_string(where.line) + ":" +
                        std::to_string(where.column) + ": " + std::string(e.description()));
  }
  TManifestReader r(sourceName, baseDir);
  r.CheckKeys("", root, {"player", "output", "compress", "preview", "banner", "background",
                         "trailer", "text", "caption", "picture", "mask", "music"});

  for (auto [key, path] : {std::pair{"player", &job.Player}, std::pair{"output", &job.Output},
                           std::pair{"preview", &job.Preview}, std::pair{"banner", &job.Banner},
                           std::pair{"background", &job.Background}})
    if (auto* n = root.get(key)) r.Try(*n, [&] { *path = r.File(key, n); });
  if (auto* n = root.get("compress"))
    r.Try(*n, [&] {
      const std::string mode = r.String("compress", *n);
      if (mode == "auto") job.Compress = TCompressMode::Auto;
      else if (mode == "always") job.Compress = TCompressMode::Always;
      else if (mode == "never") job.Compress = TCompressMode::Never;
      else r.Fail("compress", "expected \"auto\", \"always\" or \"never\"");
    });
  if (auto* n = root.get("trailer"))
    r.Try(*n, [&] { ApplyTrailer(r, TableAt(r, "trailer", *n), job.Trailer); });
  if (auto* n = root.get("text")) r.Try(*n, [&] { ApplyText(r, TableAt(r, "text", *n), job.Text); });
  if (auto* n = root.get("caption"))
    r.Try(*n, [&] {
      for (auto& [k, v] : TableAt(r, "caption", *n))
        r.Try(v, [&] {
          const std::string name(k.str());
          if (name == "Ext" || !ApplyPictureField(r, name, "caption." + name, v, job.PictureDefaults))
            r.Unknown("caption", name);
        });
    });
  if (auto* n = root.get("mask"))
    r.Try(*n, [&] {
      ForEachTableInArray(r, "mask", *n, [&](const std::string& where, const toml::table& t) {
        r.CheckKeys(where, t, {"file", "name"});
        TPackMask mask;
        mask.File = r.File(where + ".file", t.get("file"));
        mask.Name = t.get("name") ? r.String(where + ".name", *t.get("name"))
                                  : fs::path(mask.File).stem().string();
        for (auto& other : job.Masks)
          if (other.Name == mask.Name) r.Fail(where + ".name", "\"" + mask.Name + "\" is used twice");
        job.Masks.push_back(mask);
      });
    });
  if (auto* n = root.get("picture"))
    r.Try(*n, [&] {
      ForEachTableInArray(r, "picture", *n, [&](const std::string& where, const toml::table& t) {
        TPackPicture picture;
        picture.Entry = job.PictureDefaults;
        for (auto& [k, v] : t)
          r.Try(v, [&] {
            const std::string name(k.str()), key = where + "." + name;
            if (name == "file") picture.File = r.File(key, &v);
            else if (name == "mask") picture.Mask = r.String(key, v);
            else if (!ApplyPictureField(r, name, key, v, picture.Entry)) r.Unknown(where, name);
          });
        if (!t.get("file")) r.Fail(where + ".file", "missing");
        if (!picture.Mask.empty()) {
          bool found = false;
          for (auto& m : job.Masks) found = found || m.Name == picture.Mask;
          if (!found) r.Fail(where + ".mask", "no [[mask]] is named \"" + picture.Mask + "\"");
        }
        job.Pictures.push_back(picture);
      });
    });
  if (auto* n = root.get("music"))
    r.Try(*n, [&] {
      ForEachTableInArray(r, "music", *n, [&](const std::string& where, const toml::table& t) {
        r.CheckKeys(where, t, {"file", "Ext"});
        TPackMusic music;
        music.File = r.File(where + ".file", t.get("file"));
        if (auto* ext = t.get("Ext")) music.Ext = r.String(where + ".Ext", *ext);
        job.Music.push_back(music);
      });
    });
  r.RaiseProblems();
}

void LoadManifest(const std::string& path, TPackJob& job) {
  std::vector<uint8_t> bytes;
  try {
    bytes = ReadWholeFile(path);
  } catch (const PackError& e) {
    throw ManifestError(e.what());
  }
  job.Manifest = path;
  ApplyManifest(std::string(bytes.begin(), bytes.end()), path,
                fs::path(path).parent_path().string(), job);
}

}  // namespace saver
