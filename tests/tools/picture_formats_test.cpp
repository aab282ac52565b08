// Pictures in the formats only saver-pack reads (WebP, HEIC/HEIF, AVIF,
// JPEG XL, SVG) are stored as JPEG or PNG files that the player decodes to
// what each format's own reference decoder shows, turned upright once, and
// drawings sharp on a large screen.
#include <gtest/gtest.h>

#include <cmath>

#include "payload/decoders/picture_decoder.h"
#include "payload/decoders/png_writer.h"
#include "tools/orientation_pictures.h"
#include "tools/tool_runner.h"

namespace saver::testing {
namespace {

namespace fs = std::filesystem;

// Smooth gradients with a few sharp shapes, as photos and drawings have;
// `transparent` clears a band and fades another.
TBitmap32 Scene(int32_t w, int32_t h, bool transparent) {
  TBitmap32 b(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const bool disc = (x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2) < h * h / 9;
      uint8_t alpha = 255;
      if (transparent && x > w * 3 / 4) alpha = 0;
      else if (transparent && y < h / 5) alpha = uint8_t(255 * y * 5 / h);
      b.ScanLine(y)[x] = disc ? Color32(240, 200, 40, alpha)
                              : Color32(uint8_t(40 + 160 * x / w), uint8_t(60 + 120 * y / h), 150, alpha);
    }
  return b;
}

void RunReferenceTool(const std::string& tool, const std::vector<std::string>& args) {
  const TRunResult r = RunTool("/usr/bin/" + tool, args);
  ASSERT_EQ(r.ExitCode, 0) << tool << ": " << r.Err;
}

// A reference decoder's arguments to decode in into the PNG file out.
std::vector<std::string> ReferenceArguments(const std::string& decoder, const fs::path& in, const fs::path& out) {
  if (decoder == "dwebp") return {in.string(), "-o", out.string()};
  return {in.string(), out.string()};
}

TBitmap32 Decode(const fs::path& file) { return DecodePictureFile(file.string(), file.extension().string()); }

struct TDifference {
  double Colour = 999;  // mean difference of a colour channel where the reference is mostly opaque
  int Alpha = 999;      // the largest difference of alpha
};

TDifference Compare(const TBitmap32& a, const TBitmap32& b) {
  TDifference d;
  if (a.Width() != b.Width() || a.Height() != b.Height()) return d;
  double sum = 0;
  size_t n = 0;
  d.Alpha = 0;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x) {
      const TColor32 p = a.Pixel(x, y), q = b.Pixel(x, y);
      d.Alpha = std::max(d.Alpha, std::abs(int(p >> 24) - int(q >> 24)));
      if (q >> 24 < 128) continue;
      for (int shift : {0, 8, 16}) sum += std::abs(int(p >> shift & 255) - int(q >> shift & 255));
      n += 3;
    }
  d.Colour = n ? sum / double(n) : 0;
  return d;
}

// Packs the files into one saver and returns the items as stored, extracted
// into the folder `items`.
std::vector<fs::path> PackAndExtract(const TScratchDir& dir, const std::vector<std::string>& files,
                                     const std::vector<std::string>& options = {},
                                     const std::string& items = "items") {
  std::vector<std::string> args = {"-q", "--player", PlayerProgram(), "-o", (dir / "s.scr").string()};
  args.insert(args.end(), options.begin(), options.end());
  for (auto& f : files) args.push_back((dir / f).string());
  const TRunResult pack = RunTool(PackTool(), args);
  EXPECT_EQ(pack.ExitCode, 0) << pack.Err;
  EXPECT_EQ(RunTool(InspectTool(), {"--extract", (dir / items).string(), (dir / "s.scr").string()}).ExitCode, 0);
  std::vector<fs::path> pictures;
  for (auto& e : fs::directory_iterator(dir / items))
    if (e.path().filename().string().rfind("picture-", 0) == 0) pictures.push_back(e.path());
  std::sort(pictures.begin(), pictures.end());
  return pictures;
}

TEST(PictureFormats, EachFormatIsStoredAsItsReferenceDecoderShowsIt) {
  TScratchDir dir;
  WritePng(Scene(240, 160, false), (dir / "photo.png").string());
  WritePng(Scene(240, 160, true), (dir / "clear.png").string());
  fs::copy_file(AssetPath("lake.jpg"), dir / "lake.jpg");
  WriteTextFile(dir / "drawing.svg",
                "<svg xmlns='http://www.w3.org/2000/svg' width='320' height='180'>"
                "<rect width='320' height='180' fill='#204080'/>"
                "<circle cx='160' cy='90' r='60' fill='#f0c000'/></svg>");
  const std::string photo = (dir / "photo.png").string(), clear = (dir / "clear.png").string();
  struct Case {
    const char* file;
    std::string encoder;
    std::vector<std::string> encode;
    std::string decoder;
    const char* stored;
    double colour;  // largest mean difference allowed
    int alpha;
  } cases[] = {
      {"photo.webp", "cwebp", {"-quiet", "-q", "90", photo}, "dwebp", ".jpg", 1.5, 0},
      {"clear.webp", "cwebp", {"-quiet", "-lossless", clear}, "dwebp", ".png", 0, 0},
      {"photo.heic", "heif-enc", {"-q", "90", photo}, "heif-convert", ".jpg", 1.5, 0},
      {"clear.heif", "heif-enc", {"-q", "90", clear}, "heif-convert", ".png", 0.5, 1},
      {"photo.avif", "avifenc", {"-s", "8", photo}, "avifdec", ".jpg", 1.5, 0},
      {"lossless.avif", "avifenc", {"-s", "8", "--lossless", photo}, "avifdec", ".png", 0, 0},
      {"photo.jxl", "cjxl", {"-e", "3", "-d", "1", photo}, "djxl", ".jpg", 1.5, 0},
      {"clear.jxl", "cjxl", {"-e", "3", "-d", "0", clear}, "djxl", ".png", 0, 0},
      {"lake.jxl", "cjxl", {(dir / "lake.jpg").string()}, "djxl", ".jpg", 1.5, 0},
      {"drawing.svg", "", {}, "rsvg-convert", ".png", 0.5, 1},
  };
  std::vector<std::string> files;
  for (const Case& c : cases) {
    const std::string file = (dir / c.file).string();
    if (!c.encoder.empty()) {
      std::vector<std::string> args = c.encode;
      if (c.encoder == "cwebp" || c.encoder == "heif-enc") args.push_back("-o");
      args.push_back(file);
      RunReferenceTool(c.encoder, args);
    }
    files.push_back(c.file);
  }
  const std::vector<fs::path> stored = PackAndExtract(dir, files);
  ASSERT_EQ(stored.size(), std::size(cases));
  for (size_t i = 0; i < stored.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.file);
    EXPECT_EQ(stored[i].extension(), c.stored);
    const TBitmap32 picture = Decode(stored[i]);
    const fs::path reference = dir / (std::string(c.file) + ".png");
    if (c.decoder == "rsvg-convert") {
      EXPECT_EQ(picture.Width(), 3840);  // sharp on a 4K screen
      RunReferenceTool(c.decoder, {"-w", std::to_string(picture.Width()), "-h", std::to_string(picture.Height()),
                      "-o", reference.string(), (dir / c.file).string()});
    } else {
      RunReferenceTool(c.decoder, ReferenceArguments(c.decoder, dir / c.file, reference));
    }
    const TDifference d = Compare(picture, Decode(reference));
    EXPECT_LE(d.Colour, c.colour);
    EXPECT_LE(d.Alpha, c.alpha);
  }
  // A JPEG XL made from a JPEG gives that JPEG back, byte for byte.
  EXPECT_EQ(ReadFileBytes(stored[8]), ReadFileBytes(dir / "lake.jpg"));
}

