#include "pack_checks.h"

#include "input_file.h"
#include "pack_error.h"

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

std::string CheckedExt(const std::string& ext, const std::string& path) {
  if (ext.empty()) throw PackError(path + ": the file has no extension; set Ext in the manifest");
  if (ext.size() > kExtFieldSize)
    throw PackError(path + ": extension " + ext + " is longer than 5 characters");
  return ext;
}

void CheckShortText(const std::string& text, const std::string& what) {
  if (text.size() > kShortStringMaxLength)
    throw PackError(what + " is " + std::to_string(text.size()) +
                    " bytes long; at most 251 fit");
}

}  // namespace

void CheckPackJob(const TPackJob& job) {
  std::vector<std::string> files = {job.Player};
  for (const std::string* f : {&job.Preview, &job.Banner, &job.Background})
    if (!f->empty()) files.push_back(*f);
  for (auto& p : job.Pictures) files.push_back(p.File);
  for (auto& m : job.Masks) files.push_back(m.File);
  for (auto& m : job.Music) files.push_back(m.File);
  for (auto& f : files) OpenForReading(f);
  // The player reads a plain item of size 0 as "everything up to the end of
  // the file", so an empty item would show the wrong bytes: refuse it.
  std::vector<std::string> items = {job.Background};
  for (auto& p : job.Pictures) items.push_back(p.File);
  for (auto& m : job.Masks) items.push_back(m.File);
  for (auto& m : job.Music) items.push_back(m.File);
  for (auto& f : items) {
    if (f.empty()) continue;
    TFile in = OpenForReading(f);
    if (FileLength(in.get(), f) == 0) throw PackError(f + ": the file is empty");
  }

  for (auto& p : job.Pictures) {
    CheckedExt(p.Entry.Ext.empty() ? ExtensionOf(p.File) : p.Entry.Ext, p.File);
    CheckShortText(p.Entry.Caption, "the caption of " + p.File);
    CheckShortText(p.Entry.CaptionFont, "the caption font of " + p.File);
  }
  for (auto& p : job.Pictures)
    if (p.Mask.empty() && p.Entry.MaskIndex >= int32_t(job.Masks.size()))
      throw PackError(p.File + ": MaskIndex " + std::to_string(p.Entry.MaskIndex) +
                      " names no mask (the saver has " + Plural(job.Masks.size(), "mask") + ")");
  for (auto& m : job.Masks) MaskFormatOf(m.File);
  for (auto& m : job.Music) CheckedExt(m.Ext.empty() ? ExtensionOf(m.File) : m.Ext, m.File);
  if (!job.Background.empty()) CheckedExt(ExtensionOf(job.Background), job.Background);
  const ExtraData& x = job.Text;
  for (const std::string* s : {&x.Title, &x.Author, &x.Website, &x.F1link, &x.Exitlink,
                               &x.Bannerlink, &x.License, &x.Readme, &x.Effect})
    if (s->size() > kMaxPrefixedStringLength)
      throw PackError("a text field is " + std::to_string(s->size()) +
                      " bytes long; at most 65535 fit");
}

}  // namespace saver
