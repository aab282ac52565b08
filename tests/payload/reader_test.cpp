#include "payload/format/reader.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>

#include "payload/format/extract.h"
#include "payload/format/log_line.h"
#include "payload/reader_test_file.h"
#include "platform/message_box.h"

namespace saver {
namespace {

using namespace saver::testing;

// Records what the reader asks of its surroundings; random numbers are scripted.
class RecordingHost : public IReaderHost {
 public:
  void ReadSettings(PayloadData&) override { calls.push_back("ReadSettings"); }
  void SettingsToControls(PayloadData& d) override {
    calls.push_back("SettingsToControls:" + ApplicationTitle());
  }
  void SetWindowColor(int32_t c) override { windowColor = c; }
  void PaintBackground(PayloadData&) override { calls.push_back("PaintBackground"); }
  void LoadBackgroundPicture(PayloadData& d) override {
    calls.push_back("LoadBackgroundPicture");
    backgroundFile = ExtractBackgroundPicture(d);
  }
  void ClearBackgroundPicture() override { calls.push_back("ClearBackgroundPicture"); }
  int Random(int range) override {
    ranges.push_back(range);
    int v = randoms.empty() ? 0 : randoms.front();
    if (!randoms.empty()) randoms.pop_front();
    return v;
  }
  void ShowCursor() override { calls.push_back("ShowCursor"); }
  IMessageBox* MessageBox() override { return &box; }
  void RequestTerminate() override { calls.push_back("RequestTerminate"); }

  std::vector<std::string> calls;
  std::deque<int> randoms;
  std::vector<int> ranges;
  int32_t windowColor = -1;
  std::string backgroundFile;
  RecordingMessageBox box;
};

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogSink([this](const std::string& l) { log.push_back(l); });
    file.preview = std::vector<uint8_t>(40, 'P');
    file.extra[0] = "Ocean Views";
    file.extra[15] = "\x01\x02\x74";
    PutI32At(file.trailer, kOffSeconds, 7);
  }
  void TearDown() override { SetLogSink({}); }

  bool Read(bool configMode) {
    return ReadData(data, scratch.Write("saver.scr", file.Bytes()), configMode, host, &reason);
  }
  void ExpectFailureBox(const std::string& caption) {
    ASSERT_EQ(host.box.shown.size(), 1u) << reason;
    // The system's own text first, then what failed; the log ends with it too.
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(host.box.shown[0].text,
              "The screen saver can not run because of one of the following reasons:\r\n\r\n"
              "* The file is corrupted\r\n* Your computer is out of resources\r\n* Windows error"
              "\r\n\r\nReason: " + reason);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Failure: " + reason);
    EXPECT_EQ(host.box.shown[0].caption, caption);
    EXPECT_EQ(host.box.shown[0].icon, MessageIcon::Error);
    ASSERT_GE(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[host.calls.size() - 2], "ShowCursor");
    EXPECT_EQ(host.calls.back(), "RequestTerminate");
  }

  ScratchDir scratch;
  SaverFile file;
  PayloadData data;
  RecordingHost host;
  std::vector<std::string> log;
  std::string reason;
};

TEST_F(ReaderTest, PayloadWithoutItemsLogsEveryStepInOrder) {
  ASSERT_TRUE(Read(false)) << reason;
  std::string p = std::to_string(file.exe.size());
  std::vector<std::string> expected = {
      "Data start at " + p, "Checking mark", "Success", "Loading Extradata",
      "ExtraData.Title=Ocean Views", "ExtraData.F1link=", "ExtraData.Exitlink=",
      "ExtraData.Bannerlink=", "ExtraData.License=", "ExtraData.Readme=",
      "ExtraData.Effect=\x01\x02\x74", "Length(Effect)=3", "Success", "Data start at " + p,
      "Reading registry data", "Success", "Changing controls to defualt values", "Success",
      "Reading images", "Data start at " + p, "Success", "Reading background", "Success",
      "Reading music", "Success"};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(host.calls, (std::vector<std::string>{"ReadSettings", "SettingsToControls:Ocean Views",
                                                  "PaintBackground", "ClearBackgroundPicture"}));
  EXPECT_EQ(data.PayloadStart, int64_t(file.exe.size()));
  EXPECT_EQ(data.Trailer.FileSizeSlot, int32_t(data.FileSize));
  EXPECT_EQ(data.Trailer.Seconds, 7);
  EXPECT_EQ(data.Text.Effect, "\x01\x02\x74");
  EXPECT_TRUE(data.PictureTable.empty());
  EXPECT_TRUE(data.MusicTable.empty());
  EXPECT_EQ(data.TempFolder, scratch.Path("saver-" + std::to_string(geteuid()) + "/"));
  EXPECT_TRUE(host.box.shown.empty());
}

