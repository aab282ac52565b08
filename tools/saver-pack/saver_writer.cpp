#include "saver_writer.h"

#include <climits>
#include <filesystem>
#include <vector>

#include "input_file.h"
#include "pack_checks.h"
#include "pack_error.h"
#include "payload/compose/picture_loader.h"
#include "preview_maker.h"
#include "partial_file.h"
#include "converted_pictures.h"
#include "saver_file.h"
#include "upright.h"
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

// The bytes stored for one item: either the file as it is, or bytes
// prepared in memory (a picture turned upright or converted).
struct TItemSource {
  std::string Path;
  const std::vector<uint8_t>* Bytes = nullptr;
};

TFile OpenSource(const TItemSource& source) {
  if (!source.Bytes) return OpenForReading(source.Path);
  auto* data = const_cast<uint8_t*>(source.Bytes->data());
  TFile in(fmemopen(data, source.Bytes->size(), "rb"), &std::fclose);
  if (!in) throw PackError("cannot read " + source.Path + ": " + ErrnoText());
  return in;
}

// Appends one item, compressed when the mode asks for it (auto: when that
// saves at least kAutoCompressSavingPercent), and describes it for the
// item's table entry. The item is streamed: only a buffer's worth of it is
// in memory at a time, compressed or not.
TStoredItem StoreItem(TSaverFile& out, const TItemSource& source, TCompressMode mode,
                      std::string& how) {
  const std::string& path = source.Path;
  TFile in = OpenSource(source);
  const int64_t length = FileLength(in.get(), path);
  TStoredItem item;
  item.Size = CheckedI32(length, path);
  const bool tryCompress = mode == TCompressMode::Always ||
                           (mode == TCompressMode::Auto && length > 0 && length <= kAutoCompressLimit);
  how = std::to_string(length) + " bytes, stored";
  if (!tryCompress) {
    out.Copy(in.get(), path, length);
    return item;
  }
  const int64_t start = out.Position();
  const int64_t packed = ZlibCompressStream(in.get(), path, length, [&](std::span<const uint8_t> bytes) {
    out.Write(bytes.data(), bytes.size());
  });
  const bool saves = packed * 100 <= length * (100 - kAutoCompressSavingPercent);
  if (mode == TCompressMode::Always || saves) {
    item.PackedSize = CheckedI32(packed, path);
    how = std::to_string(length) + " bytes, compressed to " + std::to_string(packed);
    return item;
  }
  // Not worth it: the plain bytes take the compressed ones' place.
  out.Truncate(start);
  if (fseeko(in.get(), 0, SEEK_SET) != 0) throw PackError("cannot read " + path + ": " + ErrnoText());
  out.Copy(in.get(), path, length);
  how += " (compression would save less than " + std::to_string(kAutoCompressSavingPercent) + "%)";
  return item;
}

int64_t SizeOf(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? 0 : int64_t(size);
}

// "turned upright (EXIF orientation 6)".
std::string TurnedText(const TUprightPicture& upright, const std::string& ext) {
  const bool tiff = LowerExtensionOf("x" + ext).rfind(".tif", 0) == 0;
  return std::string("turned upright (") + (tiff ? "TIFF" : "EXIF") + " orientation " +
         std::to_string(upright.Orientation) + ")";
}

}  // namespace

