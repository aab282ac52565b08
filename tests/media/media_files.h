#pragma once
// Media files made at test time: a WAV of any length and a short uncompressed
// AVI video. Header-only so that any test folder can include
// "media/media_files.h".
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <string>

namespace saver::testing {

namespace media_detail {

inline void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
inline void PutTag(std::string& out, const char (&tag)[5]) { out.append(tag, 4); }

// A RIFF chunk: tag, little-endian size, body padded to an even length.
inline std::string Chunk(const char (&tag)[5], const std::string& body) {
  std::string out;
  PutTag(out, tag);
  Put32(out, static_cast<uint32_t>(body.size()));
  out += body;
  if (body.size() % 2) out.push_back('\0');
  return out;
}
inline std::string List(const char (&type)[5], const std::string& body) {
  std::string inner;
  PutTag(inner, type);
  return Chunk("LIST", inner + body);
}

inline void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace media_detail

// A mono 16-bit PCM WAV at 8 kHz lasting `seconds`: a quiet 440 Hz tone, or
// silence written as a sparse file (a long track costs nothing to make).
inline void WriteWav(const std::filesystem::path& path, double seconds, bool silent = false) {
  using namespace media_detail;
  constexpr uint32_t kRate = 8000;
  const auto samples = static_cast<uint32_t>(seconds * kRate);
  const uint32_t dataSize = samples * 2;
  std::string head;
  PutTag(head, "RIFF");
  Put32(head, 36 + dataSize);
  PutTag(head, "WAVE");
  PutTag(head, "fmt ");
  Put32(head, 16);
  Put16(head, 1);  // PCM
  Put16(head, 1);  // mono
  Put32(head, kRate);
  Put32(head, kRate * 2);
  Put16(head, 2);   // block align
  Put16(head, 16);  // bits per sample
  PutTag(head, "data");
  Put32(head, dataSize);
  if (silent) {
    WriteAll(path, head);
    std::filesystem::resize_file(path, head.size() + dataSize);
    return;
  }
  for (uint32_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) / kRate;
    Put16(head, static_cast<uint16_t>(
                    static_cast<int16_t>(3000 * std::sin(2 * std::numbers::pi * 440 * t))));
  }
  WriteAll(path, head);
}

// An AVI of `frames` uncompressed 24-bit frames at `fps`, width x height,
// showing a bar that moves from frame to frame.
inline void WriteVideo(const std::filesystem::path& path, int width = 64, int height = 48,
                       int frames = 5, int fps = 10) {
  using namespace media_detail;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};  // rows align to 4
  const auto frameSize = static_cast<uint32_t>(stride * height);

  std::string avih;
  Put32(avih, 1000000 / fps);    // microseconds per frame
  Put32(avih, frameSize * fps);  // max bytes per second
  Put32(avih, 0);                // padding granularity
  Put32(avih, 0x10);             // has an index
  Put32(avih, frames);
  Put32(avih, 0);          // initial frames
  Put32(avih, 1);          // streams
  Put32(avih, frameSize);  // suggested buffer size
  Put32(avih, width);
  Put32(avih, height);
  for (int i = 0; i < 4; ++i) Put32(avih, 0);

  std::string strh;
  PutTag(strh, "vids");
  PutTag(strh, "DIB ");
  Put32(strh, 0);  // flags
  Put16(strh, 0);  // priority
  Put16(strh, 0);  // language
  Put32(strh, 0);  // initial frames
  Put32(strh, 1);  // scale
  Put32(strh, fps);
  Put32(strh, 0);  // start
  Put32(strh, frames);
  Put32(strh, frameSize);
  Put32(strh, 0xFFFFFFFF);  // quality: default
  Put32(strh, 0);           // sample size: varies
  Put16(strh, 0);
  Put16(strh, 0);
  Put16(strh, width);
  Put16(strh, height);

  std::string strf;  // BITMAPINFOHEADER: bottom-up BGR rows
  Put32(strf, 40);
  Put32(strf, width);
  Put32(strf, height);
  Put16(strf, 1);
  Put16(strf, 24);
  Put32(strf, 0);  // uncompressed
  Put32(strf, frameSize);
  for (int i = 0; i < 4; ++i) Put32(strf, 0);

  const std::string hdrl =
      List("hdrl", Chunk("avih", avih) + List("strl", Chunk("strh", strh) + Chunk("strf", strf)));

  std::string movi, idx1;
  uint32_t offset = 4;  // index offsets count from the "movi" type tag
  for (int f = 0; f < frames; ++f) {
    std::string pixels(frameSize, '\0');
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        char* p = &pixels[y * stride + static_cast<size_t>(x) * 3];
        const bool bar = (x * frames / width) == f;
        p[0] = static_cast<char>(bar ? 255 : 40);    // blue
        p[1] = static_cast<char>(y * 255 / height);  // green
        p[2] = static_cast<char>(x * 255 / width);   // red
      }
    }
    PutTag(idx1, "00db");
    Put32(idx1, 0x10);  // key frame
    Put32(idx1, offset);
    Put32(idx1, frameSize);
    const std::string chunk = Chunk("00db", pixels);
    movi += chunk;
    offset += static_cast<uint32_t>(chunk.size());
  }

  std::string body;
  PutTag(body, "AVI ");
  body += hdrl + List("movi", movi) + Chunk("idx1", idx1);
  WriteAll(path, Chunk("RIFF", body));
}

}  // namespace saver::testing
