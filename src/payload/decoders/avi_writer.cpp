#include "payload/decoders/avi_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

namespace saver {
namespace {

// RIFF 'AVI ' header, the hdrl list (avih; strl with strh and strf) and the
// movi list's own header: a fixed length whatever the frame count.
constexpr int64_t kRiffHead = 12;
constexpr int64_t kHdrlList = 12 + (8 + 56) + 12 + (8 + 56) + (8 + 40);
constexpr int64_t kMoviHead = 12;
constexpr int64_t kHeaderBytes = kRiffHead + kHdrlList + kMoviHead;
constexpr int64_t kChunkHead = 8;
constexpr int64_t kIndexEntry = 16;
constexpr uint32_t kKeyFrame = 0x10;  // AVIIF_KEYFRAME
constexpr uint32_t kHasIndex = 0x10;  // AVIF_HASINDEX

struct TBytes {
  std::string Data;
  void U16(uint32_t v) {
    Data.push_back(char(v & 0xFF));
    Data.push_back(char((v >> 8) & 0xFF));
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Tag(const char (&tag)[5]) { Data.append(tag, 4); }
};

std::string LimitText(int64_t limit) {
  return limit == TAviWriter::kMaxFileBytes ? "1 GiB, the most an AVI file may hold"
                                            : std::to_string(limit) + " bytes";
}

uint32_t Clamp32(uint64_t v) { return uint32_t(std::min<uint64_t>(v, UINT32_MAX)); }

std::string Header(int32_t width, int32_t height, int32_t fps, uint32_t frameBytes,
                   uint32_t frames, int64_t fileBytes) {
  TBytes b;
  b.Tag("RIFF");
  b.U32(uint32_t(fileBytes - 8));
  b.Tag("AVI ");
  b.Tag("LIST");
  b.U32(uint32_t(kHdrlList - 8));
  b.Tag("hdrl");

  b.Tag("avih");
  b.U32(56);
  b.U32(uint32_t(1000000 / fps));  // microseconds per frame
  b.U32(Clamp32(uint64_t(frameBytes) * uint64_t(fps)));  // bytes per second at most
  b.U32(0);                        // padding granularity
  b.U32(kHasIndex);
  b.U32(frames);
  b.U32(0);  // initial frames
  b.U32(1);  // streams
  b.U32(frameBytes + uint32_t(kChunkHead));  // suggested buffer size
  b.U32(uint32_t(width));
  b.U32(uint32_t(height));
  for (int i = 0; i < 4; ++i) b.U32(0);

  b.Tag("LIST");
  b.U32(uint32_t(12 + (8 + 56) + (8 + 40) - 8));
  b.Tag("strl");
  b.Tag("strh");
  b.U32(56);
  b.Tag("vids");
  b.Tag("DIB ");
  b.U32(0);  // flags
  b.U16(0);  // priority
  b.U16(0);  // language
  b.U32(0);  // initial frames
  b.U32(1);  // scale: rate / scale frames a second
  b.U32(uint32_t(fps));
  b.U32(0);  // start
  b.U32(frames);
  b.U32(frameBytes + uint32_t(kChunkHead));
  b.U32(0xFFFFFFFF);  // quality: the player's default
  b.U32(0);           // sample size: one frame a chunk
  b.U16(0);           // frame rectangle: left, top, right, bottom
  b.U16(0);
  b.U16(uint32_t(width));
  b.U16(uint32_t(height));

  b.Tag("strf");  // BITMAPINFOHEADER; a positive height means bottom-up rows
  b.U32(40);
  b.U32(40);
  b.U32(uint32_t(width));
  b.U32(uint32_t(height));
  b.U16(1);   // planes
  b.U16(24);  // bits per pixel
  b.U32(0);   // BI_RGB: uncompressed
  b.U32(frameBytes);
  for (int i = 0; i < 4; ++i) b.U32(0);

  b.Tag("LIST");
  b.U32(uint32_t(4 + int64_t(frames) * (kChunkHead + int64_t(frameBytes))));
  b.Tag("movi");
  return std::move(b.Data);
}

}  // namespace

TAviWriter::TAviWriter(std::string path, int32_t width, int32_t height, int32_t fps,
                       int64_t maxFileBytes)
    : path_(std::move(path)),
      tempPath_(path_ + ".tmp"),
      width_(width),
      height_(height),
      fps_(fps),
      maxFileBytes_(std::min(maxFileBytes, kMaxFileBytes)) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
    throw std::invalid_argument(path_ + ": a video frame of " + std::to_string(width) + "x" +
                                std::to_string(height) + " pixels is out of range");
  if (fps < 1 || fps > kMaxFps)
    throw std::invalid_argument(path_ + ": " + std::to_string(fps) +
                                " frames a second is out of range (1 to " +
                                std::to_string(kMaxFps) + ")");
  stride_ = (uint32_t(width) * 3 + 3) & ~3u;
  frameBytes_ = stride_ * uint32_t(height);  // at most 98304 * 32767: fits
  if (FileBytesFor(1) > maxFileBytes_)
    throw std::invalid_argument(path_ + ": one " + std::to_string(width) + "x" +
                                std::to_string(height) + " frame takes the video past " +
                                LimitText(maxFileBytes_));
  file_ = std::fopen(tempPath_.c_str(), "wb");
  if (!file_) throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(errno));
  const std::string header = Header(width_, height_, fps_, frameBytes_, 0, FileBytesFor(0));
  Write(header.data(), header.size());
}