TPackResult PackSaver(const TPackJob& job, const TPackReport& report) {
  if (job.Output.empty()) throw PackError("no output file given (-o FILE)");
  if (job.Player.empty()) throw PackError("no player executable given (--player PATH)");
  auto item = [&](const std::string& line) {
    if (report.Item) report.Item(line);
  };
  auto step = [&](const TPackStep& s) {
    if (report.Step) report.Step(s);
  };
  TConvertedPictures converted;
  CheckPackJob(job, converted, report);
  const std::vector<uint8_t> preview = PreviewBmpForJob(job, converted, item);

  std::vector<int32_t> maskIndex(job.Pictures.size());
  for (size_t i = 0; i < job.Pictures.size(); ++i) {
    maskIndex[i] = job.Pictures[i].Entry.MaskIndex;
    for (size_t m = 0; m < job.Masks.size() && !job.Pictures[i].Mask.empty(); ++m)
      if (job.Masks[m].Name == job.Pictures[i].Mask) maskIndex[i] = int32_t(m);
  }

  // Progress counts the items and the bytes read from the files.
  TPackStep progress{"packing", 0, job.Pictures.size() + job.Masks.size() + job.Music.size() +
                                       (job.Background.empty() ? 0 : 1),
                     0, SizeOf(job.Player) + SizeOf(job.Banner)};
  for (auto& p : job.Pictures) progress.ByteCount += SizeOf(p.File);
  for (auto& m : job.Masks) progress.ByteCount += SizeOf(m.File);
  for (auto& m : job.Music) progress.ByteCount += SizeOf(m.File);
  progress.ByteCount += job.Background.empty() ? 0 : SizeOf(job.Background);
  auto done = [&](const std::string& file) {
    ++progress.Items;
    progress.Bytes += SizeOf(file);
    step(progress);
  };

  const fs::path output(job.Output);
  PayloadTrailer t = job.Trailer;
  TPackResult result;
  TPartialFile partial(output);
  {
    TSaverFile out(partial);
    {
      TFile player = OpenForReading(job.Player);
      out.Copy(player.get(), job.Player, FileLength(player.get(), job.Player));
      progress.Bytes += SizeOf(job.Player);
      step(progress);
    }
    const int64_t payloadStart = out.Position();
    auto fromPayload = [&](int64_t at) { return CheckedI32(at - payloadStart, "the payload"); };

    t.LeadInSize = 0;
    out.Write(preview);
    t.PreviewSize = CheckedI32(int64_t(preview.size()), "the preview");

    t.BannerSize = 0;
    if (!job.Banner.empty()) {
      TFile banner = OpenForReading(job.Banner);
      const int64_t length = FileLength(banner.get(), job.Banner);
      out.Copy(banner.get(), job.Banner, length);
      t.BannerSize = CheckedI32(length, job.Banner);
      progress.Bytes += length;
    }

    // Pictures: table, then data.
    const int64_t pictureTable = out.Position();
    out.Write(std::vector<uint8_t>(job.Pictures.size() * kPictureEntrySize, 0));
    std::vector<uint8_t> table;
    size_t videos = 0;
    for (size_t i = 0; i < job.Pictures.size(); ++i) {
      const TPackPicture& source = job.Pictures[i];
      PictureEntry e = source.Entry;
      e.Ext = source.Entry.Ext.empty() ? ExtensionOf(source.File) : source.Entry.Ext;
      e.MaskIndex = maskIndex[i];
      e.Start = fromPayload(out.Position());
      // A picture converted from a format the player does not read is stored
      // as converted; one whose orientation tag turns it is stored turned.
      std::vector<uint8_t> prepared;
      std::string notes;
      if (const auto* c = converted.Find(source.File)) {
        prepared = converted.Bytes(*c);
        e.Ext = c->Ext;
        notes = ", " + c->How;
      } else if (!job.KeepOrientation && MayCarryOrientation(e.Ext)) {
        std::optional<TUprightPicture> upright;
        try {
          upright = UprightPicture(ReadWholeFile(source.File), e.Ext);
        } catch (const std::runtime_error& err) {
          throw PackError("cannot turn " + source.File + " upright: " + err.what() +
                          " (--keep-orientation stores it as it is)");
        }
        if (upright) {
          notes = ", " + TurnedText(*upright, e.Ext);
          if ((upright->TrimmedColumns || upright->TrimmedRows) && report.Note) {
            std::string cut;
            if (upright->TrimmedColumns) cut = Plural(size_t(upright->TrimmedColumns), "pixel column");
            if (upright->TrimmedRows)
              cut += (cut.empty() ? "" : " and ") + Plural(size_t(upright->TrimmedRows), "pixel row");
            report.Note(source.File + ": " + TurnedText(*upright, e.Ext) + " losslessly, " +
                        "dropping " + cut + " of a partial block at its edge");
          }
          prepared = std::move(upright->Bytes);
        }
      }
      std::string how;
      const TStoredItem stored =
          StoreItem(out, {source.File, prepared.empty() ? nullptr : &prepared}, job.Compress, how);
      e.Size = stored.Size;
      e.PackedSize = stored.PackedSize;
      const std::vector<uint8_t> record = SerializePictureEntry(e);
      table.insert(table.end(), record.begin(), record.end());
      // A video item is stored as it is, like a picture; the player plays it.
      const bool video = IsVideoExtension(e.Ext);
      videos += video ? 1 : 0;
      item(std::string(video ? "video " : "picture ") + std::to_string(i + 1) + "/" +
           std::to_string(job.Pictures.size()) + " " + source.File + ": " + how + notes);
      done(source.File);
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
      const auto* c = converted.Find(job.Masks[i].File, true);
      const std::vector<uint8_t> prepared = c ? converted.Bytes(*c) : std::vector<uint8_t>();
      e.Format = MaskFormatOf(c ? "x" + c->Ext : job.Masks[i].File);
      e.Start = fromPayload(out.Position());
      std::string how;
      const TStoredItem stored =
          StoreItem(out, {job.Masks[i].File, c ? &prepared : nullptr}, job.Compress, how);
      if (c) how += ", " + c->How;
      e.Size = stored.Size;
      e.PackedSize = stored.PackedSize;
      const std::vector<uint8_t> record = SerializeMaskEntry(e);
      table.insert(table.end(), record.begin(), record.end());
      item("mask " + std::to_string(i + 1) + "/" + std::to_string(job.Masks.size()) + " " +
           job.Masks[i].File + ": " + how);
      done(job.Masks[i].File);
    }
    out.Patch(maskTable, table);
    t.MaskCount = int32_t(job.Masks.size());
    t.MaskSectionSize = CheckedI32(out.Position() - maskTable, "the mask section");

    // Background picture: always compressed.
    t.BackgroundSize = t.BackgroundUnpackedSize = 0;
    t.BackPictureExt.clear();
    if (!job.Background.empty()) {
      const auto* c = converted.Find(job.Background);
      const std::vector<uint8_t> prepared = c ? converted.Bytes(*c) : std::vector<uint8_t>();
      std::string how;
      const TStoredItem stored =
          StoreItem(out, {job.Background, c ? &prepared : nullptr}, TCompressMode::Always, how);
      if (c) how += ", " + c->How;
      t.BackgroundSize = stored.PackedSize;
      t.BackgroundUnpackedSize = stored.Size;
      t.BackPictureExt = c ? c->Ext : ExtensionOf(job.Background);
      item("background " + job.Background + ": " + how);
      done(job.Background);
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
      const TStoredItem stored = StoreItem(out, {job.Music[i].File}, job.Compress, how);
      e.Size = stored.Size;
      e.PackedSize = stored.PackedSize;
      const std::vector<uint8_t> record = SerializeMusicEntry(e);
      table.insert(table.end(), record.begin(), record.end());
      item("music " + std::to_string(i + 1) + "/" + std::to_string(job.Music.size()) + " " +
           job.Music[i].File + ": " + how);
      done(job.Music[i].File);
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
  }
  partial.Commit(fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                 fs::perms::others_read | fs::perms::others_exec);
  item("wrote " + output.string() + ": " + std::to_string(result.FileSize) + " bytes, " +
       Plural(job.Pictures.size() - result.Videos, "picture") +
       (result.Videos ? ", " + Plural(result.Videos, "video") : std::string()) + ", " +
       Plural(job.Masks.size(), "mask") + ", " + Plural(job.Music.size(), "music track"));
  return result;
}

}  // namespace saver
