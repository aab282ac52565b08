#include "payload/format/extract.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>

#include "payload/format/log_line.h"
#include "payload/format/records.h"
#include "payload/reader_test_file.h"
#include "platform/paths.h"

namespace saver {
namespace {

using testing::ScratchDir;

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    v[i] = uint8_t(seed >> 16);
  }
  return v;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& in) {
  uLongf len = compressBound(uLong(in.size()));
  std::vector<uint8_t> out(len);
  EXPECT_EQ(compress(out.data(), &len, in.data(), uLong(in.size())), Z_OK);
  out.resize(len);
  return out;
}

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override { SetLogSink([this](const std::string& l) { log.push_back(l); }); }
  void TearDown() override { SetLogSink({}); }
  ScratchDir scratch;
  std::vector<std::string> log;
};

TEST_F(ExtractTest, PlainCopyStreamsAcrossChunkBoundaries) {
  std::vector<uint8_t> item = Pattern(1048577, 1);  // two whole chunks and one byte
  std::vector<uint8_t> file(77, 'h');
  file.insert(file.end(), item.begin(), item.end());
  file.resize(file.size() + 33, 't');
  std::string src = scratch.Write("src", file), dest = scratch.Path("SSIMG.avi");

  ExtractItem(src, dest, false, int64_t(item.size()), 0, 77);
  EXPECT_EQ(ScratchDir::Read(dest), item);
  EXPECT_EQ(log, std::vector<std::string>{"Loading from file, Position=77, Size=1048577"});

  // Extracting again replaces the earlier file rather than appending.
  ExtractItem(src, dest, false, 10, 0, 77);
  EXPECT_EQ(ScratchDir::Read(dest), std::vector<uint8_t>(item.begin(), item.begin() + 10));
}

TEST_F(ExtractTest, PlainCopyFailuresAreAbsorbed) {
  std::vector<uint8_t> file = Pattern(kExtractChunkSize + 100, 2);
  std::string src = scratch.Write("src", file), dest = scratch.Path("out");

  // An item of size 0 is empty: the bytes after it belong to other items.
  ExtractItem(src, dest, false, 0, 0, 100);
  EXPECT_TRUE(std::filesystem::exists(dest));
  EXPECT_EQ(ScratchDir::Read(dest).size(), 0u);

  // Running past the end keeps the whole chunks that could be read.
  ExtractItem(src, dest, false, 2 * kExtractChunkSize, 0, 50);
  EXPECT_EQ(ScratchDir::Read(dest).size(), size_t(kExtractChunkSize));

  EXPECT_NO_THROW(ExtractItem(scratch.Path("absent"), dest, false, 10, 0, 0));
  EXPECT_NO_THROW(ExtractItem(src, scratch.Path("no/such/folder"), false, 10, 0, 0));
  EXPECT_NO_THROW(ExtractItem(src, dest, false, 10, 0, -4));
}

TEST_F(ExtractTest, CompressedItemInflatesToItsSizeOrShorter) {
  std::vector<uint8_t> item = Pattern(200000, 3);
  std::vector<uint8_t> packed = Deflate(item);
  std::vector<uint8_t> file(10, 'h');
  file.insert(file.end(), packed.begin(), packed.end());
  std::string src = scratch.Write("src", file), dest = scratch.Path("SSMASK.png");

  ExtractItem(src, dest, true, int64_t(item.size()), int64_t(packed.size()), 10);
  EXPECT_EQ(ScratchDir::Read(dest), item);
  EXPECT_EQ(log.front(), "Loading from compressed stream, Position=10, Size=" +
                             std::to_string(packed.size()) + ", UncompressedSize=200000");
  EXPECT_EQ(log.back(), "Baga :(");

  // A stream that ends before Size bytes gives a file of the inflated length.
  ExtractItem(src, dest, true, int64_t(item.size()) + 5000, int64_t(packed.size()), 10);
  EXPECT_EQ(ScratchDir::Read(dest).size(), item.size());

  // Asking for less than the stream holds stops at Size.
  ExtractItem(src, dest, true, 1234, int64_t(packed.size()), 10);
  EXPECT_EQ(ScratchDir::Read(dest), std::vector<uint8_t>(item.begin(), item.begin() + 1234));
}