TEST(PictureFormats, PhotosAreTurnedUprightOnceAsTheirOrientationSays) {
  TScratchDir dir;
  // A whole number of blocks on each side: turned without trimming.
  const auto landscape = ReadFileBytes(AssetPath("dunes.jpg"));
  WriteFileBytes(dir / "turned.jpg", WithExifOrientation(landscape, 6));
  WritePng(Scene(240, 160, false), (dir / "photo.png").string());
  const std::string turned = (dir / "turned.jpg").string();
  // Each format keeps the orientation its own way: HEIC from heif-enc only in
  // its EXIF data, AVIF from avifenc as a rotation property (with the EXIF
  // data kept beside it), JPEG XL in its header, for the JPEG it holds or
  // for its own pixels.
  RunReferenceTool("heif-enc", {"-q", "90", turned, "-o", (dir / "exif.heic").string()});
  RunReferenceTool("avifenc", {"-s", "8", turned, (dir / "exif.avif").string()});
  RunReferenceTool("avifenc", {"-s", "8", "--irot", "1", (dir / "photo.png").string(), (dir / "quarter.avif").string()});
  RunReferenceTool("cjxl", {turned, (dir / "held.jxl").string()});
  RunReferenceTool("cjxl", {"-e", "3", "-d", "1", "--lossless_jpeg=0", turned, (dir / "pixels.jxl").string()});
  struct Case {
    const char* file;
    const char* decoder;
    int clockwise;  // quarter turns the reference decoder's output still needs
  } cases[] = {{"exif.heic", "heif-convert", 1}, {"exif.avif", "avifdec", 1},
               {"quarter.avif", "avifdec", 3}, {"held.jxl", "djxl", 0}, {"pixels.jxl", "djxl", 0}};
  std::vector<std::string> files;
  for (const Case& c : cases) files.push_back(c.file);

  const std::vector<fs::path> upright = PackAndExtract(dir, files);
  const std::vector<fs::path> kept = PackAndExtract(dir, files, {"--keep-orientation"}, "kept");
  ASSERT_EQ(upright.size(), std::size(cases));
  ASSERT_EQ(kept.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.file);
    const fs::path reference = dir / (std::string(c.file) + ".png");
    RunReferenceTool(c.decoder, ReferenceArguments(c.decoder, dir / c.file, reference));
    TBitmap32 expected = Decode(reference);
    for (int q = 0; q < c.clockwise; ++q) expected = RotateClockwise(expected);
    EXPECT_LE(Compare(Decode(upright[i]), expected).Colour, 2.5);
    // As stored: the picture is as wide as it is before the quarter turn.
    const TBitmap32 asStored = Decode(kept[i]);
    EXPECT_EQ(asStored.Width() > asStored.Height(), expected.Width() < expected.Height());
  }
}

