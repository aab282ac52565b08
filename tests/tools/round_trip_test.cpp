// saver-pack writes what a manifest says; saver-inspect reads back every field.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/tool_runner.h"

namespace saver::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

// Every settable field with a value that differs from the packer's default.
constexpr const char* kFullManifest = R"(
compress = "always"
preview = "own-preview.bmp"
banner = "banner.bin"
background = "backdrop.jpg"

[trailer]
Seconds = 42
DisplayOrder = "mixed"
Stretch = 3
EffectSpeed = 9
BackColor = "#102030"
BackColor2 = 0x00654321
GradientStyle = 7
BackPictureMode = "centred"
RandomColors = true
RandomGradient = true
RepaintBackground = true
Loop = false
Mute = true
ShuffleMelody = true
DesktopStart = true
StartWithFirst = true
PlayOneRandom = true
ExitMouseMove = false
ExitMouseButton = false
ExitKeyboard = false
ExitESC = 2
HideGeneralTab = true
HidePositionTab = true
HideEffectsTab = true
HideSoundTab = true
HideBehaviorTab = true

[text]
Title = "Café Views"
Author = "Zoë — with “quotes”"
Website = "https://example.org/site"
F1link = "https://example.org/help"
Exitlink = "https://example.org/bye"
Bannerlink = "https://example.org/banner"
License = { file = "license.txt" }
Readme = "Line one\nLine two €"
Effect = [116, 3, 3, 0, 57]

[caption]
CaptionFont = "Serif Font"
CaptionFontSize = 31
CaptionMargin = 7

[[mask]]
file = "edge.png"

[[mask]]
file = "round.gif"
name = "circle"

[[picture]]
file = "first.jpg"
Caption = "Ünïcode caption"
CaptionPos = "top-right"
CaptionColor = "#FF8000"
CaptionBackColor = "#0000FF"
CaptionStyle = ["underline", "italic", "strikeout"]
CaptionTransparent = false
CaptionMultiLine = true
CaptionShadow = false
ItemSeconds = 13
ItemStretch = "stretch"
mask = "circle"

[[picture]]
file = "second.png"
Ext = ".jpeg"
CaptionFont = ""
CaptionFontSize = 9
CaptionMargin = 0
CaptionPos = 8
CaptionStyle = 2
ItemStretch = "default"
MaskIndex = 0

[[music]]
file = "song.wav"

[[music]]
file = "tune.data"
Ext = ".mpeg"
)";

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(seed + i * 7 + (i >> 5));
  return bytes;
}

class RoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(AssetPath("aurora.jpg"), dir / "first.jpg");
    // A JPEG under another name: its Ext tells the player what it is.
    fs::copy_file(AssetPath("dunes.jpg"), dir / "second.png");
    fs::copy_file(AssetPath("backdrop.jpg"), dir / "backdrop.jpg");
    fs::copy_file(AssetPath("vignette.png"), dir / "edge.png");
    // The smallest GIF: one transparent pixel.
    WriteFileBytes(dir / "round.gif",
                   {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00,
                    0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00,
                    0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02,
                    0x44, 0x01, 0x00, 0x3B});
    std::vector<uint8_t> preview = Pattern(1000, 2);
    preview[0] = 'B';
    preview[1] = 'M';
    WriteFileBytes(dir / "own-preview.bmp", preview);
    WriteFileBytes(dir / "banner.bin", Pattern(77, 3));
    WriteFileBytes(dir / "song.wav", Pattern(5000, 4));
    WriteFileBytes(dir / "tune.data", Pattern(3000, 5));
    WriteTextFile(dir / "license.txt", "Free to share © 2026");
    WriteTextFile(dir / "full.toml", kFullManifest);
  }

  json PackAndInspect(const std::vector<std::string>& extra = {}) {
    // The music is made-up bytes: only its layout matters here.
    std::vector<std::string> args = {"--player", PlayerProgram(), "-o", (dir / "out.scr").string(),
                                     "-q", "--no-media-check", (dir / "full.toml").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const TRunResult pack = RunTool(PackTool(), args);
    EXPECT_EQ(pack.ExitCode, 0) << pack.Err;
    const TRunResult inspect = RunTool(InspectTool(), {"--json", (dir / "out.scr").string()});
    EXPECT_EQ(inspect.ExitCode, 0) << inspect.Err;
    return json::parse(inspect.Out);
  }

  TScratchDir dir;
};