TEST_F(ReaderTest, PlainVideoItemAndFiveCharacterExtensions) {
  std::vector<uint8_t> video(3000);
  for (size_t i = 0; i < video.size(); ++i) video[i] = uint8_t(i * 7);
  file.leadIn = std::vector<uint8_t>(5, 'L');
  file.banner = std::vector<uint8_t>(9, 'B');
  int32_t start = int32_t(file.PictureSectionOffset() + 572);  // LeadIn + Preview + Banner + 572
  file.pictures = ItemEntry(start, int32_t(video.size()), 0, ".mpeg");
  AppendBytes(file.pictures, video);
  PutI32At(file.trailer, kOffPictureCount, 1);
  ASSERT_TRUE(Read(false)) << reason;

  ASSERT_EQ(data.PictureTable.size(), 1u);
  EXPECT_EQ(data.PictureTable[0].Ext, ".mpeg");
  EXPECT_EQ(data.PictureTable[0].PackedSize, 0);
  EXPECT_NE(std::find(log.begin(), log.end(), "Ext = .mpeg"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "Start = " + std::to_string(start)), log.end());

  std::string dest = TempItemPath("SSIMG", data.PictureTable[0].Ext);
  const PictureEntry& e = data.PictureTable[0];
  ExtractItem(data.SourcePath, dest, e.PackedSize > 0, e.Size, e.PackedSize,
              data.PicturePosition(e));
  EXPECT_EQ(ScratchDir::Read(dest), video);
  EXPECT_EQ(dest.substr(dest.size() - 10), "SSIMG.mpeg");
}

TEST_F(ReaderTest, MusicStartCountsFromTheMusicSection) {
  file.pictures = std::vector<uint8_t>(100, 'x');  // a section before music shifts it
  std::vector<uint8_t> track1(50, 'a'), track2(60, 'b');
  file.music = ItemEntry(2 * 572, 50, 0, ".mp3");
  AppendBytes(file.music, ItemEntry(2 * 572 + 50, 60, 0, ".ogg"));
  AppendBytes(file.music, track1);
  AppendBytes(file.music, track2);
  PutI32At(file.trailer, kOffMusicCount, 2);
  ASSERT_TRUE(Read(false)) << reason;

  ASSERT_EQ(data.MusicTable.size(), 2u);
  EXPECT_EQ(data.MusicSectionStart(), int64_t(file.exe.size() + file.MusicSectionOffset()));
  std::string dest = scratch.Path("SSSND.ogg");
  ExtractItem(data.SourcePath, dest, false, data.MusicTable[1].Size, 0,
              data.MusicPosition(data.MusicTable[1]));
  EXPECT_EQ(ScratchDir::Read(dest), track2);
}