// The sum of squared differences between neighbouring pixels: blurring an
// edge spreads it and lowers this.
double EdgeEnergy(const TBitmap32& b) {
  double sum = 0;
  for (int32_t y = 0; y + 1 < b.Height(); ++y)
    for (int32_t x = 0; x + 1 < b.Width(); ++x)
      for (int shift : {0, 8, 16}) {
        const int p = b.Pixel(x, y) >> shift & 255;
        const int right = (b.Pixel(x + 1, y) >> shift & 255) - p, down = (b.Pixel(x, y + 1) >> shift & 255) - p;
        sum += right * right + down * down;
      }
  return sum;
}

TEST(PictureFormats, DrawingsAreRenderedLargeEnoughToStaySharp) {
  TScratchDir dir;
  struct Case {
    const char* file;
    const char* size;  // the svg element's attributes
    int32_t width, height;
  } cases[] = {
      {"wide.svg", "width='320' height='180'", 3840, 2160},
      {"tall.svg", "viewBox='0 0 300 400'", 2880, 3840},
      {"paper.svg", "width='100mm' height='50mm' viewBox='0 0 100 50'", 3840, 1920},
      {"poster.svg", "width='5000' height='1000'", 5000, 1000},  // already larger
      {"stripes.svg", "width='400' height='300'", 3840, 2880},
  };
  std::vector<std::string> files;
  for (const Case& c : cases) {
    std::string stripes;
    for (int x = 0; x < 400; x += 20) stripes += "<rect x='" + std::to_string(x) + "' width='10' height='300'/>";
    WriteTextFile(dir / c.file, std::string("<svg xmlns='http://www.w3.org/2000/svg' ") + c.size +
                                    "><rect width='100%' height='100%' fill='white'/>" + stripes +
                                    "<circle cx='200' cy='150' r='90' fill='#c03020'/></svg>");
    files.push_back(c.file);
  }
  const std::vector<fs::path> stored = PackAndExtract(dir, files);
  ASSERT_EQ(stored.size(), std::size(cases));
  for (size_t i = 0; i < stored.size(); ++i) {
    const TBitmap32 picture = Decode(stored[i]);
    EXPECT_EQ(picture.Width(), cases[i].width) << cases[i].file;
    EXPECT_EQ(picture.Height(), cases[i].height) << cases[i].file;
  }

  // Shown on a 1600 x 1200 screen, the drawing is as sharp as rendering it
  // at that size directly.
  const fs::path shown = dir / "shown.png", direct = dir / "direct.png";
  ASSERT_EQ(RunTool(InspectTool(), {"--compose", "4", "--size", "1600x1200", "--out", shown.string(),
                                    (dir / "s.scr").string()}).ExitCode, 0);
  RunReferenceTool("rsvg-convert", {"-w", "1600", "-h", "1200", "-o", direct.string(), (dir / "stripes.svg").string()});
  const TBitmap32 screen = Decode(shown), reference = Decode(direct);
  EXPECT_LE(Compare(screen, reference).Colour, 3.0);
  EXPECT_GE(EdgeEnergy(screen), 0.85 * EdgeEnergy(reference));
}

}  // namespace
}  // namespace saver::testing
