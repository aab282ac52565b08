#include "windows1252.h"

#include <array>
#include <cstdint>
#include <stdexcept>

namespace saver {
namespace {

// Code points of the bytes 0x80..0x9F; the other bytes are Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CodePointOf(uint8_t byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : char32_t(byte);
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// Decodes one UTF-8 sequence at text[i], advancing i; throws on malformed input.
char32_t NextCodePoint(std::string_view text, size_t& i) {
  const auto lead = uint8_t(text[i++]);
  if (lead < 0x80) return lead;
  int extra = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
  if (extra < 0 || i + extra > text.size()) throw std::invalid_argument("text is not valid UTF-8");
  char32_t c = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    const auto next = uint8_t(text[i++]);
    if ((next & 0xC0) != 0x80) throw std::invalid_argument("text is not valid UTF-8");
    c = (c << 6) | (next & 0x3F);
  }
  return c;
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char b : bytes) AppendUtf8(out, CodePointOf(uint8_t(b)));
  return out;
}

std::string Utf8ToWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const size_t at = i;
    const char32_t c = NextCodePoint(utf8, i);
    int byte = -1;
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) byte = int(c);
    for (int k = 0; k < 32 && byte < 0; ++k)
      if (kHighControls[k] == c) byte = 0x80 + k;
    if (byte < 0)
      throw std::invalid_argument("\"" + std::string(utf8.substr(at, i - at)) +
                                  "\" has no Windows-1252 character");
    out += char(byte);
  }
  return out;
}

}  // namespace saver