TEST_F(RoundTripTest, EveryManifestFieldComesBack) {
  const json j = PackAndInspect();
  const json& t = j["trailer"];
  EXPECT_EQ(t["Seconds"], 42);
  EXPECT_EQ(t["DisplayOrder"], 2);
  EXPECT_EQ(t["Stretch"], 3);
  EXPECT_EQ(t["EffectSpeed"], 9);
  EXPECT_EQ(t["BackColor"], 0x302010);  // #RRGGBB is stored as 0x00BBGGRR
  EXPECT_EQ(t["BackColor2"], 0x654321);
  EXPECT_EQ(t["GradientStyle"], 7);
  EXPECT_EQ(t["BackPictureMode"], 2);
  EXPECT_EQ(t["ExitESC"], 2);
  for (const char* on : {"RandomColors", "RandomGradient", "RepaintBackground", "Mute",
                         "ShuffleMelody", "DesktopStart", "StartWithFirst", "PlayOneRandom",
                         "HideGeneralTab", "HidePositionTab", "HideEffectsTab", "HideSoundTab",
                         "HideBehaviorTab"})
    EXPECT_EQ(t[on], 1) << on;
  for (const char* off : {"Loop", "ExitMouseMove", "ExitMouseButton", "ExitKeyboard"})
    EXPECT_EQ(t[off], 0) << off;
  EXPECT_EQ(t["BackPictureExt"], ".jpg");
  EXPECT_EQ(t["FileSizeSlot"], 0);

  const json& x = j["text"];
  EXPECT_EQ(x["Title"], "Café Views");
  EXPECT_EQ(x["Author"], "Zoë — with “quotes”");
  EXPECT_EQ(x["Website"], "https://example.org/site");
  EXPECT_EQ(x["F1link"], "https://example.org/help");
  EXPECT_EQ(x["Exitlink"], "https://example.org/bye");
  EXPECT_EQ(x["Bannerlink"], "https://example.org/banner");
  EXPECT_EQ(x["License"], "Free to share © 2026");
  EXPECT_EQ(x["Readme"], "Line one\nLine two €");
  EXPECT_EQ(x["Effect"], json({116, 3, 3, 0, 57}));

  // PlayOneRandom is set, yet the table lists every track.
  ASSERT_EQ(j["pictures"].size(), 2u);
  ASSERT_EQ(j["masks"].size(), 2u);
  ASSERT_EQ(j["music"].size(), 2u);

  const json& p0 = j["pictures"][0];
  EXPECT_EQ(p0["Ext"], ".jpg");
  EXPECT_EQ(p0["Caption"], "Ünïcode caption");
  EXPECT_EQ(p0["CaptionFont"], "Serif Font");  // from [caption]
  EXPECT_EQ(p0["CaptionFontSize"], 31);
  EXPECT_EQ(p0["CaptionMargin"], 7);
  EXPECT_EQ(p0["CaptionPos"], 1);
  EXPECT_EQ(p0["CaptionColor"], 0x0080FF);
  EXPECT_EQ(p0["CaptionBackColor"], 0xFF0000);
  EXPECT_EQ(p0["CaptionStyle"], 1 | 4 | 8);
  EXPECT_EQ(p0["CaptionTransparent"], 0);
  EXPECT_EQ(p0["CaptionMultiLine"], 1);
  EXPECT_EQ(p0["CaptionShadow"], 0);
  EXPECT_EQ(p0["ItemSeconds"], 13);
  EXPECT_EQ(p0["ItemStretch"], 1);
  EXPECT_EQ(p0["MaskIndex"], 1);  // "circle" is the second mask

  const json& p1 = j["pictures"][1];
  EXPECT_EQ(p1["Ext"], ".jpeg");  // five characters fill the field
  EXPECT_EQ(p1["Caption"], "");
  EXPECT_EQ(p1["CaptionFont"], "");
  EXPECT_EQ(p1["CaptionFontSize"], 9);
  EXPECT_EQ(p1["CaptionMargin"], 0);
  EXPECT_EQ(p1["CaptionPos"], 8);
  EXPECT_EQ(p1["CaptionStyle"], 2);
  EXPECT_EQ(p1["ItemSeconds"], 0);
  EXPECT_EQ(p1["ItemStretch"], -1);
  EXPECT_EQ(p1["MaskIndex"], 0);

  EXPECT_EQ(j["masks"][0]["Format"], 1);
  EXPECT_EQ(j["masks"][1]["Format"], 2);
  EXPECT_EQ(j["music"][0]["Ext"], ".wav");
  EXPECT_EQ(j["music"][1]["Ext"], ".mpeg");
}

