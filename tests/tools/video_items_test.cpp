// Video items packed by saver-pack, from the command line and from a
// manifest, and read back by saver-inspect byte for byte.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "media/media_files.h"
#include "tools/tool_runner.h"

namespace saver::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

struct Packed {
  TRunResult Pack;
  json Inspect;
  fs::path Items;  // what saver-inspect --extract wrote
};

Packed PackAndRead(const TScratchDir& dir, std::vector<std::string> args) {
  const fs::path out = dir / "video.scr";
  args.insert(args.begin(), {"-v", "--player", PlayerProgram(), "-o", out.string()});
  Packed p;
  p.Pack = RunTool(PackTool(), args);
  EXPECT_EQ(p.Pack.ExitCode, 0) << p.Pack.Err;
  const TRunResult inspect = RunTool(InspectTool(), {"--json", out.string()});
  EXPECT_EQ(inspect.ExitCode, 0) << inspect.Err;
  p.Inspect = json::parse(inspect.Out);
  p.Items = dir / "items";
  EXPECT_EQ(RunTool(InspectTool(), {"--extract", p.Items.string(), out.string()}).ExitCode, 0);
  return p;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(VideoItems, CommandLineStoresTheVideoAsItIsAndPreviewsThePicture) {
  TScratchDir dir;
  const fs::path clip = dir / "clip.avi";
  WriteVideo(clip, 30, 20, 4, 10);
  const Packed p = PackAndRead(dir, {clip.string(), AssetPath("lake.jpg")});
  const std::string& err = p.Pack.Err;
  EXPECT_TRUE(Has(err, "video 1/2 " + clip.string() + ": ")) << err;
  EXPECT_TRUE(Has(err, "picture 2/2 " + AssetPath("lake.jpg"))) << err;
  EXPECT_TRUE(Has(err, "preview made from " + AssetPath("lake.jpg"))) << err;
  EXPECT_TRUE(Has(err, "1 picture, 1 video, 0 masks")) << err;

  const json& pictures = p.Inspect["pictures"];
  ASSERT_EQ(pictures.size(), 2u);
  EXPECT_EQ(pictures[0]["Ext"], ".avi");
  EXPECT_EQ(pictures[0]["Size"], fs::file_size(clip));
  EXPECT_EQ(pictures[1]["Ext"], ".jpg");
  EXPECT_EQ(ReadFileBytes(p.Items / "picture-01.avi"), ReadFileBytes(clip));
}

TEST(VideoItems, ManifestVideosKeepTheirExtensionAndBytesWhateverTheCompression) {
  TScratchDir dir;
  WriteVideo(dir / "first.avi", 17, 9, 3, 5);  // odd width: padded rows
  std::vector<uint8_t> other(5000);
  for (size_t i = 0; i < other.size(); ++i) other[i] = uint8_t(i * 7 + i / 300);
  WriteFileBytes(dir / "Second.WebM", other);
  WriteTextFile(dir / "v.toml",
                "[[picture]]\nfile = \"first.avi\"\nCaption = \"Moving bar\"\n"
                "[[picture]]\nfile = \"Second.WebM\"\n");
  for (const char* mode : {"always", "never"}) {
    SCOPED_TRACE(mode);
    // Second.WebM is made-up bytes: only how it is stored matters here.
    const Packed p =
        PackAndRead(dir, {"--compress", mode, "--no-media-check", (dir / "v.toml").string()});
    const std::string& err = p.Pack.Err;
    EXPECT_TRUE(Has(err, "video 1/2 " + (dir / "first.avi").string())) << err;
    EXPECT_TRUE(Has(err, "video 2/2 " + (dir / "Second.WebM").string())) << err;
    EXPECT_TRUE(Has(err, "0 pictures, 2 videos")) << err;
    // No picture to make the preview from: the plain background one.
    EXPECT_TRUE(Has(err, "no picture to make the preview from")) << err;
    EXPECT_FALSE(Has(err, "cannot decode")) << err;

    const json& pictures = p.Inspect["pictures"];
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0]["Ext"], ".avi");
    EXPECT_EQ(pictures[0]["Caption"], "Moving bar");
    EXPECT_EQ(pictures[1]["Ext"], ".WebM");
    EXPECT_EQ(pictures[1]["Size"], 5000);
    EXPECT_EQ(pictures[0]["PackedSize"] > 0, std::string(mode) == "always");
    EXPECT_EQ(ReadFileBytes(p.Items / "picture-01.avi"), ReadFileBytes(dir / "first.avi"));
    EXPECT_EQ(ReadFileBytes(p.Items / "picture-02.WebM"), other);
    const auto preview = ReadFileBytes(p.Items / "preview.bmp");
    ASSERT_EQ(preview.size(), 68150u);
    EXPECT_EQ(preview[54], 0);  // black, the default background colour
    EXPECT_EQ(preview[54 + 3], 255);
  }
}

TEST(VideoItems, AVideoCannotBeThePreview) {
  TScratchDir dir;
  WriteVideo(dir / "clip.mp4", 8, 8, 1, 5);
  const TRunResult r = RunTool(PackTool(), {"--player", PlayerProgram(), "-o",
                                            (dir / "x.scr").string(), "--preview",
                                            (dir / "clip.mp4").string(), AssetPath("lake.jpg")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(Has(r.Err, "preview " + (dir / "clip.mp4").string() +
                             ": a video cannot be the preview; give a picture"))
      << r.Err;
  EXPECT_FALSE(fs::exists(dir / "x.scr"));
}

}  // namespace
}  // namespace saver::testing
