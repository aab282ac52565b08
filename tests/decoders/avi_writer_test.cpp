#include "payload/decoders/avi_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "decoders/picture_builders.h"
#include "media/avi_layout.h"

namespace saver {
namespace {

namespace fs = std::filesystem;
using namespace saver::testing;
using ::testing::HasSubstr;

class AviWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "saver-avi-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir = templ;
  }
  void TearDown() override { fs::remove_all(dir); }

  // Frame f of a test video: the pattern with its first column set to f.
  static TBitmap32 Frame(int32_t w, int32_t h, int f) {
    TBitmap32 b = Pattern(w, h, true);
    for (int32_t y = 0; y < h; ++y) b.SetPixel(0, y, Color32(uint8_t(f), uint8_t(f), 7));
    return b;
  }

  fs::path dir;
};

// Every size and count the file records agrees with what was written, the
// index points at each frame, and rows are bottom-up BGR padded with zeros.
TEST_F(AviWriterTest, FileStructureMatchesTheFramesWritten) {
  struct Case {
    int32_t width, height, fps, frames;
    uint32_t stride;
  } cases[] = {{5, 3, 25, 3, 16}, {4, 2, 10, 2, 12}, {1, 1, 1, 1, 4}, {7, 4, 30, 0, 24}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + ", " +
                 std::to_string(c.frames) + " frames");
    const fs::path path = dir / "clip.avi";
    TAviWriter writer(path.string(), c.width, c.height, c.fps);
    for (int f = 0; f < c.frames; ++f) writer.AddFrame(Frame(c.width, c.height, f));
    EXPECT_EQ(writer.Frames(), c.frames);
    writer.Finish();

    const std::vector<uint8_t> bytes = ReadAviBytes(path);
    const uint32_t frameBytes = c.stride * uint32_t(c.height);
    EXPECT_EQ(writer.FrameBytes(), frameBytes);
    EXPECT_EQ(int64_t(bytes.size()), writer.FileBytesFor(c.frames));
    const TAviLayout a = ReadAviLayout(bytes);
    EXPECT_EQ(a.RiffSize, bytes.size() - 8);
    EXPECT_EQ(a.MicrosPerFrame, uint32_t(1000000 / c.fps));
    EXPECT_EQ(a.AvihFlags & 0x10, 0x10u);  // has an index
    EXPECT_EQ(a.TotalFrames, uint32_t(c.frames));
    EXPECT_EQ(a.Streams, 1u);
    EXPECT_EQ(a.Width, uint32_t(c.width));
    EXPECT_EQ(a.Height, uint32_t(c.height));
    EXPECT_EQ(a.StreamType, "vids");
    EXPECT_EQ(a.Handler, "DIB ");
    EXPECT_EQ(a.Rate / a.Scale, uint32_t(c.fps));
    EXPECT_EQ(a.Length, uint32_t(c.frames));
    EXPECT_EQ(a.BitmapWidth, c.width);
    EXPECT_EQ(a.BitmapHeight, c.height);  // positive: bottom-up
    EXPECT_EQ(a.BitCount, 24);
    EXPECT_EQ(a.Compression, 0u);
    EXPECT_EQ(a.SizeImage, frameBytes);
    EXPECT_EQ(a.MoviSize, 4 + uint32_t(c.frames) * (8 + frameBytes));

    ASSERT_EQ(a.Frames.size(), size_t(c.frames));
    ASSERT_EQ(a.Index.size(), size_t(c.frames));
    for (int f = 0; f < c.frames; ++f) {
      SCOPED_TRACE("frame " + std::to_string(f));
      const TAviIndexEntry& e = a.Index[size_t(f)];
      EXPECT_EQ(e.Tag, "00db");
      EXPECT_EQ(e.Flags, 0x10u);  // key frame
      EXPECT_EQ(e.Size, frameBytes);
      // Index offsets count from the "movi" tag and name the chunk's header.
      EXPECT_EQ(a.MoviTag + e.Offset + 8, a.Frames[size_t(f)].Offset);
      EXPECT_EQ(a.Frames[size_t(f)].Size, frameBytes);

      const TBitmap32 want = Frame(c.width, c.height, f);
      for (int32_t y = 0; y < c.height; ++y) {
        for (int32_t x = 0; x < c.width; ++x)
          ASSERT_EQ(AviPixel(bytes, a, size_t(f), x, y), want.Pixel(x, y) & 0xFFFFFFu)
              << x << "," << y;
        // Row padding is zero.
        const size_t row = a.Frames[size_t(f)].Offset + size_t(c.height - 1 - y) * c.stride;
        for (size_t p = size_t(c.width) * 3; p < c.stride; ++p) EXPECT_EQ(bytes[row + p], 0) << p;
      }
    }
    EXPECT_FALSE(fs::exists(path.string() + ".tmp"));
  }
}

