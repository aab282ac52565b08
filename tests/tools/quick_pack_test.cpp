// saver-pack from the command line alone, and its compression modes.
#include <gtest/gtest.h>

#include <random>

#include <nlohmann/json.hpp>

#include "payload/decoders/bmp_writer.h"
#include "tools/tool_runner.h"

namespace saver::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

json Inspect(const fs::path& saver) {
  const TRunResult r = RunTool(InspectTool(), {"--json", saver.string()});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  return json::parse(r.Out);
}

// A picture after a track is a picture, not a second track.
TEST(QuickPack, PicturesAndMusicFromTheCommandLine) {
  TScratchDir dir;
  const fs::path out = dir / "ocean.scr";
  const TRunResult r = RunTool(PackTool(), {"-v", "--player", PlayerProgram(), "-o", out.string(), "--title",
                                        "Ocean Views", AssetPath("dunes.jpg"), "--music",
                                        AssetPath("evening.ogg"), AssetPath("sunflower.png")});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  // With --verbose, one line per item on standard error.
  EXPECT_NE(r.Err.find("picture 1/2"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("picture 2/2"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("music 1/1"), std::string::npos) << r.Err;
  EXPECT_TRUE((fs::status(out).permissions() & fs::perms::owner_exec) != fs::perms::none);

  const json j = Inspect(out);
  EXPECT_EQ(j["text"]["Title"], "Ocean Views");
  ASSERT_EQ(j["pictures"].size(), 2u);
  EXPECT_EQ(j["pictures"][0]["Ext"], ".jpg");
  EXPECT_EQ(j["pictures"][1]["Ext"], ".png");
  EXPECT_EQ(j["pictures"][0]["MaskIndex"], -1);
  EXPECT_EQ(j["pictures"][0]["ItemStretch"], -1);
  ASSERT_EQ(j["music"].size(), 1u);
  EXPECT_EQ(j["music"][0]["Ext"], ".ogg");
  EXPECT_EQ(j["trailer"]["Seconds"], 10);
  EXPECT_EQ(j["trailer"]["BackgroundSize"], 0);
  json all = json::array();
  for (int n = 1; n <= 116; ++n) all.push_back(n);
  EXPECT_EQ(j["text"]["Effect"], all);
}

TEST(QuickPack, PlayerIsFoundInTheBuildTreeByDefault) {
  TScratchDir dir;
  const fs::path out = dir / "d.scr";
  ASSERT_EQ(RunTool(PackTool(), {"-q", "-o", out.string(), AssetPath("dunes.jpg")}).ExitCode, 0);
  // The player beside saver-pack, its debug information split off.
  const fs::path stripped = fs::path(PackTool()).parent_path() / "saver";
  EXPECT_EQ(Inspect(out)["payload_start"], fs::file_size(stripped));
  EXPECT_LT(fs::file_size(stripped), fs::file_size(PlayerProgram()));
}

TEST(QuickPack, PreviewIsMadeFromTheFirstPicture) {
  TScratchDir dir;
  const fs::path out = dir / "p.scr";
  ASSERT_EQ(RunTool(PackTool(), {"-q", "--player", PlayerProgram(), "-o", out.string(),
                             AssetPath("dunes.jpg")}).ExitCode, 0);
  EXPECT_EQ(Inspect(out)["trailer"]["PreviewSize"], 68150);
  ASSERT_EQ(RunTool(InspectTool(), {"--extract", (dir / "x").string(), out.string()}).ExitCode, 0);
  const auto bmp = ReadFileBytes(dir / "x" / "preview.bmp");
  ASSERT_EQ(bmp.size(), 68150u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(Le32(bmp, 2), 68150u);
  EXPECT_EQ(Le32(bmp, 10), 54u);
  EXPECT_EQ(Le32(bmp, 18), 152u);
  EXPECT_EQ(Le32(bmp, 22), 112u);  // positive: rows bottom-up
  EXPECT_EQ(bmp[28], 32);
  // dunes.jpg (4:3) is orange at the top and dark purple at the bottom: the
  // fitted preview's last stored row (the top) must be warmer than its first.
  const size_t topRow = 54 + 111 * 152 * 4, bottomRow = 54;
  const size_t mid = 76 * 4;
  EXPECT_GT(bmp[topRow + mid + 2], bmp[bottomRow + mid + 2] + 60);  // red channel
  EXPECT_EQ(bmp[topRow + mid + 3], 255);  // opaque
}

TEST(QuickPack, PreviewSkipsItemsThatAreNotPictures) {
  TScratchDir dir;
  WriteTextFile(dir / "clip.avi", "not decodable as a picture");
  const TRunResult r = RunTool(PackTool(), {"-v", "--no-media-check", "--player", PlayerProgram(), "-o",
                                            (dir / "v.scr").string(), (dir / "clip.avi").string(),
                                            AssetPath("lake.jpg")});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_NE(r.Err.find("preview made from " + AssetPath("lake.jpg")), std::string::npos) << r.Err;
}

TEST(QuickPack, DescriptionForAPersonNamesTheContents) {
  TScratchDir dir;
  const fs::path out = dir / "t.scr";
  WriteTextFile(dir / "m.toml", "[trailer]\nStretch = \"centre\"\nBackPictureMode = \"tiled\"\n"
                                "[text]\nTitle = \"Ocean Views\"\nEffect = \"1-5,9\"\n"
                                "[[picture]]\nfile = \"" + AssetPath("dunes.jpg") +
                                "\"\nCaption = \"At dusk\"\nCaptionPos = \"top-right\"\n"
                                "CaptionStyle = [\"bold\", \"italic\"]\nItemStretch = \"random\"\n");
  ASSERT_EQ(RunTool(PackTool(), {"-q", "--player", PlayerProgram(), "-o", out.string(),
                                 (dir / "m.toml").string(), "--music", AssetPath("evening.ogg")})
                .ExitCode, 0);
  const TRunResult r = RunTool(InspectTool(), {out.string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  // Coded fields by the manifest's names, and each picture's size.
  for (const char* expected : {"Title        \"Ocean Views\"", "6 effects: 1-5,9", "Pictures (1)",
                               "caption \"At dusk\"", "Music (1)", ".ogg", "Masks (0)",
                               "DisplayOrder sequential, Stretch centre,", "BackPictureMode tiled\n",
                               "Loop true, Mute false,", ".jpg  1024 x 768, at ",
                               "stretch random, mask none\n", "style bold, italic,",
                               "position top-right,", "shadow true\n"})
    EXPECT_NE(r.Out.find(expected), std::string::npos) << expected << " missing from\n" << r.Out;
}

// A picture zlib squeezes well and one it cannot, both 100 x 50 BMPs.
constexpr int kBmpBytes = 54 + 100 * 50 * 4;
struct TCompressFiles {
  explicit TCompressFiles(const TScratchDir& dir) : dir(dir) {
    TBitmap32 flat(100, 50), noise(100, 50);
    flat.Clear(Color32(30, 90, 160));
    std::mt19937 random(11);
    for (int32_t y = 0; y < 50; ++y)
      for (int32_t x = 0; x < 100; ++x) noise.ScanLine(y)[x] = TColor32(random());
    WriteFileBytes(dir / "flat.bmp", EncodeBmp32(flat));
    WriteFileBytes(dir / "noise.bmp", EncodeBmp32(noise));
  }
  json Pack(const std::string& mode) {
    const fs::path out = dir / (mode + ".scr");
    const TRunResult r = RunTool(PackTool(), {"-q", "--compress", mode, "--player", PlayerProgram(),
                                          "-o", out.string(), (dir / "flat.bmp").string(),
                                          (dir / "noise.bmp").string()});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    const fs::path items = dir / (mode + "-items");
    EXPECT_EQ(RunTool(InspectTool(), {"--extract", items.string(), out.string()}).ExitCode, 0);
    // Whatever the mode, every item comes back byte for byte.
    EXPECT_EQ(ReadFileBytes(items / "picture-01.bmp"), ReadFileBytes(dir / "flat.bmp")) << mode;
    EXPECT_EQ(ReadFileBytes(items / "picture-02.bmp"), ReadFileBytes(dir / "noise.bmp")) << mode;
    return Inspect(out)["pictures"];
  }
  const TScratchDir& dir;
};

TEST(CompressModes, AutoCompressesOnlyWhenItSavesSpace) {
  TScratchDir dir;
  const json p = TCompressFiles(dir).Pack("auto");
  EXPECT_GT(p[0]["PackedSize"], 0);
  EXPECT_LT(p[0]["PackedSize"], 2000);
  EXPECT_EQ(p[0]["Size"], kBmpBytes);
  EXPECT_EQ(p[1]["PackedSize"], 0);
  EXPECT_EQ(p[1]["Size"], kBmpBytes);
  // Stored lengths decide where the next item starts.
  EXPECT_EQ(p[1]["Start"], p[0]["Start"].get<int>() + p[0]["PackedSize"].get<int>());
}

TEST(CompressModes, AlwaysAndNever) {
  TScratchDir dir;
  TCompressFiles files(dir);
  const json always = files.Pack("always");
  EXPECT_GT(always[0]["PackedSize"], 0);
  EXPECT_GT(always[1]["PackedSize"], kBmpBytes);  // noise grows, and is compressed all the same
  const json never = files.Pack("never");
  EXPECT_EQ(never[0]["PackedSize"], 0);
  EXPECT_EQ(never[1]["PackedSize"], 0);
  EXPECT_EQ(never[1]["Start"], never[0]["Start"].get<int>() + kBmpBytes);
}

}  // namespace
}  // namespace saver::testing
