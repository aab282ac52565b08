#pragma once
// Writes an uncompressed AVI video frame by frame: one video stream of 24-bit
// bottom-up BGR frames ("DIB "), a classic idx1 index, no sound. Frames go to
// the disk as they come; only the header and the index wait for Finish.
//
// The video is written to PATH.tmp and renamed to PATH by Finish, so a failed
// or abandoned run never leaves a half-written file under the final name.
#include <cstdint>
#include <cstdio>
#include <string>

#include "graphics/bitmap32.h"

namespace saver {

class TAviWriter {
 public:
  // The whole file stays within the 1 GiB a RIFF file of this kind may span.
  static constexpr int64_t kMaxFileBytes = int64_t(1) << 30;
  static constexpr int32_t kMaxFps = 1000;
  static constexpr int32_t kMaxSide = 32767;

  // Opens PATH.tmp. maxFileBytes may lower the limit on the finished file's
  // length (never raise it). Raises std::invalid_argument for a size outside
  // 1..kMaxSide, a rate outside 1..kMaxFps or a frame that alone passes the
  // limit, std::runtime_error ("cannot write PATH: reason") when the file
  // cannot be made.
  TAviWriter(std::string path, int32_t width, int32_t height, int32_t fps,
             int64_t maxFileBytes = kMaxFileBytes);
  // Without a successful Finish, the temporary file is removed.
  ~TAviWriter();
  TAviWriter(const TAviWriter&) = delete;
  TAviWriter& operator=(const TAviWriter&) = delete;

  // Appends one frame; it must be width x height (alpha is dropped). Raises
  // std::invalid_argument for another size or after Finish, and
  // std::runtime_error for a failed write (the temporary file is then gone)
  // or when the frame would take the file past its limit; a frame refused
  // for the limit leaves the video as it was, so Finish still writes the
  // frames before it.
  void AddFrame(const TBitmap32& frame);

  // Writes the index, fills in the header's counts and sizes and renames the
  // file to its final name. Raises std::runtime_error on any failure (the
  // temporary file is then removed) and std::invalid_argument when called twice.
  void Finish();

  int32_t Frames() const { return frames_; }
  // Bytes of one frame: rows of width * 3 bytes padded to a multiple of 4.
  uint32_t FrameBytes() const { return frameBytes_; }
  const std::string& Path() const { return path_; }
  // The length of the finished file for a number of frames.
  int64_t FileBytesFor(int64_t frames) const;

 private:
  void Fail(const std::string& reason);  // removes the temporary file, raises
  void Write(const void* data, size_t size);

  std::string path_, tempPath_;
  int32_t width_, height_, fps_;
  int64_t maxFileBytes_;
  uint32_t stride_ = 0, frameBytes_ = 0;
  int32_t frames_ = 0;
  std::FILE* file_ = nullptr;
  bool finished_ = false;
};

}  // namespace saver