TAviWriter::~TAviWriter() {
  if (file_) std::fclose(file_);
  if (!finished_) std::remove(tempPath_.c_str());
}

int64_t TAviWriter::FileBytesFor(int64_t frames) const {
  return kHeaderBytes + frames * (kChunkHead + int64_t(frameBytes_)) + kChunkHead +
         frames * kIndexEntry;
}

void TAviWriter::Fail(const std::string& reason) {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  std::remove(tempPath_.c_str());
  finished_ = true;  // nothing more can be written
  throw std::runtime_error("cannot write " + path_ + ": " + reason);
}

void TAviWriter::Write(const void* data, size_t size) {
  if (!file_) throw std::invalid_argument(path_ + ": the video is closed");
  if (std::fwrite(data, 1, size, file_) != size) Fail(std::strerror(errno));
}

void TAviWriter::AddFrame(const TBitmap32& frame) {
  if (finished_) throw std::invalid_argument(path_ + ": the video is closed");
  if (frame.Width() != width_ || frame.Height() != height_)
    throw std::invalid_argument(path_ + ": a " + std::to_string(frame.Width()) + "x" +
                                std::to_string(frame.Height()) + " frame in a " +
                                std::to_string(width_) + "x" + std::to_string(height_) +
                                " video");
  if (FileBytesFor(int64_t(frames_) + 1) > maxFileBytes_)
    throw std::runtime_error("cannot write " + path_ + ": frame " + std::to_string(frames_ + 1) +
                             " would take the video past " + LimitText(maxFileBytes_));
  std::vector<uint8_t> chunk(size_t(kChunkHead) + frameBytes_, 0);
  std::memcpy(chunk.data(), "00db", 4);
  for (int i = 0; i < 4; ++i) chunk[4 + size_t(i)] = uint8_t(frameBytes_ >> (8 * i));
  for (int32_t y = 0; y < height_; ++y) {
    const TColor32* src = frame.ScanLine(height_ - 1 - y);  // rows go bottom-up
    uint8_t* dst = chunk.data() + kChunkHead + size_t(y) * stride_;
    for (int32_t x = 0; x < width_; ++x, dst += 3) {
      dst[0] = BlueOf(src[x]);
      dst[1] = GreenOf(src[x]);
      dst[2] = RedOf(src[x]);
    }
  }
  Write(chunk.data(), chunk.size());
  ++frames_;
}

void TAviWriter::Finish() {
  if (finished_) throw std::invalid_argument(path_ + ": the video is closed");
  // Frame i's chunk starts 4 + i * (8 + frame bytes) after the "movi" tag.
  TBytes index;
  index.Tag("idx1");
  index.U32(uint32_t(int64_t(frames_) * kIndexEntry));
  for (int32_t i = 0; i < frames_; ++i) {
    index.Tag("00db");
    index.U32(kKeyFrame);
    index.U32(uint32_t(4 + int64_t(i) * (kChunkHead + int64_t(frameBytes_))));
    index.U32(frameBytes_);
    if (index.Data.size() >= (1u << 20)) {
      Write(index.Data.data(), index.Data.size());
      index.Data.clear();
    }
  }
  Write(index.Data.data(), index.Data.size());

  const std::string header =
      Header(width_, height_, fps_, frameBytes_, uint32_t(frames_), FileBytesFor(frames_));
  if (std::fseek(file_, 0, SEEK_SET) != 0) Fail(std::strerror(errno));
  Write(header.data(), header.size());
  if (std::fflush(file_) != 0) Fail(std::strerror(errno));
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (closed != 0) Fail(std::strerror(errno));
  std::error_code ec;
  std::filesystem::rename(tempPath_, path_, ec);
  if (ec) Fail(ec.message());
  finished_ = true;
}

}  // namespace saver
