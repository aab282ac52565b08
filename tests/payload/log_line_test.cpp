#include "payload/format/log_line.h"

#include <gtest/gtest.h>

#include "payload/reader_test_file.h"

namespace saver {
namespace {

TEST(LogLine, BothSinksWriteTheWholeLineZeroBytesIncluded) {
  // A text field read from a saver may hold zero bytes; the log keeps what
  // follows them, on standard error as in a file.
  const std::string line("ExtraData.Title=Ocean\0Views", 27);
  ::testing::internal::CaptureStderr();
  WriteLogLine("-", line);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), line + "\n");

  testing::ScratchDir scratch;
  const std::string path = scratch.Path("saver.log");
  WriteLogLine(path, line);
  WriteLogLine(path, "Success");
  const std::vector<uint8_t> written = testing::ScratchDir::Read(path);
  EXPECT_EQ(std::string(written.begin(), written.end()), line + "\nSuccess\n");
}

}  // namespace
}  // namespace saver
