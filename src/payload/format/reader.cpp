#include "payload/format/reader.h"

#include <exception>
#include <filesystem>

#include "payload/format/binary_file.h"
#include "payload/format/extract.h"
#include "payload/format/log_line.h"
#include "payload/format/random_colour.h"
#include "platform/cp1252.h"
#include "platform/message_box.h"
#include "platform/paths.h"

namespace saver {
namespace {

std::string Dec(int64_t v) { return std::to_string(v); }

void ReadTrailerAndMagic(BinaryFile& file, PayloadData& data, bool logged) {
  int64_t size = file.Size();
  if (size < int64_t(kTrailerAndMagicSize)) throw PayloadError("file too short for a payload");
  file.Seek(size - int64_t(kTrailerAndMagicSize));
  data.Trailer = ParseTrailer(file.ReadBytes(kTrailerSize));
  data.FileSize = size;
  data.Trailer.FileSizeSlot = int32_t(size);
  data.PayloadStart = size - data.Trailer.PayloadSize;
  if (logged) LogLine("Data start at " + Dec(data.PayloadStart));
  std::vector<uint8_t> magic = file.ReadBytes(kMagicSize);
  if (logged) LogLine("Checking mark");
  if (!IsMagic(magic))
    throw PayloadError("the file does not end with a saver's payload: it may be cut short");
}

// Section lengths that cannot be right are refused before any seek or
// allocation depends on them.
void CheckSections(const PayloadData& data) {
  const PayloadTrailer& t = data.Trailer;
  for (int32_t len : {t.LeadInSize, t.PreviewSize, t.BannerSize, t.PictureSectionSize,
                      t.MaskSectionSize, t.BackgroundSize, t.MusicSectionSize})
    if (len < 0) throw PayloadError("negative section length");
  if (data.PayloadStart < 0) throw PayloadError("payload larger than the file");
  if (data.ExtraDataStart() > data.FileSize - int64_t(kTrailerAndMagicSize))
    throw PayloadError("sections run past the trailer");
}

// A table of count records of recordSize bytes must fit in its section.
void CheckTable(int32_t count, size_t recordSize, int32_t sectionSize, const char* what) {
  if (count < 0 || int64_t(count) * int64_t(recordSize) > sectionSize)
    throw PayloadError(std::string(what) + " table does not fit its section");
}

void ReadExtraData(BinaryFile& file, PayloadData& data) {
  ExtraData& x = data.Text;
  x.Title = file.ReadShortText();
  LogLine("ExtraData.Title=" + x.Title);
  x.Author = file.ReadShortText();
  x.Website = file.ReadShortText();
  for (std::string& reserved : x.Reserved) reserved = file.ReadShortText();
  x.F1link = file.ReadShortText();
  LogLine("ExtraData.F1link=" + x.F1link);
  x.Exitlink = file.ReadShortText();
  LogLine("ExtraData.Exitlink=" + x.Exitlink);
  x.Bannerlink = file.ReadShortText();
  LogLine("ExtraData.Bannerlink=" + x.Bannerlink);
  x.License = file.ReadShortText();
  LogLine("ExtraData.License=" + x.License);
  x.Readme = file.ReadShortText();
  LogLine("ExtraData.Readme=" + x.Readme);
  x.Effect = file.ReadShortText();
  LogLine("ExtraData.Effect=" + x.Effect);
  LogLine("Length(Effect)=" + Dec(int64_t(x.Effect.size())));
  LogLine("Success");
  LogLine("Data start at " + Dec(data.PayloadStart));
}

void ReadTables(BinaryFile& file, PayloadData& data, IReaderHost& host) {
  PayloadTrailer& t = data.Trailer;
  host.SetWindowColor(t.BackColor);
  if (t.RandomColors) {
    TRandomInt random = [&host](int32_t range) { return host.Random(range); };
    t.BackColor = RandomColorRef(random);
    host.SetWindowColor(t.BackColor);
    t.BackColor2 = RandomColorRef(random);
  }
  if (t.RandomGradient) t.GradientStyle = host.Random(8) + 1;

  data.TempFolder = TempFolder();
  LogLine("Reading images");
  LogLine("Data start at " + Dec(data.PayloadStart));

  file.Seek(data.PictureTableStart());
  CheckTable(t.PictureCount, kPictureEntrySize, t.PictureSectionSize, "picture");
  data.PictureTable.assign(size_t(t.PictureCount), PictureEntry{});
  for (PictureEntry& e : data.PictureTable) {
    e = ParsePictureEntry(file.ReadBytes(kPictureEntrySize));
    LogLine("Ext = " + e.Ext);
    LogLine("Start = " + Dec(e.Start));
  }

  file.Seek(data.MaskTableStart());
  CheckTable(t.MaskCount, kMaskEntrySize, t.MaskSectionSize, "mask");
  data.MaskTable.assign(size_t(t.MaskCount), MaskEntry{});
  for (MaskEntry& e : data.MaskTable) {
    e = ParseMaskEntry(file.ReadBytes(kMaskEntrySize));
    LogLine("Mask Start = " + Dec(e.Start));
  }

  LogLine("Success");
  LogLine("Reading background");
  file.Seek(data.BackgroundStart());
  host.PaintBackground(data);
  if (t.BackgroundSize != 0)
    host.LoadBackgroundPicture(data);
  else
    host.ClearBackgroundPicture();

  LogLine("Success");
  LogLine("Reading music");
  file.Seek(data.MusicSectionStart());
  CheckTable(t.MusicCount, kMusicEntrySize, t.MusicSectionSize, "music");
  data.MusicTable.assign(size_t(t.MusicCount), MusicEntry{});
  for (MusicEntry& e : data.MusicTable) e = ParseMusicEntry(file.ReadBytes(kMusicEntrySize));

  if (t.PlayOneRandom && t.MusicCount > 1) {
    int r = host.Random(t.MusicCount);
    data.MusicTable[0] = data.MusicTable[size_t(r)];
    data.MusicTable.resize(1);
    t.MusicCount = 1;
  }
  LogLine("Success");
}

void Guarded(BinaryFile& file, PayloadData& data, bool configMode, IReaderHost& host) {
  ReadTrailerAndMagic(file, data, true);
  LogLine("Success");
  LogLine("Loading Extradata");
  CheckSections(data);
  file.Seek(data.ExtraDataStart());
  ReadExtraData(file, data);

  LogLine("Reading registry data");
  host.ReadSettings(data);
  LogLine("Success");

  LogLine("Changing controls to defualt values");
  host.SetApplicationTitle(data.Text.Title);
  host.SettingsToControls(data);
  LogLine("Success");

  if (!configMode) ReadTables(file, data, host);
}

}  // namespace

std::string ReadFailureText(const std::string& reason) {
  return std::string(kReadFailureText) + "\r\n\r\nReason: " + reason;
}

bool ReadData(PayloadData& data, const std::string& path, bool configMode, IReaderHost& host,
              std::string* reason) {
  bool failed = false;
  std::string failure;
  {
    BinaryFile file(path);  // an open failure leaves as an exception
    data.SourcePath = path;
    try {
      Guarded(file, data, configMode, host);
    } catch (const std::exception& e) {
      failed = true;
      failure = e.what();
    } catch (...) {
      failed = true;
      failure = "unknown failure";
    }
  }  // the file closes whether the guarded part succeeded or not
  if (failed) {
    LogLine("Failure: " + failure);
    if (reason) *reason = failure;
    host.ShowCursor();
    if (IMessageBox* box = host.MessageBox()) {
      // A saver without a title still names itself: by its file's name.
      std::string caption = Cp1252ToUtf8(host.ApplicationTitle());
      if (caption.empty()) caption = std::filesystem::path(path).filename().string();
      box->Show(ReadFailureText(failure), caption, MessageIcon::Error);
    }
    host.RequestTerminate();
  }
  return !failed;
}

void ReadTrailer(PayloadData& data, const std::string& path) {
  BinaryFile file(path);
  data.SourcePath = path;
  ReadTrailerAndMagic(file, data, false);
}

std::string ExtractBackgroundPicture(const PayloadData& data) {
  std::string dest = TempItemPath("SSBG", data.Trailer.BackPictureExt);
  ExtractItem(data.SourcePath, dest, true, data.Trailer.BackgroundUnpackedSize,
              data.Trailer.BackgroundSize, data.BackgroundStart());
  return dest;
}

}  // namespace saver
