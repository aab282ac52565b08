#include "pack_checks.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "input_file.h"
#include "pack_error.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/compose/picture_loader.h"
#include "platform/media_check.h"

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

// Writing the saver would replace an input that is the same file as the
// output: the player, the manifest or any item (a link or a second name
// of it included).
void CheckOutputIsNoInput(const TPackJob& job, TProblems& problems) {
  std::vector<std::pair<const char*, std::string>> inputs = {
      {"player", job.Player}, {"manifest", job.Manifest}, {"preview", job.Preview},
      {"banner", job.Banner}, {"background", job.Background}};
  for (auto& p : job.Pictures) inputs.push_back({"picture", p.File});
  for (auto& m : job.Masks) inputs.push_back({"mask", m.File});
  for (auto& m : job.Music) inputs.push_back({"music track", m.File});
  for (auto& [role, path] : inputs) {
    std::error_code ec;
    if (!path.empty() && std::filesystem::equivalent(job.Output, path, ec))
      problems.Add("the output " + job.Output + " is the same file as the " + role + " " + path +
                   "; choose another output file");
  }
}

// A picture to decode before anything is written: by the player's own
// decoders, or converted (picture_import.h) and kept for the writing.
struct TPictureToCheck {
  std::string File, Ext;
  bool Mask = false;     // converted without loss
  bool Preview = false;  // only decoded: the preview is made from it afresh
};

void CheckPicture(const TPictureToCheck& p, bool upright, TConvertedPictures& converted) {
  if (!IsImportedExtension(p.Ext)) {
    // JPEGs are decoded at an eighth of their size: every coefficient is
    // still read, so damaged data is found, at a fraction of the work.
    DecodePictureFile(p.File, p.Ext, {1, 1, kMaxPicturePixels});
  } else if (p.Preview) {
    DecodeImportedPicture(p.File, p.Ext, upright);
  } else if (!converted.Find(p.File, p.Mask)) {
    converted.Add(p.File, p.Mask, ImportPicture(p.File, p.Ext, {upright, p.Mask}));
  }
}

struct TMediaToCheck {
  std::string File;
  TMediaKind Kind;
};

}  // namespace

void CheckPackJob(const TPackJob& job, TConvertedPictures& converted, const TPackReport& report) {
  TProblems problems;
  CheckOutputIsNoInput(job, problems);
  // Files that cannot be read or are empty: an empty item can only fail to
  // show, and older players read a plain item of size 0 as everything up
  // to the end of the file.
  auto readableFile = [&](const std::string& f, bool item) {
    return problems.Check([&] {
      TFile in = OpenForReading(f);
      if (item && FileLength(in.get(), f) == 0) throw PackError(f + ": the file is empty");
    });
  };
  problems.Check([&] { OpenForReading(job.Player); });
  std::vector<TPictureToCheck> pictures;
  std::vector<TMediaToCheck> media;
  if (!job.Banner.empty()) readableFile(job.Banner, false);
  // A .bmp preview is stored as it is and a video one is refused later.
  if (!job.Preview.empty() && readableFile(job.Preview, false) &&
      LowerExtensionOf(job.Preview) != ".bmp" && !IsVideoExtension(ExtensionOf(job.Preview)))
    pictures.push_back({job.Preview, ExtensionOf(job.Preview), false, true});
  if (!job.Background.empty() && readableFile(job.Background, true))
    pictures.push_back({job.Background, ExtensionOf(job.Background)});
  for (auto& p : job.Pictures) {
    const std::string ext = p.Entry.Ext.empty() ? ExtensionOf(p.File) : p.Entry.Ext;
    if (!readableFile(p.File, true)) continue;
    if (IsVideoExtension(ext)) media.push_back({p.File, TMediaKind::Video});
    else pictures.push_back({p.File, ext});
  }
  for (auto& m : job.Masks)
    if (readableFile(m.File, true)) pictures.push_back({m.File, ExtensionOf(m.File), true});
  for (auto& m : job.Music)
    if (readableFile(m.File, true)) media.push_back({m.File, TMediaKind::Music});

  const size_t total = pictures.size() + (job.MediaCheck ? media.size() : 0);
  auto checked = [&](size_t done) {
    if (report.Step) report.Step({"checking", done, total, 0, 0});
  };
  for (size_t i = 0; i < pictures.size(); ++i) {
    const TPictureToCheck& p = pictures[i];
    try {
      CheckPicture(p, !job.KeepOrientation, converted);
    } catch (const DecodeError& e) {
      std::string line = "cannot decode " + p.File + ": " + e.what();
      if (!IsDecodableExtension(p.Ext) && !IsImportedExtension(p.Ext))
        line += "; " + AcceptedFormatsText();
      problems.Add(line);
    } catch (const PackError& e) {
      problems.Add(e.what());
    }
    checked(i + 1);
  }
  if (job.MediaCheck && !media.empty()) {
    try {
      TMediaCheck check;
      for (size_t i = 0; i < media.size(); ++i) {
        const std::string problem = check.Problem(media[i].File, media[i].Kind);
        if (!problem.empty()) problems.Add("cannot play " + media[i].File + ": " + problem);
        checked(pictures.size() + i + 1);
      }
    } catch (const MediaError& e) {
      if (report.Warning)
        report.Warning(std::string(e.what()) + ": music and video are packed without being tried");
    }
  }

  for (auto& p : job.Pictures) {
    problems.Check([&] { CheckExt(p.Entry.Ext.empty() ? ExtensionOf(p.File) : p.Entry.Ext, p.File); });
    problems.Check([&] { CheckShortText(p.Entry.Caption, "the caption of " + p.File); });
    problems.Check([&] { CheckShortText(p.Entry.CaptionFont, "the caption font of " + p.File); });
    if (p.Mask.empty() && p.Entry.MaskIndex >= int32_t(job.Masks.size()))
      problems.Add(p.File + ": MaskIndex " + std::to_string(p.Entry.MaskIndex) +
                   " names no mask (the saver has " + Plural(job.Masks.size(), "mask") + ")");
  }
  for (auto& m : job.Masks)
    if (!IsImportedExtension(ExtensionOf(m.File))) problems.Check([&] { MaskFormatOf(m.File); });
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
