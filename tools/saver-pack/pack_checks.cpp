#include "pack_checks.h"

#include <vector>

#include "input_file.h"
#include "pack_error.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/compose/picture_loader.h"

namespace saver {

std::string Plural(size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

uint8_t MaskFormatOf(const std::string& path) {
  const std::string ext = LowerExtensionOf(path);
  if (ext == ".bmp") return 0;
  if (ext == ".png") return 1;
  if (ext == ".gif") return 2;
  throw PackError("mask " + path + ": a mask must be a .bmp, .png or .gif file");
}

namespace {

class TProblems {
 public:
  void Add(const std::string& line) { lines_.push_back(line); }
  // Runs a check that raises PackError, keeping its message.
  template <class F>
  bool Check(F&& check) {
    try {
      check();
      return true;
    } catch (const PackError& e) {
      Add(e.what());
      return false;
    }
  }
  void Raise() const {
    if (lines_.empty()) return;
    std::string all;
    for (auto& line : lines_) all += (all.empty() ? "" : "\n") + line;
    throw PackError(all);
  }

 private:
  std::vector<std::string> lines_;
};

void CheckExt(const std::string& ext, const std::string& path) {
  if (ext.empty()) throw PackError(path + ": the file has no extension; set Ext in the manifest");
  if (ext.size() > kExtFieldSize)
    throw PackError(path + ": extension " + ext + " is longer than 5 characters");
}

void CheckShortText(const std::string& text, const std::string& what) {
  if (text.size() > kShortStringMaxLength)
    throw PackError(what + " is " + std::to_string(text.size()) + " bytes long; at most 251 fit");
}

// A picture the player will decode by this extension. JPEGs are decoded at
// an eighth of their size: every coefficient is still read, so damaged data
// is found, at a fraction of the work.
struct TPictureToCheck {
  std::string File, Ext;
};

}  // namespace

void CheckPackJob(const TPackJob& job, const std::function<void(size_t, size_t)>& checked) {
  TProblems problems;
  // Files that cannot be read or are empty: the player reads a plain item
  // of size 0 as "everything up to the end of the file", so an empty item
  // would show the wrong bytes.
  std::vector<std::string> readable;
  auto readableFile = [&](const std::string& f, bool item) {
    return problems.Check([&] {
      TFile in = OpenForReading(f);
      if (item && FileLength(in.get(), f) == 0) throw PackError(f + ": the file is empty");
    });
  };
  problems.Check([&] { OpenForReading(job.Player); });
  std::vector<TPictureToCheck> pictures;
  if (!job.Banner.empty()) readableFile(job.Banner, false);
  // A .bmp preview is stored as it is and a video one is refused later.
  if (!job.Preview.empty() && readableFile(job.Preview, false) &&
      LowerExtensionOf(job.Preview) != ".bmp" && !IsVideoExtension(ExtensionOf(job.Preview)))
    pictures.push_back({job.Preview, ExtensionOf(job.Preview)});
  if (!job.Background.empty() && readableFile(job.Background, true))
    pictures.push_back({job.Background, ExtensionOf(job.Background)});
  for (auto& p : job.Pictures) {
    const std::string ext = p.Entry.Ext.empty() ? ExtensionOf(p.File) : p.Entry.Ext;
    if (readableFile(p.File, true) && !IsVideoExtension(ext)) pictures.push_back({p.File, ext});
  }
  for (auto& m : job.Masks)
    if (readableFile(m.File, true)) pictures.push_back({m.File, ExtensionOf(m.File)});
  for (auto& m : job.Music) readableFile(m.File, true);

  for (size_t i = 0; i < pictures.size(); ++i) {
    try {
      DecodePictureFile(pictures[i].File, pictures[i].Ext, {1, 1, kMaxPicturePixels});
    } catch (const DecodeError& e) {
      problems.Add("cannot decode " + pictures[i].File + ": " + e.what());
    }
    if (checked) checked(i + 1, pictures.size());
  }

  for (auto& p : job.Pictures) {
    problems.Check([&] { CheckExt(p.Entry.Ext.empty() ? ExtensionOf(p.File) : p.Entry.Ext, p.File); });
    problems.Check([&] { CheckShortText(p.Entry.Caption, "the caption of " + p.File); });
    problems.Check([&] { CheckShortText(p.Entry.CaptionFont, "the caption font of " + p.File); });
    if (p.Mask.empty() && p.Entry.MaskIndex >= int32_t(job.Masks.size()))
      problems.Add(p.File + ": MaskIndex " + std::to_string(p.Entry.MaskIndex) +
                   " names no mask (the saver has " + Plural(job.Masks.size(), "mask") + ")");
  }
  for (auto& m : job.Masks) problems.Check([&] { MaskFormatOf(m.File); });
  for (auto& m : job.Music)
    problems.Check([&] { CheckExt(m.Ext.empty() ? ExtensionOf(m.File) : m.Ext, m.File); });
  if (!job.Background.empty())
    problems.Check([&] { CheckExt(ExtensionOf(job.Background), job.Background); });
  const ExtraData& x = job.Text;
  for (const std::string* s : {&x.Title, &x.Author, &x.Website, &x.F1link, &x.Exitlink,
                               &x.Bannerlink, &x.License, &x.Readme, &x.Effect})
    if (s->size() > kMaxPrefixedStringLength)
      problems.Add("a text field is " + std::to_string(s->size()) +
                   " bytes long; at most 65535 fit");
  problems.Raise();
}

}  // namespace saver
