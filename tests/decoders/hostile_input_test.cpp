// Hostile pictures and items: files far larger than their pictures, items
// that inflate far beyond them, headers that claim more pixels than the
// picture cache holds. Each is refused or decoded within bounded memory, and
// no temporary file is left behind.
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "decoders/allocation_probe.h"
#include "decoders/picture_builders.h"
#include "payload/format/extract.h"
#include "payload/format/log_line.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/compose/picture_loader.h"
#include "payload/decoders/png_writer.h"
#include "payload/format/reader.h"
#include "payload/reader_test_file.h"
#include "pictures/recording_sink.h"
#include "pictures/saver_builder.h"
#include "platform/paths.h"

namespace saver {
namespace {

using namespace saver::testing;

// The peak resident memory of this process from the moment of Reset on
// (Linux clears the high-water mark through clear_refs).
class TPeakMemory {
 public:
  bool Reset() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
  }
  int64_t PeakBytes() const {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
    return -1;
  }
  int64_t ResidentBytes() const {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
    return -1;
  }
};

// Grows a file by a hole of `bytes` (no disk blocks): the file is that much
// larger, the picture at its start unchanged.
void AppendHole(const std::string& path, uint64_t bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  const off_t size = ::lseek(fd, 0, SEEK_END);
  ASSERT_EQ(::ftruncate(fd, off_t(size + off_t(bytes))), 0);
  ::close(fd);
}

// A TIFF whose header states width x height grey pixels in one strip of
// `stripBytes` bytes that follow it.
Bytes TiffClaiming(uint32_t width, uint32_t height, uint32_t stripBytes) {
  Bytes b = {'I', 'I', 42, 0};
  PutU32(b, 8);  // the directory follows the header
  const uint32_t entries = 9, dataAt = 8 + 2 + entries * 12 + 4;
  PutU16(b, entries);
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) {
    PutU16(b, tag);
    PutU16(b, type);
    PutU32(b, 1);
    if (type == 3) {
      PutU16(b, value);
      PutU16(b, 0);
    } else {
      PutU32(b, value);
    }
  };
  entry(256, 4, width);        // ImageWidth
  entry(257, 4, height);       // ImageLength
  entry(258, 3, 8);            // BitsPerSample
  entry(259, 3, 1);            // Compression: none
  entry(262, 3, 1);            // Photometric: black is zero
  entry(273, 4, dataAt);       // StripOffsets
  entry(277, 3, 1);            // SamplesPerPixel
  entry(278, 4, height);       // RowsPerStrip
  entry(279, 4, stripBytes);   // StripByteCounts
  PutU32(b, 0);                // no next directory
  b.resize(b.size() + stripBytes, 0x80);
  return b;
}

// A JPEG of a small picture whose frame header states width x height.
Bytes JpegClaiming(uint16_t width, uint16_t height) {
  Bytes jpeg = EncodeJpeg(Pattern(16, 16, false), 90);
  for (size_t i = 2; i + 9 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // baseline frame header
      jpeg[i + 5] = uint8_t(height >> 8), jpeg[i + 6] = uint8_t(height);
      jpeg[i + 7] = uint8_t(width >> 8), jpeg[i + 8] = uint8_t(width);
      break;
    }
  return jpeg;
}

using test::RecordingSink;

// A saver read for the show, with a loader of the given decoding budget.
struct TLoaderRig {
  explicit TLoaderRig(SaverBuilder& b, size_t decodeBudget = DefaultDecodeBudget()) {
    path = scratch.Write("hostile.scr", b.Build());
    IReaderHost quiet;
    std::string reason;
    EXPECT_TRUE(ReadData(data, path, false, quiet, &reason)) << reason;
    background.Bitmap.SetSize(64, 48);
    entries.resize(data.PictureTable.size());
    cache = std::make_unique<TPictureCache>(entries, 64 * 48 * 4);
    loader = std::make_unique<TPictureLoader>(
        data, background, *cache, [](int32_t) { return 0; }, decodeBudget);
  }
  bool Load(int32_t index) { return loader->LoadImage(index, false, 64, 48, sink); }
  bool TempFolderEmpty() const { return std::filesystem::is_empty(TempFolder()); }

