#include "payload/format/log_line.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A log nobody reads: standard error into a pipe whose reader has gone, a
// named pipe without a reader. Each write says the log is over, without
// ending the process by SIGPIPE and without waiting for a reader.
TEST(LogLine, APipeNobodyReadsEndsTheLogNotTheProcess) {
  testing::ScratchDir scratch;
  const std::string fifo = scratch.Path("log.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);  // the reader goes before anything is written
  const pid_t child = fork();
  if (child == 0) {
    alarm(10);  // a write that waits for a reader ends here instead
    signal(SIGPIPE, SIG_DFL);
    dup2(fds[1], STDERR_FILENO);
    close(fds[1]);
    const bool toStderr = WriteLogLine("-", "Reading images");
    const bool toFifo = WriteLogLine(fifo, "Reading images");
    _exit(!toStderr && !toFifo ? 0 : 1);
  }
  close(fds[1]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace saver
