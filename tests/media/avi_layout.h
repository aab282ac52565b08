#pragma once
// Reads back the layout of an uncompressed AVI file by walking its RIFF
// chunks, without trusting any offset the writer knows: what a test checks
// a written video against. Header-only so that any test folder can include
// "media/avi_layout.h".
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace saver::testing {

struct TAviChunk {
  size_t Offset = 0;  // of the chunk's data in the file
  uint32_t Size = 0;
};

struct TAviIndexEntry {
  std::string Tag;
  uint32_t Flags = 0, Offset = 0, Size = 0;
};

struct TAviLayout {
  uint32_t RiffSize = 0;
  // avih
  uint32_t MicrosPerFrame = 0, AvihFlags = 0, TotalFrames = 0, Streams = 0;
  uint32_t Width = 0, Height = 0;
  // strh
  std::string StreamType, Handler;
  uint32_t Scale = 0, Rate = 0, Length = 0;
  // strf (BITMAPINFOHEADER)
  int32_t BitmapWidth = 0, BitmapHeight = 0;
  uint16_t BitCount = 0;
  uint32_t Compression = 0, SizeImage = 0;
  // movi
  size_t MoviTag = 0;  // offset of the "movi" type tag, where index offsets count from
  uint32_t MoviSize = 0;
  std::vector<TAviChunk> Frames;  // the "00db" chunks in order
  std::vector<TAviIndexEntry> Index;
};

inline std::vector<uint8_t> ReadAviBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline uint32_t AviU32(const std::vector<uint8_t>& b, size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("AVI: read past the end at " + std::to_string(at));
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}
inline uint16_t AviU16(const std::vector<uint8_t>& b, size_t at) {
  return uint16_t(AviU32(b, at) & 0xFFFF);
}
inline std::string AviTag(const std::vector<uint8_t>& b, size_t at) {
  AviU32(b, at);
  return std::string(b.begin() + long(at), b.begin() + long(at) + 4);
}

// Throws std::runtime_error for a structure that does not hold together.
inline TAviLayout ReadAviLayout(const std::vector<uint8_t>& b) {
  auto fail = [](const std::string& what) { throw std::runtime_error("AVI: " + what); };
  TAviLayout a;
  if (AviTag(b, 0) != "RIFF" || AviTag(b, 8) != "AVI ") fail("not a RIFF AVI file");
  a.RiffSize = AviU32(b, 4);
  if (size_t(a.RiffSize) + 8 > b.size()) fail("RIFF size past the end");
  const size_t end = 8 + size_t(a.RiffSize);
  // Walks the chunks in [at, stop), calling visit(tag, dataOffset, size).
  auto walk = [&](size_t at, size_t stop, auto&& visit) {
    while (at + 8 <= stop) {
      const std::string tag = AviTag(b, at);
      const uint32_t size = AviU32(b, at + 4);
      if (at + 8 + size > stop) fail(tag + " chunk past its parent");
      visit(tag, at + 8, size);
      at += 8 + size + (size & 1);
    }
    if (at != stop) fail("chunks do not fill their parent");
  };
  bool hdrl = false, movi = false, idx1 = false;
  walk(12, end, [&](const std::string& tag, size_t data, uint32_t size) {
    const std::string type = tag == "LIST" ? AviTag(b, data) : "";
    if (type == "hdrl") {
      hdrl = true;
      walk(data + 4, data + size, [&](const std::string& t, size_t d, uint32_t s) {
        if (t == "avih") {
          if (s != 56) fail("avih is not 56 bytes");
          a.MicrosPerFrame = AviU32(b, d);
          a.AvihFlags = AviU32(b, d + 12);
          a.TotalFrames = AviU32(b, d + 16);
          a.Streams = AviU32(b, d + 24);
          a.Width = AviU32(b, d + 32);
          a.Height = AviU32(b, d + 36);
        } else if (t == "LIST" && AviTag(b, d) == "strl") {
          walk(d + 4, d + s, [&](const std::string& st, size_t sd, uint32_t) {
            if (st == "strh") {
              a.StreamType = AviTag(b, sd);
              a.Handler = AviTag(b, sd + 4);
              a.Scale = AviU32(b, sd + 20);
              a.Rate = AviU32(b, sd + 24);
              a.Length = AviU32(b, sd + 32);
            } else if (st == "strf") {
              a.BitmapWidth = int32_t(AviU32(b, sd + 4));
              a.BitmapHeight = int32_t(AviU32(b, sd + 8));
              a.BitCount = AviU16(b, sd + 14);
              a.Compression = AviU32(b, sd + 16);
              a.SizeImage = AviU32(b, sd + 20);
            }
          });
        }
      });
    } else if (type == "movi") {
      movi = true;
      a.MoviTag = data;
      a.MoviSize = size;
      walk(data + 4, data + size, [&](const std::string& t, size_t d, uint32_t s) {
        if (t != "00db") fail("unexpected " + t + " chunk in movi");
        a.Frames.push_back({d, s});
      });
    } else if (tag == "idx1") {
      idx1 = true;
      if (size % 16) fail("idx1 is not a whole number of entries");
      for (size_t e = data; e < data + size; e += 16)
        a.Index.push_back({AviTag(b, e), AviU32(b, e + 4), AviU32(b, e + 8), AviU32(b, e + 12)});
    }
  });
  if (!hdrl || !movi || !idx1) fail("hdrl, movi or idx1 missing");
  return a;
}

// Blue, green and red of pixel (x, y), counted from the top, of frame f of a
// 24-bit bottom-up video; rows are padded to 4 bytes.
inline uint32_t AviPixel(const std::vector<uint8_t>& b, const TAviLayout& a, size_t f, int x, int y) {
  const size_t stride = (size_t(a.BitmapWidth) * 3 + 3) & ~size_t{3};
  const size_t at = a.Frames.at(f).Offset + size_t(a.BitmapHeight - 1 - y) * stride + size_t(x) * 3;
  return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 | uint32_t(b.at(at + 2)) << 16;
}

}  // namespace saver::testing
