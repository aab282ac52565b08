#include "saver_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "bmp_writer.h"
#include "payload/picture_decoder.h"
#include "preview_maker.h"
#include "zlib_codec.h"

namespace saver {
namespace {

namespace fs = std::filesystem;

using TFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

std::string ErrnoText() { return std::strerror(errno); }

TFile OpenForReading(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) throw PackError("cannot read " + path + ": Is a directory");
  TFile f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) throw PackError("cannot read " + path + ": " + ErrnoText());
  return f;
}

int64_t FileLength(std::FILE* f, const std::string& path) {
  if (fseeko(f, 0, SEEK_END) != 0) throw PackError("cannot read " + path + ": " + ErrnoText());
  const int64_t length = ftello(f);
  if (length < 0 || fseeko(f, 0, SEEK_SET) != 0)
    throw PackError("cannot read " + path + ": " + ErrnoText());
  return length;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  TFile f = OpenForReading(path);
  std::vector<uint8_t> bytes(size_t(FileLength(f.get(), path)));
  if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
    throw PackError("cannot read " + path + ": " + (std::ferror(f.get()) ? ErrnoText() : "file shrank"));
  return bytes;
}

std::string Plural(size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// The output file, written front to back, with table slots patched later.
class TSaverFile {
 public:
  // Writes to path; errors name shownPath, the file the user asked for.
  TSaverFile(const std::string& path, const std::string& shownPath)
      : path_(shownPath), file_(std::fopen(path.c_str(), "wb"), &std::fclose) {
    if (!file_) throw PackError("cannot write " + path + ": " + ErrnoText());
  }

  int64_t Position() const { return position_; }

  void Write(const void* data, size_t size) {
    if (size && std::fwrite(data, 1, size, file_.get()) != size)
      throw PackError("cannot write " + path_ + ": " + ErrnoText());
    position_ += int64_t(size);
  }
  void Write(const std::vector<uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }

  // Streams length bytes of an open input file.
  void Copy(std::FILE* in, const std::string& inPath, int64_t length) {
    std::vector<uint8_t> buffer(512 * 1024);
    while (length > 0) {
      const size_t chunk = size_t(std::min<int64_t>(length, int64_t(buffer.size())));
      if (std::fread(buffer.data(), 1, chunk, in) != chunk)
        throw PackError("cannot read " + inPath + ": " +
                        (std::ferror(in) ? ErrnoText() : "file shrank while packing"));
      Write(buffer.data(), chunk);
      length -= int64_t(chunk);
    }
  }

  // Writes bytes at an earlier position and returns to the end.
  void Patch(int64_t at, const std::vector<uint8_t>& bytes) {
    if (fseeko(file_.get(), at, SEEK_SET) != 0 ||
        (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) ||
        fseeko(file_.get(), 0, SEEK_END) != 0)
      throw PackError("cannot write " + path_ + ": " + ErrnoText());
  }

  void Close() {
    std::FILE* f = file_.release();
    if (std::fflush(f) != 0 || fsync(fileno(f)) != 0) {
      const std::string error = ErrnoText();
      std::fclose(f);
      throw PackError("cannot write " + path_ + ": " + error);
    }
    if (std::fclose(f) != 0) throw PackError("cannot write " + path_ + ": " + ErrnoText());
  }

 private:
  std::string path_;
  TFile file_;
  int64_t position_ = 0;
};

int32_t CheckedI32(int64_t value, const std::string& what) {
  if (value > INT32_MAX) throw PackError(what + " is larger than 2 GiB, which a saver cannot hold");
  return int32_t(value);
}

struct TStoredItem {
  int32_t Size = 0;
  int32_t PackedSize = 0;  // 0 = plain
};

// Appends one item, compressed when the mode asks for it (auto: when that
// is smaller), and describes it for the item's table entry.
TStoredItem StoreItem(TSaverFile& out, const std::string& path, TCompressMode mode,
                      std::string& how) {
  TFile in = OpenForReading(path);
  const int64_t length = FileLength(in.get(), path);
  TStoredItem item;
  item.Size = CheckedI32(length, path);
  const bool tryCompress = mode == TCompressMode::Always ||
                           (mode == TCompressMode::Auto && length > 0 && length <= kAutoCompressLimit);
  if (!tryCompress) {
    out.Copy(in.get(), path, length);
    how = std::to_string(length) + " bytes, stored";
    return item;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  if (std::fread(bytes.data(), 1, bytes.size(), in.get()) != bytes.size())
    throw PackError("cannot read " + path + ": " + ErrnoText());
  std::vector<uint8_t> packed = ZlibCompress(bytes);
  if (mode == TCompressMode::Always || packed.size() < bytes.size()) {
    item.PackedSize = CheckedI32(int64_t(packed.size()), path);
    out.Write(packed);
    how = std::to_string(length) + " bytes, compressed to " + std::to_string(packed.size());
  } else {
    out.Write(bytes);
    how = std::to_string(length) + " bytes, stored (compression would not save space)";
  }
  return item;
}

uint8_t MaskFormatOf(const std::string& path) {
  std::string ext = ExtensionOf(path);
  for (char& c : ext) c = char(std::tolower(uint8_t(c)));
  if (ext == ".bmp") return 0;
  if (ext == ".png") return 1;
  if (ext == ".gif") return 2;
  throw PackError("mask " + path + ": a mask must be a .bmp, .png or .gif file");
}

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

void CheckInputs(const TPackJob& job, const std::string& player) {
  std::vector<std::string> files = {player};
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

std::vector<uint8_t> PreviewBytes(const TPackJob& job, const TPackProgress& progress) {
  if (!job.Preview.empty()) {
    std::string ext = ExtensionOf(job.Preview);
    for (char& c : ext) c = char(std::tolower(uint8_t(c)));
    if (ext == ".bmp") {
      std::vector<uint8_t> bmp = ReadWholeFile(job.Preview);
      if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M')
        throw PackError("preview " + job.Preview + ": not a BMP file");
      return bmp;
    }
    try {
      return PreviewBmpFromFile(job.Preview, job.Trailer.BackColor);
    } catch (const DecodeError& e) {
      throw PackError("cannot decode preview " + job.Preview + ": " + e.what());
    }
  }
  for (auto& p : job.Pictures) {
    const std::string ext = p.Entry.Ext.empty() ? ExtensionOf(p.File) : p.Entry.Ext;
    if (!IsDecodableExtension(ext)) continue;
    try {
      std::vector<uint8_t> bmp = EncodeBmp32(MakePreview(DecodePictureFile(p.File, ext, {
          kPreviewWidth, kPreviewHeight, kMaxPicturePixels}), job.Trailer.BackColor));
      progress("preview made from " + p.File);
      return bmp;
    } catch (const DecodeError& e) {
      progress("cannot decode " + p.File + " for the preview: " + e.what());
    }
  }
  progress("no picture to make the preview from; it shows the background colour");
  return EncodeBmp32(MakePreview(TBitmap32(), job.Trailer.BackColor));
}

fs::path TemporaryPathFor(const fs::path& output) {
  return output.parent_path() / ("." + output.filename().string() + ".part");
}

}  // namespace

TPackResult PackSaver(const TPackJob& job, const TPackProgress& progress) {
  if (job.Output.empty()) throw PackError("no output file given (-o FILE)");
  if (job.Player.empty()) throw PackError("no player executable given (--player PATH)");
  CheckInputs(job, job.Player);

  std::vector<int32_t> maskIndex(job.Pictures.size());
  for (size_t i = 0; i < job.Pictures.size(); ++i) {
    maskIndex[i] = job.Pictures[i].Entry.MaskIndex;
    for (size_t m = 0; m < job.Masks.size() && !job.Pictures[i].Mask.empty(); ++m)
      if (job.Masks[m].Name == job.Pictures[i].Mask) maskIndex[i] = int32_t(m);
  }

  const fs::path output(job.Output);
  const fs::path temporary = TemporaryPathFor(output);
  PayloadTrailer t = job.Trailer;
  TPackResult result;
  try {
    TSaverFile out(temporary.string(), output.string());
    {
      TFile player = OpenForReading(job.Player);
      out.Copy(player.get(), job.Player, FileLength(player.get(), job.Player));
    }
    const int64_t payloadStart = out.Position();
    auto fromPayload = [&](int64_t at) { return CheckedI32(at - payloadStart, "the payload"); };

    t.LeadInSize = 0;
    const std::vector<uint8_t> preview = PreviewBytes(job, progress);
    out.Write(preview);
    t.PreviewSize = CheckedI32(int64_t(preview.size()), "the preview");

    t.BannerSize = 0;
    if (!job.Banner.empty()) {
      TFile banner = OpenForReading(job.Banner);
      const int64_t length = FileLength(banner.get(), job.Banner);
      out.Copy(banner.get(), job.Banner, length);
      t.BannerSize = CheckedI32(length, job.Banner);
    }

    // Pictures: table, then data.
    const int64_t pictureTable = out.Position();
    out.Write(std::vector<uint8_t>(job.Pictures.size() * kPictureEntrySize, 0));
    std::vector<uint8_t> table;
    for (size_t i = 0; i < job.Pictures.size(); ++i) {
      const TPictureSource& source = job.Pictures[i];
      PictureEntry e = source.Entry;
      e.Ext = source.Entry.Ext.empty() ? ExtensionOf(source.File) : source.Entry.Ext;
      e.MaskIndex = maskIndex[i];
      e.Start = fromPayload(out.Position());
      std::string how;
      const TStoredItem item = StoreItem(out, source.File, job.Compress, how);
      e.Size = item.Size;
      e.PackedSize = item.PackedSize;
      const std::vector<uint8_t> record = SerializePictureEntry(e);
      table.insert(table.end(), record.begin(), record.end());
      progress("picture " + std::to_string(i + 1) + "/" + std::to_string(job.Pictures.size()) +
               " " + source.File + ": " + how);
    }
    out.Patch(pictureTable, table);
    t.PictureCount = int32_t(job.Pictures.size());
    t.PictureSectionSize = CheckedI32(out.Position() - pictureTable, "the picture section");

    // Masks: table, then data.
    const int64_t maskTable = out.Position();
    out.Write(std::vector<uint8_t>(job.Masks.size() * kMaskEntrySize, 0));
    table.clear();
    for (size_t i = 0; i < job.Masks.size(); ++i) {
      MaskEntry e;
      e.Format = MaskFormatOf(job.Masks[i].File);
      e.Start = fromPayload(out.Position());
      std::string how;
      const TStoredItem item = StoreItem(out, job.Masks[i].File, job.Compress, how);
      e.Size = item.Size;
      e.PackedSize = item.PackedSize;
      const std::vector<uint8_t> record = SerializeMaskEntry(e);
      table.insert(table.end(), record.begin(), record.end());
      progress("mask " + std::to_string(i + 1) + "/" + std::to_string(job.Masks.size()) + " " +
               job.Masks[i].File + ": " + how);
    }
    out.Patch(maskTable, table);
    t.MaskCount = int32_t(job.Masks.size());
    t.MaskSectionSize = CheckedI32(out.Position() - maskTable, "the mask section");

    // Background picture: always compressed.
    t.BackgroundSize = t.BackgroundUnpackedSize = 0;
    t.BackPictureExt.clear();
    if (!job.Background.empty()) {
      const std::vector<uint8_t> bytes = ReadWholeFile(job.Background);
      const std::vector<uint8_t> packed = ZlibCompress(bytes);
      out.Write(packed);
      t.BackgroundSize = CheckedI32(int64_t(packed.size()), job.Background);
      t.BackgroundUnpackedSize = CheckedI32(int64_t(bytes.size()), job.Background);
      t.BackPictureExt = ExtensionOf(job.Background);
      progress("background " + job.Background + ": " + std::to_string(bytes.size()) +
               " bytes, compressed to " + std::to_string(packed.size()));
    }

    // Music: table, then data; positions count from the table's first byte.
    const int64_t musicTable = out.Position();
    out.Write(std::vector<uint8_t>(job.Music.size() * kMusicEntrySize, 0));
    table.clear();
    for (size_t i = 0; i < job.Music.size(); ++i) {
      MusicEntry e;
      e.Ext = job.Music[i].Ext.empty() ? ExtensionOf(job.Music[i].File) : job.Music[i].Ext;
      e.Start = CheckedI32(out.Position() - musicTable, "the music section");
      std::string how;
      const TStoredItem item = StoreItem(out, job.Music[i].File, job.Compress, how);
      e.Size = item.Size;
      e.PackedSize = item.PackedSize;
      const std::vector<uint8_t> record = SerializeMusicEntry(e);
      table.insert(table.end(), record.begin(), record.end());
      progress("music " + std::to_string(i + 1) + "/" + std::to_string(job.Music.size()) + " " +
               job.Music[i].File + ": " + how);
    }
    out.Patch(musicTable, table);
    t.MusicCount = int32_t(job.Music.size());
    t.MusicSectionSize = CheckedI32(out.Position() - musicTable, "the music section");

    const std::vector<uint8_t> extra = SerializeExtraData(job.Text);
    out.Write(extra);
    t.ExtraDataSize = int32_t(extra.size());

    t.FileSizeSlot = 0;
    t.PayloadSize = CheckedI32(out.Position() + int64_t(kTrailerAndMagicSize) - payloadStart,
                               "the payload");
    out.Write(SerializeTrailer(t));
    out.Write(MagicBytes());
    result.FileSize = out.Position();
    result.PayloadSize = t.PayloadSize;
    out.Close();

    if (::chmod(temporary.c_str(), 0755) != 0)
      throw PackError("cannot write " + output.string() + ": " + ErrnoText());
    std::error_code ec;
    fs::rename(temporary, output, ec);
    if (ec) throw PackError("cannot write " + output.string() + ": " + ec.message());
  } catch (...) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw;
  }
  progress("wrote " + output.string() + ": " + std::to_string(result.FileSize) + " bytes, " +
           Plural(job.Pictures.size(), "picture") + ", " + Plural(job.Masks.size(), "mask") +
           ", " + Plural(job.Music.size(), "music track"));
  return result;
}

}  // namespace saver
