#include "saver_writer.h"

#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <vector>

#include "input_file.h"
#include "pack_checks.h"
#include "pack_error.h"
#include "payload/picture_loader.h"
#include "preview_maker.h"
#include "saver_file.h"
#include "zlib_codec.h"

namespace saver {
namespace {

namespace fs = std::filesystem;

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

fs::path TemporaryPathFor(const fs::path& output) {
  return output.parent_path() / ("." + output.filename().string() + ".part");
}

}  // namespace

TPackResult PackSaver(const TPackJob& job, const TPackProgress& progress) {
  if (job.Output.empty()) throw PackError("no output file given (-o FILE)");
  if (job.Player.empty()) throw PackError("no player executable given (--player PATH)");
  CheckPackJob(job);

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
    const std::vector<uint8_t> preview = PreviewBmpForJob(job, progress);
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
    size_t videos = 0;
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
      // A video item is stored as it is, like a picture; the player plays it.
      const bool video = IsVideoExtension(e.Ext);
      videos += video ? 1 : 0;
      progress(std::string(video ? "video " : "picture ") + std::to_string(i + 1) + "/" +
               std::to_string(job.Pictures.size()) + " " + source.File + ": " + how);
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
    result.Videos = videos;
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
           Plural(job.Pictures.size() - result.Videos, "picture") +
           (result.Videos ? ", " + Plural(result.Videos, "video") : std::string()) + ", " +
           Plural(job.Masks.size(), "mask") + ", " + Plural(job.Music.size(), "music track"));
  return result;
}

}  // namespace saver
