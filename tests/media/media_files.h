#pragma once
// Media files made at test time: a WAV of any length and a short uncompressed
// AVI video (written by the library's TAviWriter). Header-only so that any
// test folder can include "media/media_files.h".
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <string>

#include "graphics/bitmap32.h"
#include "payload/decoders/avi_writer.h"

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
  TAviWriter video(path.string(), width, height, fps);
  TBitmap32 picture(width, height);
  for (int f = 0; f < frames; ++f) {
    for (int y = 0; y < height; ++y) {
      const int up = height - 1 - y;  // green grows towards the top
      for (int x = 0; x < width; ++x) {
        const bool bar = (x * frames / width) == f;
        picture.SetPixel(x, y, Color32(static_cast<uint8_t>(x * 255 / width),
                                       static_cast<uint8_t>(up * 255 / height),
                                       static_cast<uint8_t>(bar ? 255 : 40)));
      }
    }
    video.AddFrame(picture);
  }
  video.Finish();
}

}  // namespace saver::testing