TEST_F(ReaderTest, PlayOneRandomKeepsOneTrackOrChoosesOne) {
  PutI32At(file.trailer, kOffMusicCount, 1);
  file.trailer[kOffPlayOneRandom] = 1;
  file.music = ItemEntry(572, 1, 0, ".wav");
  file.music.push_back(0);
  ASSERT_TRUE(Read(false)) << reason;
  EXPECT_EQ(data.MusicTable.size(), 1u);
  EXPECT_TRUE(host.ranges.empty());  // no draw for a single track

  file.music.clear();
  for (int i = 0; i < 3; ++i) AppendBytes(file.music, ItemEntry(i, 1, 0, ".t" + std::to_string(i)));
  PutI32At(file.trailer, kOffMusicCount, 3);
  host.randoms = {2};
  data = PayloadData{};
  ASSERT_TRUE(Read(false)) << reason;
  ASSERT_EQ(data.MusicTable.size(), 1u);
  EXPECT_EQ(data.MusicTable[0].Ext, ".t2");
  EXPECT_EQ(data.Trailer.MusicCount, 1);
  EXPECT_EQ(host.ranges, std::vector<int>{3});
}

TEST_F(ReaderTest, RandomColoursAndGradientComeFromTheGenerator) {
  file.trailer[kOffRandomColors] = 1;
  file.trailer[kOffRandomGradient] = 1;
  host.randoms = {0x11, 0x22, 0x33, 1, 2, 3, 7};
  ASSERT_TRUE(Read(false)) << reason;
  EXPECT_EQ(data.Trailer.BackColor, 0x332211);  // red in the low byte
  EXPECT_EQ(host.windowColor, 0x332211);
  EXPECT_EQ(data.Trailer.BackColor2, 0x030201);
  EXPECT_EQ(data.Trailer.GradientStyle, 8);
  EXPECT_EQ(host.ranges.back(), 8);
}

TEST_F(ReaderTest, ConfigurationDepthReadsNoTables) {
  file.pictures = ItemEntry(0, 0, 0, ".jpg");
  PutI32At(file.trailer, kOffPictureCount, 1);
  ASSERT_TRUE(Read(true)) << reason;
  EXPECT_TRUE(data.PictureTable.empty());
  EXPECT_EQ(host.calls, (std::vector<std::string>{"ReadSettings", "SettingsToControls:Ocean Views"}));
  EXPECT_EQ(log.back(), "Success");
  EXPECT_EQ(log[log.size() - 2], "Changing controls to defualt values");
}

TEST_F(ReaderTest, CompressedBackgroundIsExtractedUnderItsExtension) {
  // zlib stream of "BG!" (stored block), written out by hand.
  file.background = {0x78, 0x01, 0x01, 0x03, 0x00, 0xFC, 0xFF, 'B', 'G', '!', 0x01, 0x78, 0x00, 0xAB};
  PutI32At(file.trailer, kOffBackgroundUnpacked, 3);
  PutTextAt(file.trailer, kOffBackPictureExt, ".png");
  ASSERT_TRUE(Read(false)) << reason;
  EXPECT_EQ(host.calls[3], "LoadBackgroundPicture");
  EXPECT_EQ(ScratchDir::Read(host.backgroundFile), (std::vector<uint8_t>{'B', 'G', '!'}));
  EXPECT_EQ(host.backgroundFile.substr(host.backgroundFile.size() - 8), "SSBG.png");
}

TEST_F(ReaderTest, BackgroundExtensionThatLeavesTheFolderFailsTheReader) {
  file.background = {0x78, 0x01, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x01};
  PutTextAt(file.trailer, kOffBackPictureExt, "/../x");
  EXPECT_FALSE(Read(false));
  ExpectFailureBox("Ocean Views");
}

TEST_F(ReaderTest, DamagedFilesGiveTheOneMessageNeverACrash) {
  struct Case {
    const char* name;
    size_t offset;
    int32_t value;
    const char* caption;
  };
  // Damage found before the title is known keeps the default caption.
  const Case cases[] = {
      {"section past the end", kOffMusicSection, 1 << 30, "Screen Saver"},
      {"negative section", kOffBannerSize, -5, "Screen Saver"},
      {"payload larger than file", kOffPayloadSize, 1 << 30, "Screen Saver"},
      {"absurd picture count", kOffPictureCount, 0x7FFFFFFF, "Ocean Views"},
      {"negative mask count", kOffMaskCount, -1, "Ocean Views"},
      {"music count beyond section", kOffMusicCount, 3, "Ocean Views"},
  };
  std::vector<uint8_t> good = file.Bytes();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bad = good;
    PutI32At(bad, bad.size() - 174 + c.offset, c.value);
    host = RecordingHost{};
    EXPECT_FALSE(ReadData(data, scratch.Write("bad.scr", bad), false, host, &reason));
    ExpectFailureBox(c.caption);
  }
}