TEST_F(RoundTripTest, LayoutIsConsistentAndFollowsThePlayer) {
  const json j = PackAndInspect();
  const json& t = j["trailer"];
  const auto player = ReadFileBytes(PlayerProgram());
  const auto saver = ReadFileBytes(dir / "out.scr");

  EXPECT_EQ(j["file_size"], saver.size());
  EXPECT_EQ(j["payload_start"], player.size());
  EXPECT_TRUE(std::equal(player.begin(), player.end(), saver.begin()));
  EXPECT_EQ(t["PayloadSize"], saver.size() - player.size());
  const int64_t sections = t["LeadInSize"].get<int64_t>() + t["PreviewSize"].get<int64_t>() +
                           t["BannerSize"].get<int64_t>() + t["PictureSectionSize"].get<int64_t>() +
                           t["MaskSectionSize"].get<int64_t>() + t["BackgroundSize"].get<int64_t>() +
                           t["MusicSectionSize"].get<int64_t>() + t["ExtraDataSize"].get<int64_t>();
  EXPECT_EQ(sections + 174, t["PayloadSize"].get<int64_t>());
  EXPECT_EQ(t["PreviewSize"], 1000);  // a .bmp preview is stored as given
  EXPECT_EQ(t["BannerSize"], 77);
  EXPECT_EQ(t["BackgroundUnpackedSize"], fs::file_size(dir / "backdrop.jpg"));
  EXPECT_EQ(std::string(saver.end() - 10, saver.end()), "Kelvastrom");

  // Items follow their tables back to back; music counts from its own table.
  const int64_t pictureTable = t["LeadInSize"].get<int64_t>() + t["PreviewSize"].get<int64_t>() +
                               t["BannerSize"].get<int64_t>();
  EXPECT_EQ(j["pictures"][0]["Start"], pictureTable + 2 * 572);
  EXPECT_EQ(j["music"][0]["Start"], 2 * 572);
  EXPECT_EQ(j["music"][1]["Start"].get<int64_t>(),
            2 * 572 + j["music"][0]["PackedSize"].get<int64_t>());
}

TEST_F(RoundTripTest, ExtractWritesEveryItemUnderReadableNames) {
  PackAndInspect();
  const fs::path items = dir / "items";
  const TRunResult r = RunTool(InspectTool(), {"--extract", items.string(), (dir / "out.scr").string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"preview.bmp", "own-preview.bmp"}, {"banner.bin", "banner.bin"},
      {"picture-01.jpg", "first.jpg"},    {"picture-02.jpeg", "second.png"},
      {"mask-01.png", "edge.png"},        {"mask-02.gif", "round.gif"},
      {"background.jpg", "backdrop.jpg"}, {"music-01.wav", "song.wav"},
      {"music-02.mpeg", "tune.data"}};
  for (auto& [written, source] : expected)
    EXPECT_EQ(ReadFileBytes(items / written), ReadFileBytes(dir / source)) << written;
  size_t files = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(items)) ++files;
  EXPECT_EQ(files, expected.size());
}

TEST_F(RoundTripTest, CommandLineOptionsWinOverTheManifest) {
  const json j = PackAndInspect({"--title", "Other", "--seconds", "5", "--effects", "1-3,116",
                                 (dir / "first.jpg").string()});
  EXPECT_EQ(j["text"]["Title"], "Other");
  EXPECT_EQ(j["trailer"]["Seconds"], 5);
  EXPECT_EQ(j["text"]["Effect"], json({1, 2, 3, 116}));
  ASSERT_EQ(j["pictures"].size(), 3u);  // the command line's picture comes last
  EXPECT_EQ(j["pictures"][2]["CaptionFontSize"], 31);  // with the manifest's caption defaults
}

}  // namespace
}  // namespace saver::testing