  ScratchDir scratch;
  std::string path;
  PayloadData data;
  TBackground background;
  std::vector<TMemImage> entries;
  std::unique_ptr<TPictureCache> cache;
  std::unique_ptr<TPictureLoader> loader;
  RecordingSink sink;
};

TEST(HostileInput, PicturesAreReadFromTheirFilesAsTheDecoderGoes) {
  // Each picture is followed by a gibibyte of nothing: the decoder reads what
  // the picture needs, so it decodes as from memory and memory stays small.
  const TBitmap32 picture = Pattern(40, 30, false);
  const struct {
    const char* ext;
    Bytes file;
  } cases[] = {
      {"png", EncodePng(picture)},
      {"jpg", EncodeJpeg(picture, 90)},
      {"gif", EncodeGif(Bytes(40 * 30, 1), 40, 30, {0x000000, 0x3366CC}, -1, false)},
      {"tif", EncodeTiff(picture, false)},
      {"bmp", EncodeBmp(picture)},
      {"ico", BuildIco({{40, 30, 32, EncodePng(picture)}})},
  };
  ScratchDir scratch;
  TPeakMemory memory;
  for (const auto& c : cases) {
    const TBitmap32 expected = DecodePictureMemory(c.file.data(), c.file.size(), c.ext);
    const std::string path = scratch.Write(std::string("big.") + c.ext, c.file);
    AppendHole(path, 1ull << 30);
    ASSERT_TRUE(memory.Reset());
    const int64_t before = memory.ResidentBytes();
    const TBitmap32 decoded = DecodePictureFile(path, c.ext);
    EXPECT_LT(memory.PeakBytes() - before, 16 << 20) << c.ext;
    ASSERT_EQ(decoded.Width(), expected.Width()) << c.ext;
    ASSERT_EQ(decoded.Height(), expected.Height()) << c.ext;
    for (int32_t y = 0; y < decoded.Height(); ++y)
      for (int32_t x = 0; x < decoded.Width(); ++x)
        ASSERT_EQ(decoded.Pixel(x, y), expected.Pixel(x, y)) << c.ext << " at " << x << "," << y;
  }
}

TEST(HostileInput, AnItemThatInflatesFarBeyondItsPictureDecodesInBoundedMemory) {
  // A zlib bomb: a small PNG followed by 96 MiB of zeros, stored compressed
  // (about 100 KB). Extraction writes the item to the temporary folder; the
  // decoder then reads only the picture.
  Bytes item = EncodePng(Pattern(32, 24, false));
  item.resize(item.size() + (96u << 20), 0);
  SaverBuilder b;
  b.AddPicture(item, ".png", true);
  item = Bytes();
  TLoaderRig rig(b);
  TPeakMemory memory;
  ASSERT_TRUE(memory.Reset());
  const int64_t before = memory.ResidentBytes();
  ASSERT_TRUE(rig.Load(0));
  EXPECT_LT(memory.PeakBytes() - before, 32 << 20);
  EXPECT_EQ(rig.sink.shown, std::vector<int32_t>{0});
  EXPECT_TRUE(rig.TempFolderEmpty());
}

TEST(HostileInput, APictureWithinTheBudgetTakesAFractionOfItWhenShown) {
  // 6144 x 6144 pixels in a PNG of a few hundred kilobytes: 144 MiB as
  // pixels, shown on a screen of 64 x 48.
  SaverBuilder b;
  b.AddPicture(EncodeFlatPng(6144, 6144, Color32(200, 100, 50)), ".png");
  TLoaderRig rig(b);
  TPeakMemory memory;
  ASSERT_TRUE(memory.Reset());
  const int64_t before = memory.ResidentBytes();
  ASSERT_TRUE(rig.Load(0));
  EXPECT_LT(memory.PeakBytes() - before, 16 << 20);
  EXPECT_EQ(rig.sink.frame.Pixel(32, 24), Color32(200, 100, 50));
  EXPECT_TRUE(rig.TempFolderEmpty());
}