TEST_F(ReaderTest, ASaverWithoutATitleNamesItselfByItsFileInTheMessage) {
  file.extra[0] = "";
  std::vector<uint8_t> bad = file.Bytes();
  PutI32At(bad, bad.size() - 174 + kOffMaskCount, -1);  // found after the title is set
  EXPECT_FALSE(ReadData(data, scratch.Write("Night Sky.scr", bad), false, host, &reason));
  ExpectFailureBox("Night Sky.scr");
}

TEST_F(ReaderTest, FileWithoutPayloadFailsAtTheMark) {
  std::vector<uint8_t> bare(500, 0);
  EXPECT_FALSE(ReadData(data, scratch.Write("bare.scr", bare), false, host, &reason));
  ExpectFailureBox("Screen Saver");
  EXPECT_EQ(log, (std::vector<std::string>{"Data start at 500", "Checking mark", "Failure: " + reason}));
  std::vector<uint8_t> tiny(3, 0);
  EXPECT_FALSE(ReadData(data, scratch.Write("tiny.scr", tiny), true, host, &reason));
}

// The common ways a start fails each name their cause: a saver file cut
// short, and a temporary folder the show may not use.
TEST_F(ReaderTest, AFailedStartSaysWhy) {
  const std::string temp = scratch.Path("saver-" + std::to_string(::geteuid()));
  const std::vector<uint8_t> whole = file.Bytes();
  struct Case {
    const char* name;
    std::function<void()> plant;
    std::vector<uint8_t> bytes;
    const char* because;
  } cases[] = {
      {"a file cut short", [] {}, std::vector<uint8_t>(whole.begin(), whole.end() - 100), "cut short"},
      {"a link in place of the temporary folder",
       [&] { std::filesystem::create_directory_symlink(scratch.Path("elsewhere"), temp); }, whole,
       "is a symbolic link"},
      {"a file in place of the temporary folder", [&] { scratch.Write("saver-" + std::to_string(::geteuid()), {}); },
       whole, "is not a folder"},
  };
  std::filesystem::create_directory(scratch.Path("elsewhere"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(temp);
    c.plant();
    host = RecordingHost{};
    log.clear();
    EXPECT_FALSE(ReadData(data, scratch.Write("saver.scr", c.bytes), false, host, &reason));
    ExpectFailureBox(c.bytes.size() < whole.size() ? "Screen Saver" : "Ocean Views");
    EXPECT_NE(reason.find(c.because), std::string::npos) << reason;
  }
  std::filesystem::remove_all(temp);
}

TEST_F(ReaderTest, MissingFileIsAnExceptionNotAMessage) {
  EXPECT_THROW(ReadData(data, scratch.Path("absent.scr"), false, host), std::system_error);
  EXPECT_TRUE(host.box.shown.empty());
}

TEST_F(ReaderTest, TrailerOnlyReadForThePreview) {
  file.pictures = std::vector<uint8_t>(10, 0);
  ReadTrailer(data, scratch.Write("saver.scr", file.Bytes()));
  EXPECT_EQ(data.Trailer.PreviewSize, 40);
  EXPECT_EQ(data.PreviewStart(), int64_t(file.exe.size()));
  EXPECT_TRUE(log.empty());
  std::vector<uint8_t> bare(500, 0);
  EXPECT_THROW(ReadTrailer(data, scratch.Write("bare.scr", bare)), PayloadError);
}

}  // namespace
}  // namespace saver
