#include "item_export.h"

#include <filesystem>
#include <stdexcept>

#include "payload/format/extract.h"
#include "platform/cp1252.h"

namespace saver {
namespace {

namespace fs = std::filesystem;

// The item's extension when it can end a file name, else ".bin".
std::string FileExt(const std::string& ext) {
  return !ext.empty() && IsSafeExtension(ext) ? Cp1252ToUtf8(ext) : ".bin";
}

// "picture-07" with at least two digits, more when the count needs them.
std::string Numbered(const char* kind, size_t index, size_t count) {
  std::string number = std::to_string(index + 1);
  const size_t width = std::max<size_t>(2, std::to_string(count).size());
  return std::string(kind) + "-" + std::string(width - number.size(), '0') + number;
}

class TExporter {
 public:
  TExporter(const PayloadData& data, fs::path folder,
            const std::function<void(const std::string&)>& written)
      : data_(data), folder_(std::move(folder)), written_(written) {}

  void Item(const std::string& name, int64_t position, int32_t size, int32_t packedSize) {
    const fs::path dest = folder_ / name;
    if (size < 0 || packedSize < 0)
      throw std::runtime_error(name + ": the table gives a negative size");
    ExtractItem(data_.SourcePath, dest.string(), packedSize > 0, size, packedSize, position);
    std::error_code ec;
    const auto length = fs::file_size(dest, ec);
    if (ec || length != uint64_t(size))
      throw std::runtime_error("cannot extract " + name + ": got " +
                               (ec ? std::string("no file") : std::to_string(length) + " bytes") +
                               " of " + std::to_string(size));
    // The extractor makes private files; these are the user's own copies.
    fs::permissions(dest, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read, ec);
    written_(dest.string());
  }

 private:
  const PayloadData& data_;
  fs::path folder_;
  const std::function<void(const std::string&)>& written_;
};

}  // namespace

void ExportItems(const TSaverContents& contents, const std::string& folder,
                 const std::function<void(const std::string& file)>& written) {
  const PayloadData& d = contents.Data;
  const PayloadTrailer& t = d.Trailer;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw std::runtime_error("cannot create " + folder + ": " + ec.message());
  TExporter out(d, folder, written);

  if (t.PreviewSize > 0) out.Item("preview.bmp", d.PreviewStart(), t.PreviewSize, 0);
  if (t.BannerSize > 0)
    out.Item("banner.bin", d.PreviewStart() + t.PreviewSize, t.BannerSize, 0);
  for (size_t i = 0; i < d.PictureTable.size(); ++i) {
    const PictureEntry& e = d.PictureTable[i];
    out.Item(Numbered("picture", i, d.PictureTable.size()) + FileExt(e.Ext),
             d.PicturePosition(e), e.Size, e.PackedSize);
  }
  for (size_t i = 0; i < d.MaskTable.size(); ++i) {
    const MaskEntry& e = d.MaskTable[i];
    const char* ext = e.Format == 0 ? ".bmp" : e.Format == 1 ? ".png" : ".gif";
    out.Item(Numbered("mask", i, d.MaskTable.size()) + ext, d.MaskPosition(e), e.Size,
             e.PackedSize);
  }
  if (t.BackgroundSize > 0)
    out.Item("background" + FileExt(t.BackPictureExt), d.BackgroundStart(),
             t.BackgroundUnpackedSize, t.BackgroundSize);
  for (size_t i = 0; i < d.MusicTable.size(); ++i) {
    const MusicEntry& e = d.MusicTable[i];
    out.Item(Numbered("music", i, d.MusicTable.size()) + FileExt(e.Ext), d.MusicPosition(e),
             e.Size, e.PackedSize);
  }
}

}  // namespace saver