TEST_F(AviWriterTest, NothingAppearsUnderTheFinalNameUntilFinish) {
  const fs::path path = dir / "clip.avi";
  {
    TAviWriter writer(path.string(), 4, 4, 10);
    writer.AddFrame(Frame(4, 4, 0));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::exists(path.string() + ".tmp"));
  }  // abandoned
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(fs::exists(path.string() + ".tmp"));

  // A finished video replaces an older file of the same name.
  {
    TAviWriter writer(path.string(), 4, 4, 10);
    writer.AddFrame(Frame(4, 4, 0));
    writer.Finish();
  }
  TAviWriter again(path.string(), 4, 4, 10);
  for (int f = 0; f < 3; ++f) again.AddFrame(Frame(4, 4, f));
  again.Finish();
  EXPECT_EQ(ReadAviLayout(ReadAviBytes(path)).Frames.size(), 3u);
}

TEST_F(AviWriterTest, FramesPastTheLimitAreRefusedAndTheRestIsKept) {
  const fs::path path = dir / "limited.avi";
  TAviWriter probe((dir / "probe.avi").string(), 6, 5, 10);
  TAviWriter writer(path.string(), 6, 5, 10, probe.FileBytesFor(2));
  writer.AddFrame(Frame(6, 5, 0));
  writer.AddFrame(Frame(6, 5, 1));
  try {
    writer.AddFrame(Frame(6, 5, 2));
    FAIL() << "a third frame passed the limit";
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), HasSubstr("cannot write " + path.string() + ": frame 3 would take"));
  }
  writer.Finish();
  const TAviLayout a = ReadAviLayout(ReadAviBytes(path));
  EXPECT_EQ(a.TotalFrames, 2u);
  EXPECT_EQ(a.Frames.size(), 2u);
  EXPECT_EQ(fs::file_size(path), uintmax_t(probe.FileBytesFor(2)));

  // The real limit: the file never passes 1 GiB, so a frame that alone does
  // is refused at once, and a limit cannot be raised.
  EXPECT_THROW(TAviWriter((dir / "huge.avi").string(), 20000, 20000, 25), std::invalid_argument);
  EXPECT_THROW(TAviWriter((dir / "huge.avi").string(), 20000, 20000, 25, int64_t(1) << 40),
               std::invalid_argument);
  EXPECT_FALSE(fs::exists(dir / "huge.avi.tmp"));
}

TEST_F(AviWriterTest, MisuseIsRefused) {
  const std::string path = (dir / "clip.avi").string();
  struct Bad {
    int32_t w, h, fps;
  } bad[] = {{0, 4, 10}, {4, -1, 10}, {40000, 4, 10}, {4, 4, 0}, {4, 4, 1001}};
  for (const Bad& c : bad)
    EXPECT_THROW(TAviWriter(path, c.w, c.h, c.fps), std::invalid_argument)
        << c.w << "x" << c.h << "@" << c.fps;

  TAviWriter writer(path, 4, 4, 10);
  EXPECT_THROW(writer.AddFrame(Frame(5, 4, 0)), std::invalid_argument);
  writer.AddFrame(Frame(4, 4, 0));
  writer.Finish();
  EXPECT_THROW(writer.AddFrame(Frame(4, 4, 1)), std::invalid_argument);
  EXPECT_THROW(writer.Finish(), std::invalid_argument);
  EXPECT_EQ(ReadAviLayout(ReadAviBytes(path)).Frames.size(), 1u);
}

TEST_F(AviWriterTest, WriteFailuresNameThePathAndTheReason) {
  const fs::path missing = dir / "no-such-folder" / "clip.avi";
  try {
    TAviWriter writer(missing.string(), 4, 4, 10);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "cannot write " + missing.string() + ": No such file or directory");
  }

  // A full disk, played by a file size limit in a child process: the write
  // fails, the error says why, and no file is left under either name.
  const fs::path path = dir / "full.avi";
  auto fillTheDisk = [&path] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      TAviWriter writer(path.string(), 64, 48, 10);
      for (int f = 0; f < 4; ++f) writer.AddFrame(Frame(64, 48, f));
      writer.Finish();
    } catch (const std::runtime_error& e) {
      std::fprintf(stderr, "%s\n", e.what());
      std::exit(fs::exists(path) || fs::exists(path.string() + ".tmp") ? 3 : 0);
    }
    std::exit(4);
  };
  EXPECT_EXIT(fillTheDisk(), ::testing::ExitedWithCode(0), "cannot write .*full\\.avi: File too large");
}

}  // namespace
}  // namespace saver