TEST_F(ExtractTest, CompressedFailuresRaiseAndLeaveNoFile) {
  std::vector<uint8_t> item = Pattern(5000, 4);
  std::vector<uint8_t> packed = Deflate(item);
  std::string dest = scratch.Path("SSIMG.jpg");

  std::vector<uint8_t> damaged = packed;
  damaged[damaged.size() / 2] ^= 0xFF;
  damaged[damaged.size() / 2 + 1] ^= 0xFF;
  std::string src = scratch.Write("damaged", damaged);
  EXPECT_ANY_THROW(ExtractItem(src, dest, true, 5000, int64_t(damaged.size()), 0));
  EXPECT_FALSE(std::filesystem::exists(dest));

  std::string cut = scratch.Write("cut", std::vector<uint8_t>(packed.begin(), packed.end() - 20));
  EXPECT_THROW(ExtractItem(cut, dest, true, 5000, int64_t(packed.size()) - 20, 0), PayloadError);
  EXPECT_FALSE(std::filesystem::exists(dest));

  std::string whole = scratch.Write("whole", packed);
  EXPECT_THROW(ExtractItem(whole, dest, true, 5000, int64_t(packed.size()) + 1, 0), PayloadError);
  EXPECT_THROW(ExtractItem(whole, dest, true, 5000, 10, -1), PayloadError);
  EXPECT_THROW(ExtractItem(whole, dest, true, 0x7FFFFFFF, 10, 1 << 30), PayloadError);
  EXPECT_ANY_THROW(ExtractItem(scratch.Path("absent"), dest, true, 5, 5, 0));
}

TEST_F(ExtractTest, ItemsLargerThanTheFolderCanHoldAreRefusedBeforeWriting) {
  // The stream inflates to 5000 bytes, but the item claims a pebibyte: no file
  // system here has that free, so nothing is written, and a file an earlier
  // item left under the same name does not pass for this one.
  std::vector<uint8_t> item = Pattern(5000, 5);
  std::vector<uint8_t> packed = Deflate(item);
  std::string src = scratch.Write("src", packed), dest = scratch.Path("SSIMG.png");
  constexpr int64_t kPebibyte = int64_t(1) << 50;
  for (bool compressed : {true, false}) {
    SCOPED_TRACE(compressed ? "compressed" : "plain");
    scratch.Write("SSIMG.png", {1, 2, 3});
    if (compressed)
      EXPECT_THROW(ExtractItem(src, dest, true, kPebibyte, int64_t(packed.size()), 0),
                   PayloadError);
    else
      ExtractItem(src, dest, false, kPebibyte, 0, 0);
    EXPECT_FALSE(std::filesystem::exists(dest));
  }
  EXPECT_FALSE(FitsInFolder(scratch.Path(""), kPebibyte));
  EXPECT_TRUE(FitsInFolder(scratch.Path(""), 5000));
  // What fits is extracted as before.
  ExtractItem(src, dest, true, 5000, int64_t(packed.size()), 0);
  EXPECT_EQ(ScratchDir::Read(dest), item);
}

TEST_F(ExtractTest, ExtensionsThatCouldLeaveTheFolderAreRefused) {
  for (const char* ext : {".jpg", ".jpeg", "", ".a b", "\xE9t\xE9"}) {
    SCOPED_TRACE(ext);
    EXPECT_TRUE(IsSafeExtension(ext));
  }
  for (const char* ext : {"/..", "../a", "a/b", "\\x", ".\n", "..", ".j\x7F"}) {
    SCOPED_TRACE(ext);
    EXPECT_FALSE(IsSafeExtension(ext));
    EXPECT_THROW(TempItemPath("SSIMG", ext), PayloadError);
  }
  // Windows-1252 text becomes UTF-8 in the file name.
  std::string path = TempItemPath("SSIMG", ".\xE9");
  EXPECT_EQ(path.substr(path.size() - 8), "SSIMG.\xC3\xA9");
}

TEST_F(ExtractTest, TempFolderIsPrivateAndRefusesPlantedLinks) {
  std::string folder = TempFolder();
  EXPECT_EQ(folder, scratch.Path("saver-" + std::to_string(geteuid()) + "/"));
  struct stat st;
  ASSERT_EQ(lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A folder left open to others is narrowed again.
  chmod(folder.c_str(), 0777);
  TempFolder();
  ASSERT_EQ(lstat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A link planted where the folder should be is not followed.
  std::filesystem::remove_all(folder);
  std::filesystem::create_directory(scratch.Path("elsewhere"));
  std::filesystem::create_directory_symlink(scratch.Path("elsewhere"),
                                            folder.substr(0, folder.size() - 1));
  EXPECT_THROW(TempFolder(), std::runtime_error);

  // A TMPDIR that no longer exists falls back to /tmp.
  ::setenv("TMPDIR", scratch.Path("gone").c_str(), 1);
  EXPECT_EQ(TempFolder(), "/tmp/saver-" + std::to_string(geteuid()) + "/");
}

}  // namespace
}  // namespace saver