TEST(HostileInput, HeadersClaimingMoreThanTheBudgetAreRefusedBeforeAnyPixels) {
  // Every picture states 4000 x 4000 or more pixels (64 MB and up); the
  // decoding budget is 4 MiB. Each is refused from its header: nothing near
  // its size is reserved, nothing is shown and no file is left.
  SaverBuilder b;
  b.AddPicture(WithPngSize(EncodePng(Pattern(8, 8, false)), 100000, 100000), ".png");
  b.AddPicture(WithPngSize(EncodePng(Pattern(8, 8, false)), 4000, 4000), ".png");
  b.AddPicture(JpegClaiming(4000, 4000), ".jpg");
  b.AddPicture(EncodeGif(Bytes(4, 1), 2, 2, {0x000000, 0xFFFFFF}, -1, false, 4000, 4000), ".gif");
  b.AddPicture(TiffClaiming(4000, 4000, 64), ".tif");
  TBmpLayout huge;
  huge.width = 4000, huge.height = 4000;
  b.AddPicture(BuildBmp(huge, Bytes(64, 0)), ".bmp");
  b.AddPng(Pattern(200, 150, false));  // 120 KB of pixels: within the budget
  TLoaderRig rig(b, 4u << 20);
  for (int32_t i = 0; i < 6; ++i) {
    ResetLargestAllocation();
    EXPECT_FALSE(rig.Load(i)) << "item " << i;
    EXPECT_LT(LargestAllocation(), 1u << 20) << "item " << i;
    EXPECT_TRUE(rig.TempFolderEmpty()) << "item " << i;
  }
  EXPECT_TRUE(rig.sink.shown.empty());
  EXPECT_TRUE(rig.Load(6));
  EXPECT_EQ(rig.sink.shown, std::vector<int32_t>{6});
}

TEST(HostileInput, HugeFramesWithinTheDefaultLimitsAreRefusedOrBounded) {
  // Without a small budget the decoders' own limit holds: a GIF screen and a
  // TIFF of 65535 x 65535 are refused, whatever their data.
  const Bytes gif = EncodeGif(Bytes(4, 1), 2, 2, {0, 0xFFFFFF}, -1, false, 65535, 65535);
  const Bytes tiff = TiffClaiming(65535, 65535, 64);
  for (const auto& [file, ext] : {std::pair{gif, "gif"}, std::pair{tiff, "tif"}}) {
    ResetLargestAllocation();
    EXPECT_THROW(DecodePictureMemory(file.data(), file.size(), ext), DecodeError) << ext;
    EXPECT_LT(LargestAllocation(), 1u << 20) << ext;
  }
  // A TIFF within the limit whose strip data is missing fails on reading,
  // after the pixels it states, never more.
  const Bytes shortStrip = TiffClaiming(2000, 2000, 64);
  ResetLargestAllocation();
  EXPECT_THROW(DecodePictureMemory(shortStrip.data(), shortStrip.size(), "tif"), DecodeError);
  EXPECT_LE(LargestAllocation(), 2000u * 2000u * 4u + 4096u);
}

TEST(HostileInput, AnItemThatFailedIsNotExtractedAgain) {
  SaverBuilder b;
  b.AddPicture({'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'}, ".png");
  b.AddPicture(Bytes(100, 7), ".png", true);  // stored compressed, inflates to garbage
  b.AddPng(Pattern(4, 4, false));
  TLoaderRig rig(b);
  int extractions = 0;
  SetLogSink([&](const std::string& line) {
    extractions += line.rfind("Loading from", 0) == 0;
  });
  for (int tick = 0; tick < 5; ++tick) {
    EXPECT_FALSE(rig.Load(0));
    EXPECT_FALSE(rig.Load(1));
  }
  EXPECT_EQ(extractions, 2);  // once each, at the first tick
  EXPECT_TRUE(rig.Load(2));
  EXPECT_TRUE(rig.Load(2));  // from the cache
  EXPECT_EQ(extractions, 3);
  SetLogSink({});
  EXPECT_TRUE(rig.TempFolderEmpty());
}

}  // namespace
}  // namespace saver
