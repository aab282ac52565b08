// Pictures in the formats only saver-pack reads, packed by it, come on the
// real player's screen as each format's own reference decoder shows them.
#include "app/player_fixture.h"
#include "payload/decoders/png_writer.h"

namespace saver {
namespace {

using namespace saver::e2e;
using namespace saver::testing;

const std::string kPack = std::string(SAVER_BINARY_DIR) + "/tools/saver-pack";

void Shell(const std::string& command) {
  ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

// A saver that shows the files in order, each for a second, changing at once.
std::string Pack(const ScratchDir& scratch, const std::string& name, const std::vector<std::string>& files) {
  std::string manifest = "[trailer]\nSeconds = 1\nStretch = \"stretch\"\nStartWithFirst = true\n"
                         "ExitMouseMove = false\n[text]\nEffect = \"none\"\n";
  for (const std::string& file : files) manifest += "[[picture]]\nfile = \"" + scratch.Path(file) + "\"\n";
  std::ofstream(scratch.Path(name + ".toml")) << manifest;
  const std::string saver = scratch.Path(name + ".scr");
  Shell("'" + kPack + "' -q --player '" + kPlayer + "' -o '" + saver + "' '" + scratch.Path(name + ".toml") + "'");
  return saver;
}

// Gradient variant i % 3, turned upside down from the fourth on: each format
// gets a picture of its own, so that the screen tells them apart.
TBitmap32 Source(int i) {
  TBitmap32 b = Gradient(160, 120, i % 3);
  if (i < 3) return b;
  TBitmap32 flipped(b.Width(), b.Height());
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x) flipped.SetPixel(x, b.Height() - 1 - y, b.Pixel(x, y));
  return flipped;
}

TEST_F(Player, PicturesOfEveryConvertedFormatShowAsTheirReferenceDecodersShowThem) {
  for (int i = 0; i < 4; ++i) WritePng(Source(i), scratch.Path("source" + std::to_string(i) + ".png"));
  std::ofstream(scratch.Path("drawing.svg"))
      << "<svg xmlns='http://www.w3.org/2000/svg' width='160' height='120'>"
         "<rect width='160' height='120' fill='#203060'/><circle cx='80' cy='60' r='40' fill='#e0b020'/></svg>";
  auto source = [&](int i) { return "'" + scratch.Path("source" + std::to_string(i) + ".png") + "'"; };
  struct Format {
    const char* file;
    std::string encode;  // with the file's path after it
    std::string decode;  // with the file's path and the reference PNG's after it
  } formats[] = {
      {"photo.webp", "cwebp -q 90 " + source(0) + " -o", "dwebp -o REF"},
      {"photo.heic", "heif-enc -q 90 " + source(1) + " -o", "heif-convert"},
      {"photo.avif", "avifenc -s 8 " + source(2), "avifdec"},
      {"photo.jxl", "cjxl -d 1 " + source(3), "djxl"},
      {"drawing.svg", "", "rsvg-convert -w 3840 -h 2880 -o REF"},
  };
  std::vector<std::string> files, references;
  for (const Format& f : formats) {
    const std::string file = scratch.Path(f.file), reference = std::string(f.file) + ".png";
    if (!f.encode.empty()) Shell(f.encode + " '" + file + "'");
    std::string decode = f.decode;
    if (const size_t at = decode.find("REF"); at != std::string::npos)
      Shell(decode.replace(at, 3, "'" + scratch.Path(reference) + "'") + " '" + file + "'");
    else
      Shell(decode + " '" + file + "' '" + scratch.Path(reference) + "'");
    files.push_back(f.file);
    references.push_back(reference);
  }
  const std::string converted = Pack(scratch, "converted", files), expected = Pack(scratch, "expected", references);
  Launch(converted, {"/s"});
  for (size_t i = 0; i < files.size(); ++i)
    EXPECT_TRUE(ScreenShows(Composed(expected, int(i)))) << files[i] << " as its reference decoder shows it";
  Xdo("key Escape");
  EXPECT_EQ(WaitExit(), 0) << output;
}

}  // namespace
}  // namespace saver
