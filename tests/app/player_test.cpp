// Runs the real player binary with a payload appended to a copy of it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>

#include "payload/reader_test_file.h"

namespace saver {
namespace {

using namespace saver::testing;

const std::string kPlayer = std::string(SAVER_BINARY_DIR) + "/src/app/saver";

class PlayerTest : public ::testing::Test {
 protected:
  // Runs the saver at path with args; returns the exit code, fills out.
  int Run(const std::string& path, const std::string& args) {
    std::string log = scratch.Path("log.txt");
    std::filesystem::remove(log);
    // A failure box would wait for a click forever: the guard turns that into exit code 124.
    std::string cmd = "timeout 60 env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME='" + scratch.Path("cfg") +
                      "' SAVER_LOG='" + log + "' '" + path + "' " + args + " > '" +
                      scratch.Path("out.txt") + "' 2>&1";
    int status = std::system(cmd.c_str());
    out = ReadText(scratch.Path("out.txt"));
    logText = ReadText(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string MakeSaver(const std::vector<uint8_t>& background = {}) {
    SaverFile file;
    std::ifstream in(kPlayer, std::ios::binary);
    file.exe.assign(std::istreambuf_iterator<char>(in), {});
    file.extra[0] = "Ocean Views";
    file.extra[15] = "\x01\x02";
    file.pictures = ItemEntry(572, 3, 0, ".jpg");
    AppendText(file.pictures, "abc");
    PutI32At(file.trailer, kOffPictureCount, 1);
    if (!background.empty()) {
      uLongf packed = compressBound(uLong(background.size()));
      file.background.resize(packed);
      compress(file.background.data(), &packed, background.data(), uLong(background.size()));
      file.background.resize(packed);
      PutI32At(file.trailer, kOffBackgroundUnpacked, int32_t(background.size()));
      PutTextAt(file.trailer, kOffBackPictureExt, ".bmp");
    }
    std::string path = scratch.Write("ocean.scr", file.Bytes());
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
  }
  ScratchDir scratch;
  std::string out, logText;
};

TEST_F(PlayerTest, HelpPrintsUsage) {
  EXPECT_EQ(Run(kPlayer, "--help"), 0);
  EXPECT_NE(out.find("Usage: saver"), std::string::npos);
  EXPECT_NE(out.find("/p HANDLE"), std::string::npos);
}

TEST_F(PlayerTest, ReadsItsOwnPayloadInTheDepthOfTheMode) {
  std::string saver = MakeSaver();
  ASSERT_EQ(Run(saver, "/c"), 0) << out;
  EXPECT_NE(logText.find("ExtraData.Title=Ocean Views\n"), std::string::npos);
  EXPECT_NE(logText.find("Changing controls to defualt values\nSuccess\n"), std::string::npos);
  EXPECT_EQ(logText.find("Reading images"), std::string::npos);

  ASSERT_EQ(Run(saver, "-S"), 0) << out;
  EXPECT_NE(logText.find("Reading images\n"), std::string::npos);
  EXPECT_NE(logText.find("Ext = .jpg\n"), std::string::npos);
  EXPECT_NE(logText.find("Reading music\nSuccess\n"), std::string::npos);

  // The preview reads the trailer only: no reader lines.
  ASSERT_EQ(Run(saver, "/p 1234"), 0) << out;
  EXPECT_EQ(logText, "");
}

// A 2 x 2 bitmap of 24 bits per pixel, rows padded to four bytes.
std::vector<uint8_t> TinyBitmap() {
  std::vector<uint8_t> b(54 + 16, 0);
  PutTextAt(b, 0, "BM");
  PutI32At(b, 2, int32_t(b.size()));
  PutI32At(b, 10, 54);
  PutI32At(b, 14, 40);
  PutI32At(b, 18, 2);
  PutI32At(b, 22, 2);
  b[26] = 1;
  b[28] = 24;
  for (size_t i = 54; i < b.size(); ++i) b[i] = 0x80;
  return b;
}

TEST_F(PlayerTest, FullScreenDepthDecodesTheBackgroundPictureAndRemovesItsFile) {
  std::string saver = MakeSaver(TinyBitmap());
  ASSERT_EQ(Run(saver, "/s"), 0) << out << logText;
  EXPECT_NE(logText.find("Reading background\nLoading from compressed stream"), std::string::npos);
  EXPECT_NE(logText.find("Baga :(\n"), std::string::npos);
  EXPECT_NE(logText.find("Reading music\nSuccess\n"), std::string::npos);
  std::string temp = scratch.Path("saver-" + std::to_string(geteuid()));
  EXPECT_FALSE(std::filesystem::exists(temp + "/SSBG.bmp"));
}

TEST_F(PlayerTest, PreviewOfABarePlayerFails) {
  EXPECT_EQ(Run(kPlayer, "/p"), 1);
  EXPECT_NE(out.find("saver:"), std::string::npos);
}

}  // namespace
}  // namespace saver
